// Layout strings parsed at run time, for tests that build their layouts from table rows; the
// program's own layouts are parsed when compiled (Layout::parse<"...">()).
#pragma once

#include <string_view>

#include "record_io/layout.hpp"

namespace hlext {

// The layout of `text`, kept until the process ends; a malformed string gives the items before
// the fault that layoutFault() names.
Layout parsedLayout(std::string_view text);

}  // namespace hlext
