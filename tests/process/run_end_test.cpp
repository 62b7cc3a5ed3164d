// The real binary in a scratch folder, once for every way a run can end: normally, after a
// refused search, on a listing it cannot use, on a file it cannot open and on an output it
// cannot write. Each case checks standard output, standard error, the exit status and the
// bytes of fort.50.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/listing_builder.hpp"
#include "tests/support/p_shell_rows.hpp"
#include "tests/support/scratch_run.hpp"

namespace hlext::testing {
namespace {

namespace fs = std::filesystem;

const std::string NotFound = "Eigenvectors are not found\n";
// Longer than the message, and with bytes that no rewrite of the file would keep.
const std::string OlderResult =
    "   99\r\n\n\n    E ( 98 ) =   -0.12345\n  an older result with no final line feed";

// The listing of a normal end, which a case reads unless it names another.
const std::string& normalListing() {
  static const std::string listing = standardListing(3, 13, PShellRows).text();
  return listing;
}

// The other listings. One run that ends on the listing stands for them all here: how each kind
// of unusable listing is named is checked by the unit tests and the golden cases.
struct Listings {
  std::string noMarkers = Listing().filler(600).text();
  std::string shortPrintout = Listing().filler(20).text();
};

// Runs the tool as an ordinary user in the scratch folder made read-only (mode 555), with
// fort.50, where it exists, handed to that user: the result can only be written in place.
const std::string AsUserInReadOnlyFolder =
    "chown -h 65534 fort.50 2>/dev/null; chmod 555 .; "
    "setpriv --reuid=65534 --regid=65534 --clear-groups";

struct EndCase {
  const char* name;
  std::string listing = normalListing();
  std::optional<std::string> before{};  // fort.50 before the run; none: it does not exist
  // Shell commands that set the files up after hlext.dat, holding the listing, and fort.50,
  // where there is one before the run, are written.
  std::string setup{};
  std::string redirection{};   // what follows the tool: arguments, standard output; empty: captured
  bool asAnotherUser = false;  // run as AsUserInReadOnlyFolder says, which needs root
  int status = 0;
  std::string console{};
  // Standard error in full (a refused search's warning, a diagnostic); or, when `kind` is set,
  // the start of its one line.
  std::string diagnostic{};
  std::string kind{};
  std::optional<std::string> result{};  // fort.50 after the run; none: no regular file
  std::string after{};  // a shell test of the folder after the run, which must succeed
};

// Any file a run leaves behind besides the ones it was given.
std::vector<std::string> strayFiles(const ScratchFolder& scratch) {
  std::vector<std::string> stray;
  for (const auto& entry : fs::recursive_directory_iterator(scratch.path())) {
    const std::string name = entry.path().filename().string();
    if (name != "hlext.dat" && name != "fort.50" && name != "elsewhere") stray.push_back(name);
  }
  return stray;
}

// `statement` is its number and name, e.g. "13 (occupied-count search)".
std::string prefix(const std::string& statement, int unit, const std::string& file) {
  return "hlext1: statement " + statement + ", unit " + std::to_string(unit) + " (" + file + ")";
}
std::string listingError(const std::string& statement, long long record, const std::string& rest) {
  return prefix(statement, 4, "hlext.dat") + ", record " + std::to_string(record) + rest + "\n";
}

// Why a case that runs the tool as another user skips here, or "".
std::string runAsAnotherUserSkips() {
  static const std::string reason =
      skipReason("need setpriv; need_root 'run hlext1 as another user'\n");
  return reason;
}

// The name and, in the list of cases that CTest names its tests from, why a case skips here.
void PrintTo(const EndCase& c, std::ostream* out) {
  *out << c.name;
  if (c.asAnotherUser && GTEST_FLAG_GET(list_tests) && !runAsAnotherUserSkips().empty())
    *out << " (skips: " << runAsAnotherUserSkips() << ")";
}

std::vector<EndCase> endCases() {
  const Listings l;
  const std::string result = resultFile(3, energyOf(3), rotated(3), energyOf(4), rotated(4));
  // Set up so that the listing and fort.50 are one file, which the run must refuse to write.
  const auto sameFile = [](const char* name, std::string setup) {
    return EndCase{.name = name,
                   .setup = std::move(setup),
                   .status = 2,
                   .diagnostic = prefix("10 (result file open)", 7, "fort.50") +
                                 ": cannot open: the same file as the listing hlext.dat\n",
                   .result = normalListing()};
  };
  return {
      {.name = "normal end", .before = OlderResult, .console = "    3\n    5\n", .result = result},
      // The older result is longer than the message, which must cut it short.
      {.name = "refused occupied-count search",
       .listing = l.noMarkers,
       .before = OlderResult,
       .diagnostic = "hlext1: warning: statement 16 (occupied count not found), unit 4 "
                     "(hlext.dat): no \"RHF \" in columns 11-14 of records 1-500\n",
       .result = NotFound},
      // A listing the run cannot use leaves the older result as it was, not even rewritten.
      {.name = "end of file",
       .listing = l.shortPrintout,
       .before = OlderResult,
       .status = 1,
       .diagnostic = listingError("13 (occupied-count search)", 21, ": end of file"),
       .result = OlderResult},
      {.name = "missing listing",
       .listing = "",
       .setup = "rm hlext.dat",
       .status = 1,
       .diagnostic =
           listingError("13 (occupied-count search)", 1,
                        ": end of file; hlext.dat was missing and has been created empty"),
       .result = ""},
      {.name = "listing is a directory",
       .before = OlderResult,
       .setup = "rm hlext.dat && mkdir hlext.dat",
       .status = 2,
       .diagnostic = prefix("9 (listing open)", 4, "hlext.dat"),
       .kind = "cannot open",
       .result = OlderResult},
      {.name = "listing is a directory, no result file before",
       .setup = "rm hlext.dat && mkdir hlext.dat",
       .status = 2,
       .diagnostic = prefix("9 (listing open)", 4, "hlext.dat"),
       .kind = "cannot open"},
      {.name = "result file is a directory",
       .setup = "mkdir fort.50",
       .status = 2,
       .diagnostic = prefix("10 (result file open)", 7, "fort.50"),
       .kind = "cannot open"},
      {.name = "result file on a full device",
       .setup = "ln -s /dev/full fort.50",
       .status = 2,
       .console = "    3\n    5\n",
       .diagnostic = prefix("149 (orbital N+1 coefficients)", 7, "fort.50"),
       .kind = "write failed"},
      {.name = "message on a full device",
       .listing = l.noMarkers,
       .setup = "ln -s /dev/full fort.50",
       .status = 2,
       .diagnostic = prefix("16 (occupied count not found)", 7, "fort.50"),
       .kind = "write failed"},
      {.name = "standard output on a full device",
       .before = OlderResult,
       .redirection = ">/dev/full",
       .status = 2,
       .diagnostic = "hlext1: statement 18 (occupied-count echo), unit 6",
       .kind = "write failed",
       .result = OlderResult},
      sameFile("result file a link to the listing", "ln -s hlext.dat fort.50"),
      sameFile("listing a link to the result file",
               "mv hlext.dat fort.50 && ln -s fort.50 hlext.dat"),
      sameFile("result file a hard link to the listing", "ln hlext.dat fort.50"),
      {.name = "result file a link elsewhere",
       .before = OlderResult,
       .setup = "mkdir elsewhere && mv fort.50 elsewhere && chmod 640 elsewhere/fort.50 && "
                "ln -s elsewhere/fort.50 fort.50",
       .console = "    3\n    5\n",
       .result = result,
       .after = "[ -L fort.50 ] && [ \"$(stat -c %a elsewhere/fort.50)\" = 640 ]"},
      {.name = "result file a link to itself",
       .setup = "ln -s fort.50 fort.50",
       .status = 2,
       .diagnostic = prefix("10 (result file open)", 7, "fort.50"),
       .kind = "cannot open: Too many levels of symbolic links"},
      {.name = "read-only folder, result file written in place",
       .before = OlderResult,
       .asAnotherUser = true,
       .console = "    3\n    5\n",
       .result = result},
      {.name = "read-only folder, no result file",
       .asAnotherUser = true,
       .status = 2,
       .diagnostic =
           prefix("10 (result file open)", 7, "fort.50") + ": cannot open: Permission denied\n"},
      {.name = "--help alone leaves the listing and an old result as they were",
       .before = OlderResult,
       .redirection = "--help >/dev/null",
       .result = OlderResult},
      {.name = "-h alone makes no result file", .redirection = "-h >/dev/null"},
      {.name = "--version alone makes no result file", .redirection = "--version >/dev/null"},
      // A control character in it is shown escaped, never sent to the terminal.
      {.name = "a mistyped option leaves an old result as it was",
       .before = OlderResult,
       .redirection = "\"--fin$(printf '\\033')el\"",
       .status = 4,
       .diagnostic = "hlext1: unknown option or option not alone: \"--fin\\x1bel\" (hlext1 "
                     "--help lists the options); nothing was read or written\n",
       .result = OlderResult},
      {.name = "an argument that is no option is ignored, with a warning",
       .redirection = "ozone.log >/dev/null",
       .diagnostic = "hlext1: warning: arguments ignored: \"ozone.log\"; hlext1 reads hlext.dat "
                     "and writes fort.50 in the working directory\n",
       .result = result},
      {.name = "standard output closed",
       .before = OlderResult,
       .redirection = ">&-",
       .status = 2,
       .diagnostic = "hlext1: statement 18 (occupied-count echo), unit 6",
       .kind = "write failed",
       .result = OlderResult},
  };
}

class RunEndings : public ::testing::TestWithParam<EndCase> {};

TEST_P(RunEndings, StatusOutputsAndResultFile) {
  const EndCase& c = GetParam();
  if (c.asAnotherUser && !runAsAnotherUserSkips().empty()) GTEST_SKIP() << runAsAnotherUserSkips();
  ScratchFolder scratch;
  writeFile(scratch / "hlext.dat", c.listing);
  if (c.before) writeFile(scratch / "fort.50", *c.before);
  ASSERT_EQ(runScript(scratch, c.setup).status, 0) << c.setup;
  const bool resultBefore = fs::exists(fs::symlink_status(scratch / "fort.50"));
  // A rewritten file would show a new modification time.
  const auto past = fs::file_time_type::clock::now() - std::chrono::hours(24);
  std::error_code loop;  // fort.50 may be a link to itself
  if (fs::is_regular_file(scratch / "fort.50", loop))
    fs::last_write_time(scratch / "fort.50", past);

  const RunOutcome outcome =
      runTool(scratch, c.redirection, c.asAnotherUser ? AsUserInReadOnlyFolder : "");

  EXPECT_EQ(outcome.status, c.status);
  EXPECT_EQ(outcome.console, c.console);
  if (c.kind.empty()) {
    EXPECT_EQ(outcome.diagnostics, c.diagnostic);
  } else {
    EXPECT_EQ(outcome.diagnostics.rfind(c.diagnostic, 0), 0U) << outcome.diagnostics;
    EXPECT_NE(outcome.diagnostics.find(": " + c.kind), std::string::npos) << outcome.diagnostics;
    EXPECT_EQ(std::count(outcome.diagnostics.begin(), outcome.diagnostics.end(), '\n'), 1)
        << outcome.diagnostics;
  }
  EXPECT_EQ(outcome.result, c.result);
  if (c.result && c.before == c.result) {
    EXPECT_EQ(fs::last_write_time(scratch / "fort.50"), past) << "fort.50 was rewritten";
  }
  EXPECT_EQ(strayFiles(scratch), std::vector<std::string>{});
  // The listing stays as it was; a missing one is created empty.
  if (!fs::is_directory(scratch / "hlext.dat")) {
    EXPECT_TRUE(fs::is_regular_file(scratch / "hlext.dat"));
    EXPECT_EQ(readFile(scratch / "hlext.dat"), c.listing);
  }
  // Nothing is created when the listing cannot be opened: fort.50 is opened after it.
  if (!c.result) {
    EXPECT_EQ(fs::exists(fs::symlink_status(scratch / "fort.50")), resultBefore);
  }
  if (!c.after.empty()) {
    EXPECT_EQ(runScript(scratch, c.after).status, 0) << c.after;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, RunEndings, ::testing::ValuesIn(endCases()));

}  // namespace
}  // namespace hlext::testing
