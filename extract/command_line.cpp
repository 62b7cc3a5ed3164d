#include "extract/command_line.hpp"

#include <string_view>

namespace hlext {

namespace {

constexpr const char* Usage =
    "Usage: hlext1\n"
    "Reads the listing hlext.dat in the working directory, writes its highest occupied and\n"
    "lowest unoccupied orbital to fort.50 there, and shows N (and, when both orbitals stand in\n"
    "one block, the row count) on standard output. It takes no options: arguments are ignored,\n"
    "but for --help or -h (this text) and --version, each given alone, which touch no file.\n"
    "Manual: man hlext1 (in the source: man -l doc/hlext1.1; on Windows: README.md beside\n"
    "hlext1.exe).\n";

// HLEXT_VERSION is the project's version, given by the build.
constexpr const char* Version = "hlext1 " HLEXT_VERSION "\n";

}  // namespace

Request requestOf(int argc, const char* const* argv) {
  if (argc != 2) return Request::Run;
  const std::string_view argument = argv[1];
  if (argument == "--help" || argument == "-h") return Request::Usage;
  if (argument == "--version") return Request::Version;
  return Request::Run;
}

int answer(Request request, std::FILE* out) {
  const char* text = request == Request::Version ? Version : Usage;
  const bool written = std::fputs(text, out) >= 0 && std::fflush(out) == 0;
  return written ? 0 : 2;
}

}  // namespace hlext
