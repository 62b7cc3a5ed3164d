// One coefficient pass straight over listing text: where it ends, how far it reads, what it
// keeps, and how it fails.
#include "extract/coefficient_pass.hpp"

#include <gtest/gtest.h>

#include <array>
#include <memory>
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

namespace hlext {
namespace {

using namespace hlext::testing;

const StatementLayouts Layouts;

std::unique_ptr<RecordReader> readerOver(const std::string& text) {
  return std::make_unique<RecordReader>(memoryReader(text));
}

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

TEST(CoefficientPass, EndsAtASeparatorMetWithTheFlagSet) {
  struct PassCase {
    const char* name;
    const char* records;
    int rows;
    int consumed;  // records read by the pass
  };
  const PassCase cases[] = {
      {"one group, then two groups", "D B D D D D B B", 5, 8},
      {"separator first", "B", 0, 1},
      {"page records before the first row", "P P D D B B", 2, 6},
      {"page records only, then a separator", "P P B", 0, 3},
      {"page record between two separators", "D B P B", 1, 4},
      {"page record between groups", "D B P D B B", 2, 6},
      {"page record before a separator", "D P B D B B", 2, 6},
      {"page record inside a group", "D*7 P D*4 B B", 11, 14},
      {"ten rows in one group", "D*10 B B", 10, 12},
      {"fifteen rows in one group", "D*15 B B", 15, 17},
      {"mark 2 in column 1 is a data row", "M D B B", 2, 4},
      {"a line holding only 1 is no separator", "D P D B B", 2, 5},
      {"a full row marked 1 is a page record", "D Q D B B", 2, 5},
      {"atom number 0 with coefficients", "D Z Z", 1, 3},
      {"three groups", "D B D*3 B D B B", 5, 9},
  };
  for (const PassCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> records = script(c.records);
    ASSERT_EQ(static_cast<int>(records.size()), c.consumed);
    records.push_back("NEXT RECORD");
    const std::string text = joinLines(records);
    const auto reader = readerOver(text);
    OrbitalRowTable table;
    const CoefficientPass pass(PassKind::SameBlock, statement::SameBlockPass, 1);
    EXPECT_EQ(pass.run(*reader, Layouts.row, table), c.rows);
    EXPECT_EQ(reader->recordNumber(), c.consumed);
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
    reader->read(1, parsedLayout("(A4)"), items);
    EXPECT_EQ(view(next), "NEXT");
  }
}

TEST(CoefficientPass, KeepsTheColumnsOfItsKind) {
  struct KindCase {
    PassKind kind;
    int blockColumn;
    bool keepsLabel;
    int columnN;     // 0: left as it was
    int columnNext;  // 0: left as it was
  };
  const KindCase cases[] = {
      {PassKind::SameBlock, 1, true, 1, 2},    {PassKind::SameBlock, 3, true, 3, 4},
      {PassKind::SameBlock, 5, true, 5, 6},    {PassKind::SplitFirst, 1, true, 6, 0},
      {PassKind::SplitSecond, 1, false, 0, 1},
  };
  const std::string text = joinLines(script("D D B D B B"));
  const OrbitalRow untouched{text4("ZZ  "), 42.0F, 43.0F};
  for (const KindCase& c : cases) {
    SCOPED_TRACE("block column " + std::to_string(c.blockColumn) + ", kind " +
                 std::to_string(static_cast<int>(c.kind)));
    OrbitalRowTable table;
    for (int row = 1; row <= 4; ++row) table.row(row) = untouched;
    const auto reader = readerOver(text);
    ASSERT_EQ(CoefficientPass(c.kind, 94, c.blockColumn).run(*reader, Layouts.row, table), 3);
    for (int row = 1; row <= 3; ++row) {
      const OrbitalRow& kept = table.row(row);
      EXPECT_EQ(kept.shellLabel, c.keepsLabel ? labelOf(row) : untouched.shellLabel);
      EXPECT_EQ(kept.coefficientN, c.columnN ? valueOf(row, c.columnN) : untouched.coefficientN);
      EXPECT_EQ(kept.coefficientNext,
                c.columnNext ? valueOf(row, c.columnNext) : untouched.coefficientNext);
    }
    EXPECT_EQ(table.row(4).coefficientN, untouched.coefficientN);
  }
}

TEST(CoefficientPass, FailsOnABadFieldOrTheEndOfTheListing) {
  struct FailureCase {
    const char* name;
    std::vector<std::string> records;
    ErrorKind kind;
    long long record;
    int firstColumn, lastColumn;
  };
  const FailureCase cases[] = {
      {"bad atom number",
       {dataRow(1), overwrite(dataRow(2), 7, "  x1")},
       ErrorKind::BadInteger,
       2,
       7,
       10},
      {"bad page mark", {overwrite(dataRow(1), 1, "X")}, ErrorKind::BadInteger, 1, 1, 1},
      {"bad coefficient in block column 3",
       {overwrite(dataRow(1), 35, "   1.2.3    ")},
       ErrorKind::BadReal,
       1,
       35,
       46},
      {"bad coefficient in a separator",
       {dataRow(1), overwrite("", 23, "      abc   ")},
       ErrorKind::BadReal,
       2,
       23,
       34},
      {"bad atom number in a page record",
       {overwrite("1", 7, "   z")},
       ErrorKind::BadInteger,
       1,
       7,
       10},
      {"end of file inside a group", {dataRow(1), dataRow(2)}, ErrorKind::EndOfFile, 3, 0, 0},
      {"end of file after one separator", {dataRow(1), ""}, ErrorKind::EndOfFile, 3, 0, 0},
      {"end of file at once", {}, ErrorKind::EndOfFile, 1, 0, 0},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string text = joinLines(c.records);
    const auto reader = readerOver(text);
    OrbitalRowTable table;
    try {
      CoefficientPass(PassKind::SplitFirst, statement::SplitFirstPass)
          .run(*reader, Layouts.row, table);
      ADD_FAILURE() << "the pass ended normally";
    } catch (const RecordError& error) {
      EXPECT_EQ(error.kind(), c.kind) << error.diagnostic();
      EXPECT_EQ(error.failure().statement.number, statement::SplitFirstPass.number);
      EXPECT_EQ(error.failure().place.record, c.record) << error.diagnostic();
      EXPECT_EQ(error.failure().place.firstColumn, c.firstColumn) << error.diagnostic();
      EXPECT_EQ(error.failure().place.lastColumn, c.lastColumn) << error.diagnostic();
    }
  }
}

TEST(CoefficientPass, HoldsThreeHundredRows) {
  struct CapacityCase {
    const char* records;
    bool fits;
    long long lastRecord;  // records read when the pass ends or fails
  };
  const CapacityCase cases[] = {
      {"D*300 B B", true, 302},
      {"D*150 B P D*150 B B", true, 304},
      {"D*301 B B", false, 301},
      {"D*150 B D*151 B B", false, 302},
  };
  for (const CapacityCase& c : cases) {
    SCOPED_TRACE(c.records);
    const std::string text = joinLines(script(c.records));
    const auto reader = readerOver(text);
    OrbitalRowTable table;
    const CoefficientPass pass(PassKind::SameBlock, statement::SameBlockPass, 2);
    if (c.fits) {
      EXPECT_EQ(pass.run(*reader, Layouts.row, table), RowCapacity);
      EXPECT_EQ(table.row(RowCapacity).coefficientN, valueOf(RowCapacity, 2));
      EXPECT_EQ(reader->recordNumber(), c.lastRecord);
      continue;
    }
    try {
      pass.run(*reader, Layouts.row, table);
      ADD_FAILURE() << "a 301st row was accepted";
    } catch (const RecordError& error) {
      EXPECT_EQ(kindName(error.failure()), "too many rows");
      EXPECT_EQ(error.failure().statement.number, statement::SameBlockPass.number);
      EXPECT_EQ(error.failure().place.record, c.lastRecord) << error.diagnostic();
    }
  }
}

}  // namespace
}  // namespace hlext
