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
#include <vector>

#include "tests/support/listing_builder.hpp"
#include "tests/support/scratch_run.hpp"

namespace hlext::testing {
namespace {

namespace fs = std::filesystem;

const std::string NotFound = "Eigenvectors are not found\n";
// Longer than the message, and with bytes that no rewrite of the file would keep.
const std::string OlderResult =
    "   99\r\n\n\n    E ( 98 ) =   -0.12345\n  an older result with no final line feed";

// One p shell, so that the normal end also shows the rotation.
const std::vector<BasisFunction> Rows = {
    {"S", "O", 1}, {"PX", "O", 1}, {"PY", "O", 1}, {"PZ", "O", 1}, {"S", "H", 2}};

// Orbital `orbital`'s coefficients as written: the p shell's x row after its y and z rows.
std::vector<double> rotated(int orbital, int rowCount = 5) {
  std::vector<double> values;
  for (int row : {1, 3, 4, 2}) values.push_back(coefficientOf(orbital, row));
  for (int row = 5; row <= rowCount; ++row) values.push_back(coefficientOf(orbital, row));
  return values;
}

// The listings, each with the record a failure names.
struct Listings {
  std::string normal = standardListing(3, 13, Rows).text();
  std::string noMarkers;
  std::string noHeading;
  std::string shortPrintout;
  std::string occupiedCountZero = standardListing(0, 13, Rows).text();
  // Its result is larger than a file-size limit of one kibibyte.
  std::string large = standardListing(3, 13, std::vector<BasisFunction>(120, {"S", "C", 1})).text();
  std::string badHeader, badEnergy, tooManyRows;
  int badHeaderRecord = 0, badEnergyRecord = 0, tooManyRowsRecord = 0;

  Listings() {
    noMarkers = Listing().filler(600).text();
    noHeading = Listing().add(occupiedCountRecord(3)).filler(600).text();
    shortPrintout = Listing().filler(20).text();

    Listing header;
    header.add(occupiedCountRecord(8)).add(headingRecord()).add(2, "");
    addBlock(header, 1, 6, Rows);
    badHeaderRecord = addBlock(header, 7, 12, Rows);
    header.set(badHeaderRecord, overwrite(headerRecord({7, 8, 9, 10, 11, 12}), 13, "0.249"));
    badHeader = header.text();

    Listing energy;
    energy.add(occupiedCountRecord(3)).add(headingRecord()).add(2, "");
    badEnergyRecord = addBlock(energy, 1, 6, Rows) + 2;
    energy.set(badEnergyRecord, overwrite(energyRecord({-2.5, -1.5, 0.5}), 21, "   -1.2O3456"));
    badEnergy = energy.text();

    Listing many;
    many.add(occupiedCountRecord(3)).add(headingRecord()).add(2, "");
    // The header, a blank, the energies and two blanks stand before the first row.
    tooManyRowsRecord =
        addBlock(many, 1, 6, std::vector<BasisFunction>(301, {"S", "C", 1})) + 4 + 301;
    tooManyRows = many.text();
  }
};

enum class Setup {
  None,
  ListingMissing,
  ListingDirectory,
  ResultDirectory,
  ResultFull,
  ResultLinksToListing,  // fort.50 a symbolic link to hlext.dat
  ListingLinksToResult,  // hlext.dat a symbolic link to fort.50, which holds the listing
  HardLinks,             // fort.50 and hlext.dat two names of one file
  ResultLinksAway,       // fort.50 a symbolic link to elsewhere/fort.50, which gets the result
  ResultLinkLoop,        // fort.50 a symbolic link to itself
};

// Runs the tool as an ordinary user in the scratch folder made read-only (mode 555), with
// fort.50, where it exists, handed to that user: the result can only be written in place.
const std::string AsUserInReadOnlyFolder =
    "chown -h 65534 fort.50 2>/dev/null; chmod 555 .; "
    "setpriv --reuid=65534 --regid=65534 --clear-groups";

struct EndCase {
  const char* name;
  std::string listing{};
  std::optional<std::string> before{};  // fort.50 before the run; none: it does not exist
  Setup setup = Setup::None;
  std::string redirection{};  // what follows the tool: arguments, standard output; empty: captured
  std::string prelude{};      // shell text before the run
  bool needsRoot = false;     // the prelude runs the tool as another user
  int status = 0;
  std::string console{};
  // Standard error in full (a refused search's warning, a diagnostic); or, when `kind` is set,
  // the start of its one line.
  std::string diagnostic{};
  std::string kind{};
  std::optional<std::string> result{};  // fort.50 after the run; none: no regular file
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
  if (c.needsRoot && GTEST_FLAG_GET(list_tests) && !runAsAnotherUserSkips().empty())
    *out << " (skips: " << runAsAnotherUserSkips() << ")";
}

std::vector<EndCase> endCases() {
  const Listings l;
  const std::string result = resultFile(3, energyOf(3), rotated(3), energyOf(4), rotated(4));
  const std::string sameFile = prefix("10 (result file open)", 7, "fort.50") +
                               ": cannot open: the same file as the listing hlext.dat\n";
  return {
      {.name = "normal end",
       .listing = l.normal,
       .before = OlderResult,
       .console = "    3\n    5\n",
       .result = result},
      {.name = "refused occupied-count search",
       .listing = l.noMarkers,
       .before = OlderResult,
       .diagnostic = "hlext1: warning: statement 16 (occupied count not found), unit 4 "
                     "(hlext.dat): no \"RHF \" in columns 11-14 of records 1-500\n",
       .result = NotFound},
      {.name = "refused heading search",
       .listing = l.noHeading,
       .console = "    3\n",
       .diagnostic = "hlext1: warning: statement 25 (eigenvector heading not found), unit 4 "
                     "(hlext.dat): no \"EIGE\" in columns 17-20 of records 2-501\n",
       .result = NotFound},
      {.name = "end of file",
       .listing = l.shortPrintout,
       .before = OlderResult,
       .status = 1,
       .diagnostic = listingError("13 (occupied-count search)", 21, ": end of file"),
       .result = OlderResult},
      {.name = "end of file, no result file before",
       .listing = l.shortPrintout,
       .status = 1,
       .diagnostic = listingError("13 (occupied-count search)", 21, ": end of file"),
       .result = ""},
      {.name = "bad integer",
       .listing = l.badHeader,
       .before = OlderResult,
       .status = 1,
       .console = "    8\n",
       .diagnostic = listingError("32 (block header search)", l.badHeaderRecord,
                                  ", columns 13-17 \"0.249\": bad integer"),
       .result = OlderResult},
      {.name = "bad real",
       .listing = l.badEnergy,
       .before = OlderResult,
       .status = 1,
       .console = "    3\n",
       .diagnostic = listingError("46 (block energies)", l.badEnergyRecord,
                                  ", columns 21-32 \"   -1.2O3456\": bad real"),
       .result = OlderResult},
      {.name = "bad occupied count",
       .listing = l.occupiedCountZero,
       .before = OlderResult,
       .status = 1,
       .diagnostic = listingError("13 (occupied-count search)", 13,
                                  ", columns 59-61 \"  0\": bad occupied count"),
       .result = OlderResult},
      {.name = "too many rows",
       .listing = l.tooManyRows,
       .before = OlderResult,
       .status = 1,
       .console = "    3\n",
       .diagnostic = prefix("57 (coefficient rows)", 4, "hlext.dat") + ", record " +
                     std::to_string(l.tooManyRowsRecord),
       .kind = "too many rows",
       .result = OlderResult},
      {.name = "missing listing",
       .setup = Setup::ListingMissing,
       .status = 1,
       .diagnostic =
           listingError("13 (occupied-count search)", 1,
                        ": end of file; hlext.dat was missing and has been created empty"),
       .result = ""},
      {.name = "listing is a directory",
       .before = OlderResult,
       .setup = Setup::ListingDirectory,
       .status = 2,
       .diagnostic = prefix("9 (listing open)", 4, "hlext.dat"),
       .kind = "cannot open",
       .result = OlderResult},
      {.name = "listing is a directory, no result file before",
       .setup = Setup::ListingDirectory,
       .status = 2,
       .diagnostic = prefix("9 (listing open)", 4, "hlext.dat"),
       .kind = "cannot open"},
      {.name = "result file is a directory",
       .listing = l.normal,
       .setup = Setup::ResultDirectory,
       .status = 2,
       .diagnostic = prefix("10 (result file open)", 7, "fort.50"),
       .kind = "cannot open"},
      {.name = "result file on a full device",
       .listing = l.normal,
       .setup = Setup::ResultFull,
       .status = 2,
       .console = "    3\n    5\n",
       .diagnostic = prefix("149 (orbital N+1 coefficients)", 7, "fort.50"),
       .kind = "write failed"},
      {.name = "message on a full device",
       .listing = l.noMarkers,
       .setup = Setup::ResultFull,
       .status = 2,
       .diagnostic = prefix("16 (occupied count not found)", 7, "fort.50"),
       .kind = "write failed"},
      {.name = "standard output on a full device",
       .listing = l.normal,
       .before = OlderResult,
       .redirection = ">/dev/full",
       .status = 2,
       .diagnostic = "hlext1: statement 18 (occupied-count echo), unit 6",
       .kind = "write failed",
       .result = OlderResult},
      {.name = "result file a link to the listing",
       .listing = l.normal,
       .setup = Setup::ResultLinksToListing,
       .status = 2,
       .diagnostic = sameFile,
       .result = l.normal},
      {.name = "listing a link to the result file",
       .listing = l.normal,
       .setup = Setup::ListingLinksToResult,
       .status = 2,
       .diagnostic = sameFile,
       .result = l.normal},
      {.name = "result file a hard link to the listing",
       .listing = l.normal,
       .setup = Setup::HardLinks,
       .status = 2,
       .diagnostic = sameFile,
       .result = l.normal},
      {.name = "result file a link elsewhere",
       .listing = l.normal,
       .before = OlderResult,
       .setup = Setup::ResultLinksAway,
       .console = "    3\n    5\n",
       .result = result},
      {.name = "file-size limit",
       .listing = l.large,
       .before = OlderResult,
       .prelude = "ulimit -f 1;",
       .status = 2,
       .console = "    3\n  120\n",
       .diagnostic = prefix("149 (orbital N+1 coefficients)", 7, "fort.50"),
       .kind = "write failed",
       .result = OlderResult},
      {.name = "result file a link to itself",
       .listing = l.normal,
       .setup = Setup::ResultLinkLoop,
       .status = 2,
       .diagnostic = prefix("10 (result file open)", 7, "fort.50"),
       .kind = "cannot open: Too many levels of symbolic links"},
      {.name = "read-only folder, result file written in place",
       .listing = l.normal,
       .before = OlderResult,
       .prelude = AsUserInReadOnlyFolder,
       .needsRoot = true,
       .console = "    3\n    5\n",
       .result = result},
      {.name = "read-only folder, no result file",
       .listing = l.normal,
       .prelude = AsUserInReadOnlyFolder,
       .needsRoot = true,
       .status = 2,
       .diagnostic =
           prefix("10 (result file open)", 7, "fort.50") + ": cannot open: Permission denied\n"},
      {.name = "--help alone leaves the listing and an old result as they were",
       .listing = l.normal,
       .before = OlderResult,
       .redirection = "--help >/dev/null",
       .result = OlderResult},
      {.name = "-h alone makes no result file",
       .listing = l.normal,
       .redirection = "-h >/dev/null"},
      {.name = "--version alone makes no result file",
       .listing = l.normal,
       .redirection = "--version >/dev/null"},
      {.name = "a mistyped option leaves an old result as it was",
       .listing = l.normal,
       .before = OlderResult,
       .redirection = "--finel",
       .status = 4,
       .diagnostic = "hlext1: unknown option or option not alone: \"--finel\" (hlext1 --help "
                     "lists the options); nothing was read or written\n",
       .result = OlderResult},
      {.name = "an argument that is no option is ignored, with a warning",
       .listing = l.normal,
       .redirection = "ozone.log >/dev/null",
       .diagnostic = "hlext1: warning: arguments ignored: \"ozone.log\"; hlext1 reads hlext.dat "
                     "and writes fort.50 in the working directory\n",
       .result = result},
      {.name = "standard output closed",
       .listing = l.normal,
       .before = OlderResult,
       .redirection = ">&-",
       .status = 2,
       .diagnostic = "hlext1: statement 18 (occupied-count echo), unit 6",
       .kind = "write failed",
       .result = OlderResult},
  };
}

// Puts the listing, the result file and the links between them in place.
void linkFiles(const ScratchFolder& scratch, const EndCase& c) {
  switch (c.setup) {
    case Setup::ResultLinksToListing: fs::create_symlink("hlext.dat", scratch / "fort.50"); return;
    case Setup::ListingLinksToResult:
      fs::rename(scratch / "hlext.dat", scratch / "fort.50");
      fs::create_symlink("fort.50", scratch / "hlext.dat");
      return;
    case Setup::HardLinks: fs::create_hard_link(scratch / "hlext.dat", scratch / "fort.50"); return;
    case Setup::ResultLinkLoop: fs::create_symlink("fort.50", scratch / "fort.50"); return;
    case Setup::ResultLinksAway:
      fs::create_directory(scratch / "elsewhere");
      fs::rename(scratch / "fort.50", scratch / "elsewhere" / "fort.50");
      fs::permissions(scratch / "elsewhere" / "fort.50", fs::perms(0640));
      fs::create_symlink("elsewhere/fort.50", scratch / "fort.50");
      return;
    default: return;
  }
}

class RunEndings : public ::testing::TestWithParam<EndCase> {};

TEST_P(RunEndings, StatusOutputsAndResultFile) {
  const EndCase& c = GetParam();
  if (c.needsRoot && !runAsAnotherUserSkips().empty()) GTEST_SKIP() << runAsAnotherUserSkips();
  ScratchFolder scratch;
  if (c.setup == Setup::ListingDirectory) fs::create_directory(scratch / "hlext.dat");
  if (c.setup != Setup::ListingMissing && c.setup != Setup::ListingDirectory)
    writeFile(scratch / "hlext.dat", c.listing);
  if (c.before) writeFile(scratch / "fort.50", *c.before);
  if (c.setup == Setup::ResultDirectory) fs::create_directory(scratch / "fort.50");
  if (c.setup == Setup::ResultFull) fs::create_symlink("/dev/full", scratch / "fort.50");
  linkFiles(scratch, c);
  // A rewritten file would show a new modification time.
  const auto past = fs::file_time_type::clock::now() - std::chrono::hours(24);
  std::error_code loop;  // fort.50 may be a link to itself
  if (fs::is_regular_file(scratch / "fort.50", loop))
    fs::last_write_time(scratch / "fort.50", past);

  const RunOutcome outcome = runTool(scratch, c.redirection, c.prelude);

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
  if (c.setup == Setup::ResultLinksAway) {
    EXPECT_TRUE(fs::is_symlink(scratch / "fort.50"));
    EXPECT_EQ(fs::status(scratch / "elsewhere" / "fort.50").permissions(), fs::perms(0640));
  }
  if (c.setup == Setup::ResultLinksToListing || c.setup == Setup::ListingLinksToResult ||
      c.setup == Setup::HardLinks) {
    EXPECT_EQ(readFile(scratch / "hlext.dat"), c.listing);
  }
  if (!c.result) {
    // Nothing is created when the listing cannot be opened: fort.50 is opened after it.
    EXPECT_EQ(fs::exists(fs::symlink_status(scratch / "fort.50")),
              c.setup == Setup::ResultDirectory || c.setup == Setup::ResultFull ||
                  c.setup == Setup::ResultLinkLoop);
  }
  if (c.setup == Setup::ListingMissing) {
    EXPECT_TRUE(fs::is_regular_file(scratch / "hlext.dat"));
    EXPECT_EQ(readFile(scratch / "hlext.dat"), "");
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, RunEndings, ::testing::ValuesIn(endCases()));

}  // namespace
}  // namespace hlext::testing
