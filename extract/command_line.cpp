#include "extract/command_line.hpp"

#include "extract/diagnostics.hpp"

namespace hlext {

namespace {

constexpr const char* Usage =
    "Usage: hlext1 [--final]\n"
    "Reads the listing hlext.dat in the working directory, writes its highest occupied and\n"
    "lowest unoccupied orbital to fort.50 there, and shows N (and, when both orbitals stand in\n"
    "one block, the row count) on standard output.\n"
    "  (none)     the first eigenvector section, six orbitals to a block\n"
    "  --final    the final set of eigenvectors of the first job that prints one, in any of\n"
    "             the block layouts (six or eight orbitals to a block); values printed with\n"
    "             three or four decimals are written with five\n"
    "  --help, -h this text; --version the version (each alone; they touch no file)\n"
    "Other arguments are ignored, with a warning; an unknown option is an error (status 4).\n"
    "Manual: man hlext1 (in the source: man -l doc/hlext1.1; on Windows: README.md beside\n"
    "hlext1.exe).\n";

// HLEXT_VERSION is the project's version, given by the build.
constexpr const char* Version = "hlext1 " HLEXT_VERSION "\n";

bool isAnswerRequest(std::string_view argument) {
  return argument == "--help" || argument == "-h" || argument == "--version";
}

}  // namespace

CommandLine commandLineOf(int argc, const char* const* argv) {
  CommandLine commandLine;
  if (argc == 2 && isAnswerRequest(argv[1])) {
    commandLine.request =
        std::string_view(argv[1]) == "--version" ? Request::Version : Request::Usage;
    return commandLine;
  }
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--final" && commandLine.request == Request::Run) {
      commandLine.request = Request::Final;
    } else if (argument.starts_with('-')) {
      commandLine.request = Request::Misuse;
      commandLine.misused = argument;
      return commandLine;
    } else {
      commandLine.ignored.push_back(argument);
    }
  }
  return commandLine;
}

int answer(const CommandLine& commandLine, std::FILE* out, std::FILE* errors) {
  if (commandLine.request == Request::Misuse) {
    const std::string line = std::string(ProgramName) + ": unknown option or option not alone: " +
                             quotedField(commandLine.misused) +
                             " (hlext1 --help lists the options); nothing was read or written\n";
    std::fputs(line.c_str(), errors);
    return ExitUsage;
  }
  const char* text = commandLine.request == Request::Version ? Version : Usage;
  const bool written = std::fputs(text, out) >= 0 && std::fflush(out) == 0;
  return written ? 0 : ExitFileFailure;
}

std::string ignoredArgumentsWarning(const CommandLine& commandLine) {
  if (commandLine.ignored.empty()) return {};
  std::string line = std::string(ProgramName) + ": warning: arguments ignored:";
  for (const std::string_view argument : commandLine.ignored) {
    line += ' ';
    line += quotedField(argument);
  }
  return line + "; hlext1 reads hlext.dat and writes fort.50 in the working directory";
}

}  // namespace hlext
