// hlext1: extracts the highest occupied and the next molecular orbital from the listing
// "hlext.dat" into the result file "fort.50". Arguments are ignored, but for a request for the
// usage or the version given alone.
#include <cstdio>
#include <exception>

#include "extract/command_line.hpp"
#include "extract/frontier_extraction.hpp"
#include "record_io/byte_stream.hpp"
#include "record_io/file_system.hpp"
#include "record_io/record_error.hpp"

int main(int argc, char* argv[]) {
  hlext::prepareProcess();
  const hlext::Request request = hlext::requestOf(argc, argv);
  if (request != hlext::Request::Run) return hlext::answer(request, stdout);
  try {
    hlext::FileConnector files;
    hlext::FrontierExtraction(files).run();
    return 0;
  } catch (const hlext::RecordError& error) {
    std::fprintf(stderr, "%s\n", error.diagnostic().c_str());
    return error.exitStatus();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "hlext1: internal error: %s\n", error.what());
    return 3;
  }
}
