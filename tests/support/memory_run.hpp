// A whole run of the extraction on a listing in memory, and everything it gave.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "record_io/record_error.hpp"

namespace hlext::testing {

struct MemoryRun {
  std::string console;
  std::string result;
  bool written = false;  // the result file was committed
  std::optional<RecordFailure> failure;
  std::string diagnostic;  // empty after a normal end
  std::vector<std::string> warnings;
};

// Runs the extraction (with `final`, as hlext1 --final runs it) to its end or to its
// RecordError; any other exception goes through.
MemoryRun runInMemory(std::string_view listing, bool final = false);

}  // namespace hlext::testing
