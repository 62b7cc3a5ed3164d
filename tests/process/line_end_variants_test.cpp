// How the lines of a listing end changes nothing: every example and golden listing, rewritten
// without trailing blanks, with trailing blanks added (also far past the columns any record is
// read at) or without its final line feed, gives the real binary's run the same console output,
// fort.50, diagnostics and exit status as the listing itself. CR LF line ends are the record
// reader's to split (record_reader_test.cpp, up to the last column a record keeps) and the
// whole-run fuzzer's to check over every one of these listings, which seed it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/lines.hpp"
#include "tests/support/scratch_run.hpp"

namespace hlext::testing {
namespace {

namespace fs = std::filesystem;

// A rewrite of every line of a listing, or none; and whether the final line feed goes.
struct Variant {
  const char* name;
  void (*line)(std::string&);
  bool dropFinalLineFeed = false;
};

const Variant variants[] = {
    {"trailing blanks stripped", [](std::string& l) { l.erase(l.find_last_not_of(' ') + 1); }},
    {"three trailing blanks added", [](std::string& l) { l += "   "; }},
    {"blanks up to column 80",
     [](std::string& l) { l.resize(std::max<std::size_t>(l.size(), 80), ' '); }},
    {"blanks up to column 200",
     [](std::string& l) { l.resize(std::max<std::size_t>(l.size(), 200), ' '); }},
    {"no final line feed", nullptr, true},
};

// The listing rewritten, or nothing when the variant does not apply to it: dropping the final
// line feed keeps every record only when the last line holds something, as an empty last line
// without a line feed is no line at all.
std::optional<std::string> rewritten(const std::string& listing, const Variant& variant) {
  std::vector<std::string> lines = splitLines(listing);
  if (variant.line)
    for (std::string& line : lines) variant.line(line);
  const bool finalLineFeed = listing.empty() || listing.back() == '\n';
  if (!variant.dropFinalLineFeed) return joinLines(lines, "\n", finalLineFeed);
  if (lines.empty() || lines.back().empty()) return std::nullopt;
  return joinLines(lines, "\n", false);
}

struct ListingCase {
  std::string name;
  fs::path folder;
};

void PrintTo(const ListingCase& c, std::ostream* out) { *out << c.name; }

std::vector<ListingCase> listingCases() {
  std::vector<ListingCase> cases;
  for (const auto& [group, root] :
       {std::pair<std::string, fs::path>{"examples", HLEXT1_EXAMPLES_DIR},
        {"golden", HLEXT1_GOLDEN_DIR}})
    for (const auto& entry : fs::directory_iterator(root))
      if (fs::exists(entry.path() / "hlext.dat"))
        cases.push_back({group + "/" + entry.path().filename().string(), entry.path()});
  std::sort(cases.begin(), cases.end(),
            [](const ListingCase& a, const ListingCase& b) { return a.name < b.name; });
  return cases;
}

RunOutcome runOn(const fs::path& caseFolder, const std::string& listing) {
  ScratchFolder scratch;
  writeFile(scratch / "hlext.dat", listing);
  if (fs::exists(caseFolder / "fort.50.before"))
    fs::copy_file(caseFolder / "fort.50.before", scratch / "fort.50");
  return runTool(scratch);
}

class LineEndVariantTest : public ::testing::TestWithParam<ListingCase> {};

TEST_P(LineEndVariantTest, GivesTheSameRun) {
  const fs::path& folder = GetParam().folder;
  const std::string original = readFile(folder / "hlext.dat");
  const RunOutcome expected = runOn(folder, original);
  int applied = 0;
  for (const Variant& variant : variants) {
    const std::optional<std::string> listing = rewritten(original, variant);
    // Stripping trailing blanks leaves most listings as they are.
    if (!listing || *listing == original) continue;
    ++applied;
    const RunOutcome outcome = runOn(folder, *listing);
    EXPECT_EQ(outcome.console, expected.console) << variant.name;
    EXPECT_EQ(outcome.result, expected.result) << variant.name;
    EXPECT_EQ(outcome.diagnostics, expected.diagnostics) << variant.name;
    EXPECT_EQ(outcome.status, expected.status) << variant.name;
  }
  EXPECT_GE(applied, 3);  // the three that add blanks change every listing
}

INSTANTIATE_TEST_SUITE_P(Listings, LineEndVariantTest, ::testing::ValuesIn(listingCases()));

}  // namespace
}  // namespace hlext::testing
