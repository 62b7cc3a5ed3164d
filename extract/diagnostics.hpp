// What a run tells its user when a statement fails or warns: the record layer's line under the
// program's name, and the exit status a failure ends the run with.
#pragma once

#include <string>
#include <string_view>

#include "record_io/record_error.hpp"

namespace hlext {

inline constexpr std::string_view ProgramName = "hlext1";

// Exit statuses: the listing itself is unusable; a file or stream failed (or the memory a
// statement needed could not be had); the tool itself is at fault; the command line is wrong.
inline constexpr int ExitBadListing = 1;
inline constexpr int ExitFileFailure = 2;
inline constexpr int ExitInternalError = 3;
inline constexpr int ExitUsage = 4;

// The line standard error shows for `error`, without a line feed, e.g.
// hlext1: statement 32 (block header search), unit 4 (hlext.dat), record 57,
// columns 13-17 "0.249": bad integer
std::string diagnosticLine(const RecordError& error);

// The line standard error shows for `warning`, without a line feed, e.g.
// hlext1: warning: statement 16 (occupied count not found), unit 4 (hlext.dat): no "RHF " in
// columns 11-14 of records 1-500
std::string warningLine(const RecordWarning& warning);

// The status a run that `error` ended exits with.
int exitStatusOf(const RecordError& error);

}  // namespace hlext
