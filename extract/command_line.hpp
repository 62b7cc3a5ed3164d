// What a command line asks for. `--help` or `-h` given alone asks for a short usage, `--version`
// alone for the version; every other command line asks for a run, and its arguments are ignored.
#pragma once

#include <cstdio>

namespace hlext {

enum class Request { Run, Usage, Version };

Request requestOf(int argc, const char* const* argv);

// Writes the usage or the version to `out`, touching no file. Gives the exit status: 0, or 2
// when the text could not be written.
int answer(Request request, std::FILE* out);

}  // namespace hlext
