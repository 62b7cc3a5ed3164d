// Listings and outputs as lines: joined with a terminator, split at line feeds, and shown with
// their line ends spelled out.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace hlext::testing {

// Every line followed by `terminator`, the last one only when `finalTerminator` says so.
std::string joinLines(const std::vector<std::string>& lines, std::string_view terminator = "\n",
                      bool finalTerminator = true);

// The lines of `text` without their line feeds; text after the last line feed is a line too.
std::vector<std::string> splitLines(std::string_view text);

// `text` with its line ends and tabs spelled out (<CR>, <LF>, <TAB>), for case names.
std::string printable(std::string_view text);

}  // namespace hlext::testing
