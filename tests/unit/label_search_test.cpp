// The label search over lines held in a buffer, without a reader around it.
#include "record_io/label_search.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace hlext {
namespace {

// The pass over lines held whole, on its own: the lines it passes over before one that
// carries the label, one not held whole, or the limit, and where it saw the label elsewhere (a
// record that begins with it first, else the first holding it at all).
TEST(LabelSearchTest, PassesOverHeldLinesAndSeesTheLabelElsewhere) {
  struct PassCase {
    const char* name;
    std::string held;
    std::size_t offset;
    int most;
    int passed;
    long long seenRecord;  // 0: the label seen nowhere else
    int seenColumn;
  };
  const PassCase cases[] = {
      {"stops before the line that carries it", "a\nb\n  RHF \nc\n", 2, 10, 2, 0, 0},
      {"a mention inside text, then the limit", "THE RHF STEP\nb\nc\nd\n", 10, 3, 3, 1, 5},
      {"a line beginning with it after a mention", "SEE RHF\n   RHF = 4\nz\n", 10, 10, 3, 2, 4},
      {"stops before a line not held whole", "a\nb\nRH", 0, 10, 2, 0, 0},
      {"a short line reads blank past its end", "ab\nxRHF\r\nc\n", 1, 10, 1, 0, 0},
      {"only the columns a read keeps are looked at", std::string(130, 'x') + "RHF \n", 0, 10, 1, 0,
       0},
  };
  for (const PassCase& c : cases) {
    SCOPED_TRACE(c.name);
    const SearchLabel label(c.offset, text4("RHF "));
    LabelSightings sightings;
    sightings.reset(c.offset, text4("RHF "), 1000);
    const char* begin = c.held.data();
    const HeldPass pass = passOverHeld(label, begin, begin + c.held.size(), c.most, &sightings, 1);
    EXPECT_EQ(pass.passed, c.passed);
    EXPECT_EQ(std::count(begin, pass.next, '\n'), c.passed);
    EXPECT_EQ(sightings.nearest().record, c.seenRecord);
    EXPECT_EQ(sightings.nearest().column, c.seenColumn);
  }
}

}  // namespace
}  // namespace hlext
