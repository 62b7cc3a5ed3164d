// hlext1: extracts the highest occupied and the next molecular orbital from the listing
// "hlext.dat" into the result file "fort.50". `--final` reads the final set of eigenvectors in
// any block layout; other arguments are ignored, but for a request for the usage or the version
// given alone.
#include <cstdio>
#include <exception>
#include <string>

#include "extract/command_line.hpp"
#include "extract/diagnostics.hpp"
#include "extract/final_extraction.hpp"
#include "extract/frontier_extraction.hpp"
#include "record_io/byte_stream.hpp"
#include "record_io/file_system.hpp"
#include "record_io/record_error.hpp"

int main(int argc, char* argv[]) {
  hlext::prepareProcess();
  const hlext::CommandLine commandLine = hlext::commandLineOf(argc, argv);
  const hlext::Request request = commandLine.request;
  if (request != hlext::Request::Run && request != hlext::Request::Final)
    return hlext::answer(commandLine, stdout, stderr);
  try {
    hlext::FileConnector files;
    const std::string ignored = hlext::ignoredArgumentsWarning(commandLine);
    if (!ignored.empty()) files.warn(ignored);
    if (request == hlext::Request::Final)
      hlext::FinalExtraction(files).run();
    else
      hlext::FrontierExtraction(files).run();
    return 0;
  } catch (const hlext::RecordError& error) {
    std::fprintf(stderr, "%s\n", hlext::diagnosticLine(error).c_str());
    return hlext::exitStatusOf(error);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s: internal error: %s\n", std::string(hlext::ProgramName).c_str(),
                 error.what());
    return hlext::ExitInternalError;
  }
}
