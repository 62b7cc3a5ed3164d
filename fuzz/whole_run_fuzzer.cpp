// Fuzz target: a whole run on an in-memory listing, as a plain run and as hlext1 --final. A
// RecordError is the normal way for a run to refuse a listing; any other exception, a crash or
// a sanitizer report is a finding. Each input also runs a second time with CR LF line ends,
// which must not change anything the run produces, warnings included.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tests/support/lines.hpp"
#include "tests/support/memory_run.hpp"

namespace {

using hlext::testing::joinLines;
using hlext::testing::MemoryRun;
using hlext::testing::splitLines;

[[noreturn]] void finding(const char* what) {
  std::fprintf(stderr, "whole_run_fuzzer: %s\n", what);
  std::abort();
}

// Any other exception than a RecordError goes through, uncaught, and ends the run as a finding.
MemoryRun runOn(std::string_view listing, bool final) {
  MemoryRun run = hlext::testing::runInMemory(listing, final);
  if (run.failure && run.diagnostic.empty()) finding("a RecordError without a diagnostic");
  return run;
}

// Every record the run writes ends with a line feed; console records are five-column integers
// and result records are at most twelve ten-column fields.
void checkShape(const MemoryRun& run) {
  for (const std::string& record : splitLines(run.console))
    if (record.size() != 5) finding("a console record that is not five columns wide");
  if (!run.console.empty() && run.console.back() != '\n')
    finding("a console record without a line feed");
  if (!run.result.empty() && run.result.back() != '\n')
    finding("a result record without a line feed");
  for (const std::string& record : splitLines(run.result))
    if (record.size() > 120) finding("a result record wider than twelve fields");
  const std::string_view prefix = "hlext1: warning: statement ";
  for (const std::string& warning : run.warnings)
    if (warning.compare(0, prefix.size(), prefix) != 0 || warning.find('\n') != std::string::npos)
      finding("a warning that is not one line with the warning prefix");
}

void runBothLineEnds(std::string_view listing, bool final) {
  const MemoryRun plain = runOn(listing, final);
  checkShape(plain);
  // A carriage return already in the input would end up before another one; such inputs have
  // no plain counterpart.
  if (listing.find('\r') == std::string_view::npos) {
    const bool finalLineFeed = listing.empty() || listing.back() == '\n';
    const MemoryRun crlf = runOn(joinLines(splitLines(listing), "\r\n", finalLineFeed), final);
    if (crlf.console != plain.console) finding("CR LF line ends changed the console output");
    if (crlf.result != plain.result || crlf.written != plain.written)
      finding("CR LF line ends changed the result file");
    if (crlf.diagnostic != plain.diagnostic) finding("CR LF line ends changed the diagnostic");
    if (crlf.warnings != plain.warnings) finding("CR LF line ends changed the warnings");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view listing(reinterpret_cast<const char*>(data), size);
  runBothLineEnds(listing, false);
  runBothLineEnds(listing, true);
  return 0;
}
