// The label search over lines held in a buffer, without a reader around it.
#include "record_io/label_search.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>

namespace hlext {
namespace {

struct PassCase {
  const char* name;
  std::string held;
  std::size_t offset;
  int most;
  int passed;
  long long seenRecord;  // 0: the label seen nowhere else
  int seenColumn;
  const char* label = "RHF ";
};

void PrintTo(const PassCase& c, std::ostream* os) { *os << c.name; }

class LabelSearchTest : public ::testing::TestWithParam<PassCase> {};

// The pass over lines held whole, on its own: the lines it passes over before one that
// carries the label, one not held whole, or the limit, and where it saw the label elsewhere (a
// record that begins with it first, else the first holding it at all).
TEST_P(LabelSearchTest, PassesOverHeldLinesAndSeesTheLabelElsewhere) {
  const PassCase& c = GetParam();
  const Text4 text = {c.label[0], c.label[1], c.label[2], c.label[3]};
  const SearchLabel label(c.offset, text);
  LabelSightings sightings;
  sightings.reset(c.offset, text, 1000);
  const char* begin = c.held.data();
  const HeldPass pass = passOverHeld(label, begin, begin + c.held.size(), c.most, &sightings, 1);
  EXPECT_EQ(pass.passed, c.passed);
  EXPECT_EQ(std::count(begin, pass.next, '\n'), c.passed);
  EXPECT_EQ(sightings.nearest().record, c.seenRecord);
  EXPECT_EQ(sightings.nearest().column, c.seenColumn);
}

// Lines that hold a label's first character, or the label itself, in other columns.
const std::string lookAlikes =
    "C\nBAAAA\nAAAA\n AAA\nAAB\nAAAA" + std::string(115, ' ') + "AAAAAAAAA\n";
const std::string otherLabels =
    "ONE " + std::string(120, ' ') + "1234\nTWO " + std::string(120, ' ') + "5678\nLAST\n";

INSTANTIATE_TEST_SUITE_P(
    Table, LabelSearchTest,
    ::testing::Values(
        PassCase{"stops before the line that carries it", "a\nb\n  RHF \nc\n", 2, 10, 2, 0, 0},
        PassCase{"a mention inside text, then the limit", "THE RHF STEP\nb\nc\nd\n", 10, 3, 3, 1,
                 5},
        PassCase{"a line beginning with it after a mention", "SEE RHF\n   RHF = 4\nz\n", 10, 10, 3,
                 2, 4},
        PassCase{"stops before a line not held whole", "a\nb\nRH", 0, 10, 2, 0, 0},
        PassCase{"a short line reads blank past its end", "ab\nxRHF\r\nc\n", 1, 10, 1, 0, 0},
        PassCase{"only the columns a read keeps are looked at", std::string(130, 'x') + "RHF \n", 0,
                 10, 1, 0, 0},
        PassCase{"the label's first character in other columns", lookAlikes, 0, 10, 2, 2, 2,
                 "AAAA"},
        PassCase{"past look-alikes", lookAlikes, 0, 10, 4, 0, 0, "AAB "},
        PassCase{"in the last columns a read keeps", lookAlikes, 124, 10, 5, 3, 1, "AAAA"},
        PassCase{"a blank label, past lines that carry others", otherLabels, 124, 10, 2, 0, 0,
                 "    "}));

}  // namespace
}  // namespace hlext
