// Fuzz target: a whole run on an in-memory listing. A RecordError is the normal way for a run
// to refuse a listing; any other exception, a crash or a sanitizer report is a finding. Each
// input also runs a second time with CR LF line ends, which must not change anything the run
// produces, warnings included.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "extract/frontier_extraction.hpp"
#include "record_io/byte_stream.hpp"
#include "record_io/record_error.hpp"

namespace {

struct Outcome {
  std::string console;
  std::string result;
  bool resultWritten = false;
  std::string diagnostic;  // empty after a normal end
  std::vector<std::string> warnings;
};

[[noreturn]] void finding(const char* what) {
  std::fprintf(stderr, "whole_run_fuzzer: %s\n", what);
  std::abort();
}

Outcome runOn(std::string_view listing) {
  hlext::MemoryConnector files(listing);
  Outcome outcome;
  try {
    hlext::FrontierExtraction(files).run();
  } catch (const hlext::RecordError& error) {
    outcome.diagnostic = error.diagnostic();
    if (outcome.diagnostic.empty()) finding("a RecordError without a diagnostic");
  } catch (const std::exception& error) {
    std::fprintf(stderr, "whole_run_fuzzer: unexpected exception: %s\n", error.what());
    std::abort();
  } catch (...) {
    finding("an exception of unknown type");
  }
  outcome.console = files.consoleText();
  outcome.result = files.resultText();
  outcome.resultWritten = files.resultWritten();
  outcome.warnings = files.warnings();
  return outcome;
}

// Every record the run writes ends with a line feed; console records are five-column integers
// and result records are at most twelve ten-column fields.
void checkShape(const Outcome& outcome) {
  std::size_t start = 0;
  for (std::size_t end; (end = outcome.console.find('\n', start)) != std::string::npos;
       start = end + 1)
    if (end - start != 5) finding("a console record that is not five columns wide");
  if (start != outcome.console.size()) finding("a console record without a line feed");
  if (!outcome.result.empty() && outcome.result.back() != '\n')
    finding("a result record without a line feed");
  start = 0;
  for (std::size_t end; (end = outcome.result.find('\n', start)) != std::string::npos;
       start = end + 1)
    if (end - start > 120) finding("a result record wider than twelve fields");
  const std::string_view prefix = "hlext1: warning: statement ";
  for (const std::string& warning : outcome.warnings)
    if (warning.compare(0, prefix.size(), prefix) != 0 || warning.find('\n') != std::string::npos)
      finding("a warning that is not one line with the warning prefix");
}

std::string withCrLf(std::string_view listing) {
  std::string converted;
  converted.reserve(listing.size() + listing.size() / 8);
  for (char c : listing) {
    if (c == '\n') converted += '\r';
    converted += c;
  }
  return converted;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view listing(reinterpret_cast<const char*>(data), size);
  const Outcome plain = runOn(listing);
  checkShape(plain);
  // A carriage return already in the input would end up before another one; such inputs have
  // no plain counterpart.
  if (listing.find('\r') == std::string_view::npos) {
    const Outcome crlf = runOn(withCrLf(listing));
    if (crlf.console != plain.console) finding("CR LF line ends changed the console output");
    if (crlf.result != plain.result || crlf.resultWritten != plain.resultWritten)
      finding("CR LF line ends changed the result file");
    if (crlf.diagnostic != plain.diagnostic) finding("CR LF line ends changed the diagnostic");
    if (crlf.warnings != plain.warnings) finding("CR LF line ends changed the warnings");
  }
  return 0;
}
