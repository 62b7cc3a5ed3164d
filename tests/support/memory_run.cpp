#include "tests/support/memory_run.hpp"

#include "extract/diagnostics.hpp"
#include "extract/final_extraction.hpp"
#include "extract/frontier_extraction.hpp"
#include "record_io/byte_stream.hpp"
#include "tests/support/memory_connector.hpp"

namespace hlext::testing {

MemoryRun runInMemory(std::string_view listing, bool final) {
  MemoryConnector files(listing);
  MemoryRun run;
  try {
    if (final)
      FinalExtraction(files).run();
    else
      FrontierExtraction(files).run();
  } catch (const RecordError& error) {
    run.failure = error.failure();
    run.diagnostic = diagnosticLine(error);
  }
  run.console = files.consoleText();
  run.result = files.resultText();
  run.written = files.resultWritten();
  run.warnings = files.warnings();
  return run;
}

}  // namespace hlext::testing
