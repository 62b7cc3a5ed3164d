// Whole runs in memory: the three searches and their record limit, the occupied count, block
// location, and the case where orbitals N and N+1 stand in two blocks.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "extract/frontier_extraction.hpp"
#include "record_io/record_error.hpp"
#include "tests/support/lines.hpp"
#include "tests/support/listing_builder.hpp"
#include "tests/support/memory_run.hpp"

namespace hlext {
namespace {

using namespace hlext::testing;

const std::string NotFound = "Eigenvectors are not found\n";

// Five rows, no p shells, so the result keeps listing order.
const std::vector<BasisFunction> Rows = {
    {"S", "O", 1}, {"S", "O", 1}, {"S", "O", 1}, {"S", "H", 2}, {"S", "H", 3}};

std::vector<double> columnOf(int orbital, int rows, int orbitalCount) {
  std::vector<double> values;
  for (int row = 1; row <= rows; ++row)
    values.push_back(orbital <= orbitalCount ? coefficientOf(orbital, row) : 0.0);
  return values;
}

// The result of extracting orbitals n and n+1 from blocks of `orbitalCount` orbitals over Rows;
// an orbital the listing does not print reads as energy 0 with zero coefficients.
std::string resultFor(int n, int orbitalCount) {
  const int rows = static_cast<int>(Rows.size());
  return resultFile(n, energyOf(n), columnOf(n, rows, orbitalCount),
                    n + 1 <= orbitalCount ? energyOf(n + 1) : 0.0,
                    columnOf(n + 1, rows, orbitalCount));
}

std::string echoed(int n, bool sameBlock) {
  return integer(n, 5) + "\n" +
         (sameBlock ? integer(static_cast<long>(Rows.size()), 5) + "\n" : "");
}

struct Expected {
  std::string console;
  std::string result;  // of a run that ends normally or is refused
  std::optional<ErrorKind> kind = std::nullopt;
  int statement = 0;
  long long record = 0;   // 0: the one after the listing's last record
  int warned = 0;         // the statement the one warning names; 0: no warning
  std::string said = {};  // how the diagnostic, or else the one warning, ends; empty: unchecked
};

struct RunCase {
  std::string name;
  std::string listing;
  Expected expected;
};

void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }

class WholeRun : public ::testing::TestWithParam<RunCase> {};

TEST_P(WholeRun, ConsoleWarningsAndResultOrFailure) {
  const RunCase& c = GetParam();
  const MemoryRun run = runInMemory(c.listing);
  EXPECT_EQ(run.console, c.expected.console);
  if (c.expected.warned == 0) {
    EXPECT_EQ(run.warnings, std::vector<std::string>{});
  } else {
    const std::string prefix =
        "hlext1: warning: statement " + std::to_string(c.expected.warned) + " (";
    ASSERT_EQ(run.warnings.size(), 1U);
    EXPECT_EQ(run.warnings[0].substr(0, prefix.size()), prefix) << run.warnings[0];
  }
  if (!c.expected.said.empty()) {
    const std::string& line =
        run.failure || run.warnings.empty() ? run.diagnostic : run.warnings[0];
    EXPECT_TRUE(line.ends_with(c.expected.said)) << line;
  }
  if (c.expected.kind) {
    ASSERT_TRUE(run.failure.has_value()) << "the run ended without an error";
    EXPECT_EQ(run.failure->kind, *c.expected.kind) << run.diagnostic;
    EXPECT_EQ(run.failure->statement.number, c.expected.statement) << run.diagnostic;
    EXPECT_EQ(run.failure->unit, ListingUnit);
    const auto records = static_cast<long long>(splitLines(c.listing).size());
    EXPECT_EQ(run.failure->place.record, c.expected.record ? c.expected.record : records + 1)
        << run.diagnostic;
    EXPECT_FALSE(run.written);
  } else {
    ASSERT_FALSE(run.failure.has_value()) << run.diagnostic;
    EXPECT_EQ(run.result, c.expected.result);
    EXPECT_TRUE(run.written);
  }
}

// When orbital N is the last one printed, its header lists no N+1 after it: the header read by
// statement 27 when it is the first one, else by the header search.
Expected normal(int n, int orbitalCount, bool sameBlock = true) {
  const int warned = sameBlock && n == orbitalCount ? (n <= 6 ? 27 : 32) : 0;
  return {echoed(n, sameBlock), resultFor(n, orbitalCount), std::nullopt, 0, 0, warned};
}
Expected refused(std::string console, int statement) {
  return {std::move(console), NotFound, std::nullopt, 0, 0, statement};
}
Expected endOfFile(std::string console, int statement) {
  return {std::move(console), "", ErrorKind::EndOfFile, statement};
}
// A field of record `record` that ends the run; `said` ends the diagnostic: its columns, its
// text and the kind of fault. N is echoed only once it has been found usable.
Expected badField(std::string console, ErrorKind kind, int statement, long long record,
                  std::string said) {
  return {std::move(console), "", kind, statement, record, 0, std::move(said)};
}

// `before`, then the eigenvector section of 13 orbitals over Rows.
Listing withSection(Listing before) {
  addEigenvectorSection(before, 13, Rows);
  return before;
}

// The occupied-count record, or the heading, as record `record` of its search.
Listing withOccupiedCountAt(int record) {
  return withSection(Listing().filler(record - 1).add(occupiedCountRecord(3)).filler(5));
}

Listing withHeadingAt(int record) {
  return withSection(Listing().add(occupiedCountRecord(3)).filler(record - 1));
}

// A second occupied-count record holding `count`, as record `record` of the heading search: a
// later job's, which the heading search passes over and warns of.
Listing withLaterCountAt(int record, std::string_view count) {
  Listing listing;
  listing.add(occupiedCountRecord(3)).filler(record - 1).add(occupiedCountRecord(count)).filler(4);
  return withSection(listing);
}

Expected warnedOf(int statement, Expected expected) {
  expected.warned = statement;
  return expected;
}

Expected saying(std::string said, Expected expected) {
  expected.said = std::move(said);
  return expected;
}

// The occupied-count record for `n`, the heading and a first block header listing `orbitals`.
Listing upToFirstHeader(int n, const std::vector<int>& orbitals = {1, 2, 3, 4, 5, 6}) {
  Listing listing;
  listing.add(occupiedCountRecord(n)).add(headingRecord()).filler(4).add(headerRecord(orbitals));
  return listing;
}

// Orbital 8 is in the second block, whose header stands `record` records after the first one.
Listing withSecondHeaderAt(int record) {
  Listing listing = upToFirstHeader(8);
  addBlock(listing.filler(record - 1), 7, 12, Rows, "ROOT", 0);
  return listing;
}

// `record` amid printout.
std::string amid(const std::string& record) {
  return Listing().filler(3).add(record).filler(3).text();
}

// Orbital 14 is in the third block, whose header stands `record` records after the second one;
// the second header search counts its records from 1 again.
Listing withThirdHeaderAt(int record) {
  Listing listing;
  listing.add(occupiedCountRecord(14)).add(headingRecord()).add(2, "");
  addBlock(listing, 1, 6, Rows);
  const int second = addBlock(listing, 7, 12, Rows);
  listing.filler(second + record - 1 - listing.size());
  addBlock(listing, 13, 18, Rows, "ROOT", 0);
  return listing;
}

std::vector<RunCase> searchLimitCases() {
  Listing eigenvalues;
  eigenvalues.add(occupiedCountRecord(3)).filler(3).add("                  EIGENVALUES");
  return {
      {"occupied count in record 500", withOccupiedCountAt(500).text(), normal(3, 13)},
      {"occupied count in record 501", withOccupiedCountAt(501).text(), refused("", 16)},
      {"exactly 500 records, none matching", Listing().filler(500).text(),
       saying("of records 1-500", refused("", 16))},
      {"499 records, none matching", Listing().filler(499).text(),
       saying(": end of file", endOfFile("", 13))},
      {"occupied-count label only inside prose",
       amid("     THE RHF STEP CONVERGED; DOUBLY OCCUPIED LEVELS = 4"),
       saying("; record 4 holds \"RHF \" in columns 10-13, not 11-14, with 4 after \"=\"",
              endOfFile("", 13))},
      {"heading 500 records on", withHeadingAt(500).text(), normal(3, 13)},
      {"heading 501 records on", withHeadingAt(501).text(),
       saying("of records 2-501; record 502 holds it in columns 17-20", refused("    3\n", 25))},
      {"later count record first", withLaterCountAt(1, "  7").text(), warnedOf(22, normal(3, 13))},
      {"later count record not an integer, just before the heading",
       withLaterCountAt(494, "x.y").text(), warnedOf(22, normal(3, 13))},
      {"no heading before the end", Listing().add(occupiedCountRecord(3)).filler(30).text(),
       endOfFile("    3\n", 22)},
      {"header 500 records on", withSecondHeaderAt(500).text(), normal(8, 12)},
      {"header 501 records on", withSecondHeaderAt(501).text(), refused("    8\n", 34)},
      {"no header before the end", upToFirstHeader(8).filler(30).text(), endOfFile("    8\n", 32)},
      {"second header search counts from 1", withThirdHeaderAt(500).text(), normal(14, 18)},
      {"second header search refused", withThirdHeaderAt(501).text(), refused("   14\n", 34)},
      // Look-alikes a failed search names, and records that are none.
      {"count line shifted left with a negative count",
       amid("      RHF CALCULATION, NO. OF DOUBLY OCCUPIED LEVELS = -5"),
       saying("not 11-14, with -5 after \"=\"", endOfFile("", 13))},
      {"a closing banner is no count line", amid(" ...... END OF RHF CALCULATION ......"),
       saying(": end of file", endOfFile("", 13))},
      {"an eigenvalue list is no heading", eigenvalues.filler(600).text(),
       saying("of records 2-501", refused("    3\n", 25))},
      {"a header of another layout",
       upToFirstHeader(8).filler(3).add("   Root No.    9      10").filler(600).text(),
       saying("; record 11 is a \"Root No.\" block header: the vectors are printed in another "
              "layout, which hlext1 --final reads",
              refused("    8\n", 34))},
      {"orbital 1 without its header", upToFirstHeader(1, {2, 3, 4, 5, 6, 7}).filler(600).text(),
       saying("seeking the block header of orbital 1", refused("    1\n", 34))},
  };
}

INSTANTIATE_TEST_SUITE_P(SearchLimit, WholeRun, ::testing::ValuesIn(searchLimitCases()));

// N = 8: all three searches must match in all four characters for the run to end normally;
// records with other labels are passed over whatever their fields.
std::vector<RunCase> labelCases() {
  const auto labelled = [](const char* name, const std::string& occupied,
                           const std::string& heading, std::string_view secondHeader,
                           int failingStatement) -> RunCase {
    Listing listing;
    listing.filler(3).add(occupied).filler(3).add(heading).add(2, "");
    addBlock(listing, 1, 6, Rows);
    addBlock(listing, 7, 12, Rows, secondHeader);
    if (failingStatement == 0) return {name, listing.text(), normal(8, 12)};
    return {name, listing.text(),
            endOfFile(failingStatement == 13 ? "" : "    8\n", failingStatement)};
  };
  const std::string rhf = occupiedCountRecord(8);
  const std::string eige = headingRecord();
  Listing others;
  others.add(overwrite("", 59, "ABC"))
      .add(overwrite(fillerRecord(2), 59, "1.5"))
      .add(occupiedCountRecord("x y", "RHX "))
      .add(occupiedCountRecord("0.5", "RHF,"))
      .add(occupiedCountRecord(8))
      .add(headingRecord())
      .add(2, "");
  addBlock(others, 1, 6, Rows);
  // The header search crosses the first block's energies and coefficients, whose decimal
  // points fall in its integer columns, and records like these.
  others.add(overwrite(overwrite("", 5, "ROOX"), 13, "0.249"));
  others.add(std::string(90, 'Z'));
  addBlock(others, 7, 12, Rows);
  return {
      labelled("all match", rhf, eige, "ROOT", 0),
      labelled("text before column 11", overwrite(rhf, 1, "0123456789"), eige, "ROOT", 0),
      labelled("text before column 17", rhf, overwrite(eige, 1, "ABCDEFGHIJKLMNOP"), "ROOT", 0),
      labelled("RHF followed by a comma", occupiedCountRecord("  8", "RHF,"), eige, "ROOT", 13),
      labelled("rhf in lower case", occupiedCountRecord("  8", "rhf "), eige, "ROOT", 13),
      labelled("RHF a column early", occupiedCountRecord("  8", "RHF  ").substr(1), eige, "ROOT",
               13),
      labelled("eige in lower case", rhf, headingRecord("eige"), "ROOT", 22),
      labelled("EIGE a column late", rhf, " " + eige, "ROOT", 22),
      labelled("Root in mixed case", rhf, eige, "Root", 32),
      labelled("ROO and a blank", rhf, eige, "ROO ", 32),
      {"letters and decimals in skipped records", others.text(), normal(8, 12)},
  };
}

INSTANTIATE_TEST_SUITE_P(Labels, WholeRun, ::testing::ValuesIn(labelCases()));

// A bad field in the record a search matched: the occupied-count record, or the second header.
// A blank count is the golden case blank-occupied-count.
std::vector<RunCase> badFieldCases() {
  const auto bad = [](const char* name, const std::string& record, bool header, ErrorKind kind,
                      std::string said) -> RunCase {
    Listing listing;
    listing.filler(4).add(header ? occupiedCountRecord(8) : record);
    int faulty = listing.size();
    listing.add(headingRecord()).add(2, "");
    addBlock(listing, 1, 6, Rows);
    listing.filler(2).add(header ? record : fillerRecord(0));
    if (header) faulty = listing.size();
    addBlock(listing, 7, 12, Rows);
    return {name, listing.text(),
            badField(header ? "    8\n" : "", kind, header ? 32 : 13, faulty, std::move(said))};
  };
  return {
      bad("letters for N", occupiedCountRecord("ABC"), false, ErrorKind::BadInteger,
          "columns 59-61 \"ABC\": bad integer"),
      bad("N of 0", occupiedCountRecord(0), false, ErrorKind::Unusable,
          "columns 59-61 \"  0\": bad occupied count"),
      bad("N negative", occupiedCountRecord(-3), false, ErrorKind::Unusable,
          "columns 59-61 \" -3\": bad occupied count"),
      bad("decimal in the first orbital column", overwrite(headerRecord({7}), 13, "0.249"), true,
          ErrorKind::BadInteger, "columns 13-17 \"0.249\": bad integer"),
      bad("letter in the sixth orbital column",
          overwrite(headerRecord({7, 8, 9, 10, 11}), 73, "  1x2"), true, ErrorKind::BadInteger,
          "columns 73-77 \"  1x2\": bad integer"),
  };
}

INSTANTIATE_TEST_SUITE_P(BadField, WholeRun, ::testing::ValuesIn(badFieldCases()));

// Orbital N's block, and only later headers must read ROOT. N alone in the last block, the last
// orbital printed, is the golden case header-without-next-orbital; N in the sixth column of a
// block, the split cases below (block 1) and the ozone example (block 2).
// Orbitals 1-6 over `first` under a header labelled `firstLabel`, 7-12 over `second` under one
// labelled `secondLabel`, that header replaced by `secondHeader` unless it is empty.
Listing twoBlocks(int n, std::string_view firstLabel, std::string_view secondLabel,
                  const std::string& secondHeader = "",
                  const std::vector<BasisFunction>& first = Rows,
                  const std::vector<BasisFunction>& second = Rows) {
  Listing listing;
  listing.add(occupiedCountRecord(n)).add(headingRecord()).add(2, "");
  addBlock(listing, 1, 6, first, firstLabel);
  const int header = addBlock(listing, 7, 12, second, secondLabel);
  if (!secondHeader.empty()) listing.set(header, secondHeader);
  return listing;
}

std::vector<RunCase> blockLocationCases() {
  std::vector<RunCase> cases;
  const auto standard = [&cases](const char* name, int orbitalCount, int n, bool sameBlock) {
    cases.push_back(
        {name, standardListing(n, orbitalCount, Rows).text(), normal(n, orbitalCount, sameBlock)});
  };
  standard("first block, column 1", 13, 1, true);
  standard("first block, column 4", 13, 4, true);
  standard("second block, column 2", 13, 8, true);
  standard("fourth block, column 2", 22, 20, true);
  standard("fourth block, column 5", 24, 23, true);
  standard("last of three in a short block", 15, 15, true);
  cases.push_back(
      {"N beyond the last block", standardListing(20, 13, Rows).text(), endOfFile("   20\n", 32)});
  // A header that lists another orbital after N: orbital N+1's values are that column's.
  cases.push_back({"another orbital after N",
                   twoBlocks(8, "ROOT", "ROOT", headerRecord({7, 8, 20, 10, 11, 12})).text(),
                   warnedOf(32, normal(8, 12))});
  cases.push_back(
      {"first header with another label", twoBlocks(2, "XYZW", "ROOT").text(), normal(2, 12)});
  // A header is read up to its sixth orbital column; what stands beyond column 77 is not.
  cases.push_back(
      {"header with text beyond its orbitals",
       twoBlocks(8, "ROOT", "ROOT", headerRecord({7, 8, 9, 10, 11, 12}) + "   x.y   1.5   ,,")
           .text(),
       normal(8, 12)});
  Listing wrongSecondLabel = twoBlocks(8, "XYZW", "root");
  addBlock(wrongSecondLabel, 13, 13, Rows);
  cases.push_back(
      {"second header with another label", wrongSecondLabel.text(), endOfFile("    8\n", 32)});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(BlockLocation, WholeRun, ::testing::ValuesIn(blockLocationCases()));

// N = 6: the first pass reads block 1 and the second block 2, whose header is never read; the
// second block's row count against the first's (one row fewer or more: the golden cases
// split-fewer-rows-in-next-block and split-more-rows-in-next-block).
std::vector<RunCase> splitCases() {
  const std::vector<BasisFunction> pShell = {
      {"S", "O", 1}, {"S", "O", 1}, {"S", "O", 1}, {"PX", "O", 1}, {"PY", "O", 1}};
  std::vector<BasisFunction> pShellMore = pShell;
  pShellMore.push_back({"PZ", "O", 1});
  const auto c = [](int orbital, int row) { return coefficientOf(orbital, row); };
  const std::string whole =
      resultFile(6, energyOf(6), columnOf(6, 5, 6), energyOf(7), columnOf(7, 5, 7));
  const auto split = [](const char* name, const std::vector<BasisFunction>& first,
                        const std::vector<BasisFunction>& second, std::string result,
                        const std::string& secondHeader = "") -> RunCase {
    Expected expected{"    6\n", std::move(result)};
    if (first.size() != second.size()) expected.warned = 126;
    return {name, twoBlocks(6, "ROOT", "ROOT", secondHeader, first, second).text(), expected};
  };
  return {
      split("equal row counts", Rows, Rows, whole),
      split("unreadable next header", Rows, Rows, whole, "    JUNK 0.5 x.y  ,,,"),
      // The p shell's z partner lies beyond orbital N's rows: it is 0 for both orbitals, even
      // though the second pass read a row there.
      split("p shell cut by the row count", pShell, pShellMore,
            NotFound + resultFile(6, energyOf(6), {c(6, 1), c(6, 2), c(6, 3), c(6, 5), 0.0},
                                  energyOf(7), {c(7, 1), c(7, 2), c(7, 3), c(7, 5), 0.0})),
  };
}

INSTANTIATE_TEST_SUITE_P(SplitCase, WholeRun, ::testing::ValuesIn(splitCases()));

}  // namespace
}  // namespace hlext
