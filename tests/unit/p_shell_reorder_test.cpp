// The p-shell rotation from x, y, z to y, z, x order.
#include "extract/p_shell_reorder.hpp"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "record_io/field_conversion.hpp"

namespace hlext {
namespace {

// Row r of the table holds r as the coefficient of N and -r/2 as that of N+1.
float coefficientN(int row) { return static_cast<float>(row); }
float coefficientNext(int row) { return -0.5F * static_cast<float>(row); }

constexpr float Untouched = 99.0F;

struct ReorderCase {
  const char* name;
  std::vector<std::string_view> labels;  // rows filled in the table
  // The row each output entry comes from (0: a missing partner), one for each row counted.
  std::vector<int> sources;
};

void PrintTo(const ReorderCase& c, std::ostream* os) { *os << c.name; }

class ReorderPShells : public ::testing::TestWithParam<ReorderCase> {};

TEST_P(ReorderPShells, RotatesEachShellFromItsPxRow) {
  const ReorderCase& c = GetParam();
  OrbitalRowTable table;
  for (int row = 1; row <= static_cast<int>(c.labels.size()); ++row)
    table.row(row) = {textFromField(c.labels[static_cast<std::size_t>(row - 1)]), coefficientN(row),
                      coefficientNext(row)};
  OutputVectors vectors;
  vectors.orbitalN.fill(Untouched);
  vectors.orbitalNext.fill(Untouched);

  reorderPShells(table, static_cast<int>(c.sources.size()), vectors);

  for (std::size_t i = 0; i < vectors.orbitalN.size(); ++i) {
    const int source = i < c.sources.size() ? c.sources[i] : -1;
    const float expectedN = source > 0 ? coefficientN(source) : source == 0 ? 0.0F : Untouched;
    const float expectedNext = source > 0    ? coefficientNext(source)
                               : source == 0 ? 0.0F
                                             : Untouched;
    EXPECT_EQ(vectors.orbitalN[i], expectedN) << "entry " << i + 1;
    EXPECT_EQ(vectors.orbitalNext[i], expectedNext) << "entry " << i + 1;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReorderPShells,
    ::testing::Values(
        ReorderCase{"no p shells", {"S", "S", "D", "S"}, {1, 2, 3, 4}},
        ReorderCase{
            "one shell among s functions", {"S", "S", "PX", "PY", "PZ", "S"}, {1, 2, 4, 5, 3, 6}},
        ReorderCase{
            "two shells in a row", {"PX", "PY", "PZ", "PX", "PY", "PZ"}, {2, 3, 1, 5, 6, 4}},
        ReorderCase{"partners taken whatever their labels", {"PX", "S", "D", "S"}, {2, 3, 1, 4}},
        ReorderCase{"PY and PZ before a PX stay", {"PY", "PZ", "PX", "PY", "PZ"}, {1, 2, 4, 5, 3}},
        ReorderCase{"P and a blank is no PX", {"P", "PY", "PZ"}, {1, 2, 3}},
        ReorderCase{"lower case is no PX", {"px", "py", "pz"}, {1, 2, 3}},
        ReorderCase{"PX in the last row", {"S", "S", "PX"}, {1, 2, 0}},
        ReorderCase{"PX in the second-to-last row", {"S", "PX", "PY"}, {1, 3, 0}},
        ReorderCase{"PX alone", {"PX"}, {0}},
        ReorderCase{"partner beyond the count is missing even when filled",
                    {"S", "PX", "PY", "PZ"},
                    {1, 0}},
        ReorderCase{"no rows", {"PX", "PY", "PZ"}, {}}));

}  // namespace
}  // namespace hlext
