// What a command line asks for. `--help` or `-h` given alone asks for a short usage,
// `--version` alone for the version, `--final` for a run that reads the final orbitals in any
// layout; no option asks for the default run. Other arguments are ignored, with a warning; an
// argument that begins with "-" and is none of these is a usage error, so that a mistyped
// option never runs over fort.50.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace hlext {

enum class Request { Run, Final, Usage, Version, Misuse };

struct CommandLine {
  Request request = Request::Run;
  std::vector<std::string_view> ignored;  // arguments a run does not use
  std::string_view misused;               // the argument that makes it a usage error
};

CommandLine commandLineOf(int argc, const char* const* argv);

// Writes the usage or the version to `out`, or the usage error to `errors`, touching no file.
// Gives the exit status: 0, ExitUsage for a usage error, or ExitFileFailure when the text
// could not be written.
int answer(const CommandLine& commandLine, std::FILE* out, std::FILE* errors);

// The warning line of a run that ignores arguments, without its line feed; empty when it
// ignores none.
std::string ignoredArgumentsWarning(const CommandLine& commandLine);

}  // namespace hlext
