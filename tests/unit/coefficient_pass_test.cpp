// One coefficient pass straight over listing text: where it ends, how far it reads, what it
// keeps, and how it fails.
#include "extract/coefficient_pass.hpp"

#include <gtest/gtest.h>

#include <array>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "extract/statements.hpp"
#include "extract/unit_table.hpp"
#include "record_io/record_error.hpp"
#include "tests/support/lines.hpp"
#include "tests/support/listing_builder.hpp"
#include "tests/support/memory_input.hpp"
#include "tests/support/parsed_layout.hpp"
#include "tests/support/read_items.hpp"

namespace hlext {
namespace {

using namespace hlext::testing;

const StatementLayouts Layouts;

// The coefficient of data row `row` in block column k is row + k/8; odd rows are labelled S,
// even rows PX.
float valueOf(int row, int blockColumn) { return static_cast<float>(row + blockColumn * 0.125); }
Text4 labelOf(int row) { return row % 2 == 1 ? text4("S   ") : text4("PX  "); }

std::string dataRow(int row, char mark = ' ') {
  std::vector<double> values;
  for (int k = 1; k <= 6; ++k) values.push_back(valueOf(row, k));
  return rowRecord(row % 2 == 1 ? "S" : "PX", "C", 1, values, mark);
}

// Records from a compact script: D a data row (numbered in order), D*n n of them, M a data row
// marked 2 in column 1, B a blank line, P a line holding only "1", Q a page record that is a
// full row otherwise, Z a row with atom number 0 and coefficients.
std::vector<std::string> script(const std::string& tokens) {
  std::vector<std::string> records;
  int row = 0;
  std::istringstream in(tokens);
  for (std::string token; in >> token;) {
    const int times = token.size() > 2 ? std::stoi(token.substr(2)) : 1;
    for (int i = 0; i < times; ++i) {
      switch (token[0]) {
        case 'D': records.push_back(dataRow(++row)); break;
        case 'M': records.push_back(dataRow(++row, '2')); break;
        case 'B': records.push_back(""); break;
        case 'P': records.push_back("1"); break;
        case 'Q': records.push_back(rowRecord("S", "C", 3, {9.5, 9.5}, '1')); break;
        case 'Z': records.push_back(rowRecord("S", "C", 0, {8.5, 8.5, 8.5})); break;
        default: ADD_FAILURE() << "unknown token " << token;
      }
    }
  }
  return records;
}

struct PassCase {
  const char* name;
  const char* records;
  int rows;
};

void PrintTo(const PassCase& c, std::ostream* os) { *os << c.name; }

class PassEnds : public ::testing::TestWithParam<PassCase> {};

// A pass over block column 1 ends at a separator met with the flag set, the last of its
// records, having kept every row.
TEST_P(PassEnds, AtASeparatorMetWithTheFlagSet) {
  const PassCase& c = GetParam();
  std::vector<std::string> records = script(c.records);
  const auto consumed = static_cast<long long>(records.size());
  records.push_back("NEXT RECORD");
  const std::string text = joinLines(records);  // the reader reads it where it stands
  RecordReader reader = memoryReader(text);
  OrbitalRowTable table;
  const CoefficientPass pass(PassKind::SameBlock, statement::SameBlockPass, 1);
  EXPECT_EQ(pass.run(reader, Layouts.row, table), c.rows);
  EXPECT_EQ(reader.recordNumber(), consumed);
  for (int row = 1; row <= c.rows; ++row) {
    EXPECT_EQ(table.row(row).shellLabel, labelOf(row)) << "row " << row;
    EXPECT_EQ(table.row(row).coefficientN, valueOf(row, 1)) << "row " << row;
    EXPECT_EQ(table.row(row).coefficientNext, valueOf(row, 2)) << "row " << row;
  }
  if (c.rows < RowCapacity) {
    EXPECT_EQ(table.row(c.rows + 1).coefficientN, 0.0F);
  }
  // The next statement reads the record after the one that ended the pass.
  Text4 next{};
  const std::array<ReadItem, 1> items = {&next};
  readOrReject(reader, 1, parsedLayout("(A4)"), items);
  EXPECT_EQ(view(next), "NEXT");
}

INSTANTIATE_TEST_SUITE_P(
    Table, PassEnds,
    ::testing::Values(PassCase{"one group, then two groups", "D B D D D D B B", 5},
                      PassCase{"separator first", "B", 0},
                      PassCase{"page records before the first row", "P P D D B B", 2},
                      PassCase{"page records only, then a separator", "P P B", 0},
                      PassCase{"page record between two separators", "D B P B", 1},
                      PassCase{"page record between groups", "D B P D B B", 2},
                      PassCase{"page record before a separator", "D P B D B B", 2},
                      PassCase{"page record inside a group", "D*7 P D*4 B B", 11},
                      PassCase{"ten rows in one group", "D*10 B B", 10},
                      PassCase{"fifteen rows in one group", "D*15 B B", 15},
                      PassCase{"mark 2 in column 1 is a data row", "M D B B", 2},
                      PassCase{"a line holding only 1 is no separator", "D P D B B", 2},
                      PassCase{"a full row marked 1 is a page record", "D Q D B B", 2},
                      PassCase{"atom number 0 with coefficients", "D Z Z", 1},
                      PassCase{"three groups", "D B D*3 B D B B", 5},
                      // A table holds three hundred rows.
                      PassCase{"three hundred rows", "D*300 B B", 300},
                      PassCase{"three hundred rows in two groups", "D*150 B P D*150 B B", 300}));

struct KindCase {
  PassKind kind;
  int blockColumn;
  bool keepsLabel;
  int columnN;     // 0: left as it was
  int columnNext;  // 0: left as it was
};

void PrintTo(const KindCase& c, std::ostream* os) {
  *os << "kind " << static_cast<int>(c.kind) << ", block column " << c.blockColumn;
}

class PassKeeps : public ::testing::TestWithParam<KindCase> {};

TEST_P(PassKeeps, TheColumnsOfItsKind) {
  const KindCase& c = GetParam();
  const OrbitalRow untouched{text4("ZZ  "), 42.0F, 43.0F};
  OrbitalRowTable table;
  for (int row = 1; row <= 4; ++row) table.row(row) = untouched;
  const std::string text = joinLines(script("D D B D B B"));
  RecordReader reader = memoryReader(text);
  ASSERT_EQ(CoefficientPass(c.kind, 94, c.blockColumn).run(reader, Layouts.row, table), 3);
  for (int row = 1; row <= 3; ++row) {
    const OrbitalRow& kept = table.row(row);
    EXPECT_EQ(kept.shellLabel, c.keepsLabel ? labelOf(row) : untouched.shellLabel);
    EXPECT_EQ(kept.coefficientN, c.columnN ? valueOf(row, c.columnN) : untouched.coefficientN);
    EXPECT_EQ(kept.coefficientNext,
              c.columnNext ? valueOf(row, c.columnNext) : untouched.coefficientNext);
  }
  EXPECT_EQ(table.row(4).coefficientN, untouched.coefficientN);
}

INSTANTIATE_TEST_SUITE_P(Table, PassKeeps,
                         ::testing::Values(KindCase{PassKind::SameBlock, 1, true, 1, 2},
                                           KindCase{PassKind::SameBlock, 3, true, 3, 4},
                                           KindCase{PassKind::SameBlock, 5, true, 5, 6},
                                           KindCase{PassKind::SplitFirst, 1, true, 6, 0},
                                           KindCase{PassKind::SplitSecond, 1, false, 0, 1}));

struct FailureCase {
  const char* name;
  std::string_view kind;  // as the diagnostic names it
  long long record;
  int firstColumn, lastColumn;
  std::string listing;
};

std::string line(const std::string& record) { return record + "\n"; }

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class PassFails : public ::testing::TestWithParam<FailureCase> {};

TEST_P(PassFails, OnABadFieldARowTooManyOrTheEndOfTheListing) {
  const FailureCase& c = GetParam();
  RecordReader reader = memoryReader(c.listing);
  OrbitalRowTable table;
  try {
    CoefficientPass(PassKind::SplitFirst, statement::SplitFirstPass)
        .run(reader, Layouts.row, table);
    ADD_FAILURE() << "the pass ended normally";
  } catch (const RecordError& error) {
    EXPECT_EQ(kindName(error.failure()), c.kind) << error.diagnostic();
    EXPECT_EQ(error.failure().statement.number, statement::SplitFirstPass.number);
    EXPECT_EQ(error.failure().place.record, c.record) << error.diagnostic();
    EXPECT_EQ(error.failure().place.firstColumn, c.firstColumn) << error.diagnostic();
    EXPECT_EQ(error.failure().place.lastColumn, c.lastColumn) << error.diagnostic();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, PassFails,
    ::testing::Values(
        FailureCase{"bad atom number", "bad integer", 2, 7, 10,
                    line(dataRow(1)) + line(overwrite(dataRow(2), 7, "  x1"))},
        FailureCase{"bad page mark", "bad integer", 1, 1, 1, line(overwrite(dataRow(1), 1, "X"))},
        FailureCase{"bad coefficient in block column 3", "bad real", 1, 35, 46,
                    line(overwrite(dataRow(1), 35, "   1.2.3    "))},
        FailureCase{"bad coefficient in a separator", "bad real", 2, 23, 34,
                    line(dataRow(1)) + line(overwrite("", 23, "      abc   "))},
        FailureCase{"bad atom number in a page record", "bad integer", 1, 7, 10,
                    line(overwrite("1", 7, "   z"))},
        FailureCase{"end of file inside a group", "end of file", 3, 0, 0,
                    line(dataRow(1)) + line(dataRow(2))},
        FailureCase{"end of file after one separator", "end of file", 3, 0, 0,
                    line(dataRow(1)) + "\n"},
        FailureCase{"end of file at once", "end of file", 1, 0, 0, ""},
        // The 301st row, and the record that holds it.
        FailureCase{"a 301st row", "too many rows", 301, 0, 0, joinLines(script("D*301 B B"))},
        FailureCase{"a 301st row after a separator", "too many rows", 302, 0, 0,
                    joinLines(script("D*150 B D*151 B B"))}));

}  // namespace
}  // namespace hlext
