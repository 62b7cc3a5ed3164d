// Reading records under layouts: records consumed, columns converted, record splitting and
// buffering, and the RecordError of every failure.
#include "record_io/record_reader.hpp"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "extract/diagnostics.hpp"
#include "tests/support/error_of.hpp"
#include "tests/support/lines.hpp"
#include "tests/support/memory_input.hpp"
#include "tests/support/parsed_layout.hpp"
#include "tests/support/read_items.hpp"

namespace hlext {
namespace {

using namespace hlext::testing;

constexpr int Statement = 7;

// A record with each text placed at its column (from 1) and blanks in between.
std::string columns(std::initializer_list<std::pair<int, std::string_view>> parts) {
  std::string record;
  for (const auto& [column, text] : parts) {
    record.resize(static_cast<std::size_t>(column - 1), ' ');
    record += text;
  }
  return record;
}

// --- Columns read and records consumed ------------------------------------------------------

struct ColumnsCase {
  const char* layout;
  std::size_t items;
  std::string listing;
  std::string values;  // Items::rendered()
  int records;         // records the statement consumed
};

void PrintTo(const ColumnsCase& row, std::ostream* os) {
  *os << row.layout << " " << printable(row.values);
}

class ColumnsReadTest : public ::testing::TestWithParam<ColumnsCase> {};

// A record "NEXT" follows a listing that ends with a line feed, so that the statement after
// the one under test shows where it starts: after the last record this one touched.
TEST_P(ColumnsReadTest, FillsEveryItemFromItsColumnsAndConsumesItsRecords) {
  const ColumnsCase& row = GetParam();
  const bool followed = row.listing.ends_with('\n');
  const std::string listing = followed ? row.listing + "NEXT\n" : row.listing;
  RecordReader reader = memoryReader(listing);
  const Layout layout = parsedLayout(row.layout);
  Items items(layout, row.items);
  readOrReject(reader, Statement, layout, items.list());
  EXPECT_EQ(items.rendered(), row.values);
  EXPECT_EQ(reader.recordNumber(), row.records);
  if (!followed) return;
  Text4 next{};
  readOrReject(reader, Statement + 1, parsedLayout("(A4)"), std::array<ReadItem, 1>{&next});
  EXPECT_EQ(view(next),
            (splitLines(listing).at(static_cast<std::size_t>(row.records)) + "    ").substr(0, 4));
}

const std::string energyRecord = columns(
    {{9, "   -20.25000    -1.50000    -0.62500    -0.50000"}, {57, "    -0.37500     0.12500"}});
// A block header: "ROOT" in columns 5-8, orbital numbers ending in columns 17, 29, ... 101.
const std::string headerRecord =
    "    ROOT        7           8           9           1           2           3           4"
    "           5";

const std::string energyBlock = joinLines({headerRecord, energyRecord, "abc", "abc"});
const std::string fiveRecords = joinLines({"x", "x", "x", "x", headerRecord});

const ColumnsCase columnsCases[] = {
    {"(10X,A4,44X,I3)", 2, columns({{11, "RHF "}, {59, " 42"}}) + "\n", "RHF |42", 1},
    {"(10X,A4,44X,I3)", 2, "\n", "    |0", 1},
    {"(10X,A4,44X,I3)", 2, "          RH\n", "RH  |0", 1},
    {"(10X,A4,44X,I3)", 2, columns({{11, "RHF "}, {59, "1,5"}}) + "\n", "RHF |1", 1},
    {"(10X,A4,44X,I3)", 2, columns({{11, "RHF "}, {59, " ,5"}}) + "\n", "RHF |0", 1},
    {"(10X,A4,44X,I3)", 2, columns({{11, "R,F "}, {59, " 4"}}) + "\r\n", "R,F |4", 1},
    {"(10X,A4,44X,I3)", 2, columns({{11, "RHF "}, {59, "7"}, {300, "x"}}), "RHF |7", 1},
    // Skips pass over any characters; a field after the last item is never converted.
    {"(10X,A4,44X,I3)", 2,
     columns({{1, "abcdefghij"}, {11, "RHF "}, {15, std::string(44, 'z')}, {59, "-42"}}),
     "RHF |-42", 1},
    {"(10X,A4,44X,I3)", 1, columns({{11, "RHF "}, {59, "abc"}}), "RHF ", 1},
    {"(16X,2A4)", 2, columns({{17, "EIGENVEC"}}) + "\n", "EIGE|NVEC", 1},
    {"(16X,2A4)", 2, columns({{17, "EI"}}) + "\n", "EI  |    ", 1},
    {"(16X,2A4)", 1, columns({{17, "A\rB\t"}}) + "\n", "A\rB\t", 1},
    {"(////,5X,6(7X,I5))", 6, fiveRecords, "7|8|9|1|2|3", 5},
    {"(4X,A4,4X,I5,7(7X,I5))", 9, headerRecord + "\n", "ROOT|7|8|9|1|2|3|4|5", 1},
    {"(4X,A4,4X,I5,7(7X,I5))", 2, headerRecord + "\n", "ROOT|7", 1},
    // Records passed over by record breaks are never converted.
    {"(/,8X,6F12.5,//)", 6, energyBlock, "-20.25|-1.5|-0.625|-0.5|-0.375|0.125", 4},
    {"(////,8X,6F12.5,//)", 6, joinLines({"a", "b", "c", "d", energyRecord, "e", "f"}),
     "-20.25|-1.5|-0.625|-0.5|-0.375|0.125", 7},
    {"(I1,A2,A3,I4,6F12.5)", 10, "1PXO    12" + energyRecord.substr(8) + "\n",
     "1|PX  |O   |12|-20.25|-1.5|-0.625|-0.5|-0.375|0.125", 1},
    // A comma ends a numeric field: later fields start right after it.
    {"(I1,A2,A3,I4,6F12.5)", 10, "1P,O    121.5,2.5,-3.,,4.\n", "1|P,  |O   |12|1.5|2.5|-3|0|4|0",
     1},
    {"(I1,A2,A3,I4,6F12.5)", 10, "\n", "0|    |    |0|0|0|0|0|0|0", 1},
    {"(I5)", 1, "   42\n", "42", 1},
    // Fewer items than the layout holds: the walk stops at the first data item left over.
    {"(/,8X,6F12.5,//)", 3, energyBlock, "-20.25|-1.5|-0.625", 2},
    {"(/,8X,6F12.5,//)", 0, energyBlock, "", 2},
    {"(////,5X,6(7X,I5))", 0, fiveRecords, "", 5},
    {"(I2,/,I2,/,I2)", 2, " 1\n 2\n 3\n", "1|2", 3},
    {"(I2,//)", 1, " 1\nx\ny\n", "1", 3},
};

INSTANTIATE_TEST_SUITE_P(Table, ColumnsReadTest, ::testing::ValuesIn(columnsCases));

// --- Record splitting and buffering ---------------------------------------------------------

// Every record of `reader` under "(A4,120X,A4)": columns 1-4 and 125-128 of each, checking the
// record number as it goes, until the end of the input.
std::vector<std::string> readAll(RecordReader& reader) {
  const Layout layout = parsedLayout("(A4,120X,A4)");
  Items items(layout, 2);
  std::vector<std::string> records;
  while (true) {
    const std::optional<RecordError> error =
        errorOf([&] { readOrReject(reader, Statement, layout, items.list()); });
    if (error) {
      EXPECT_EQ(error->kind(), ErrorKind::EndOfFile);
      EXPECT_EQ(error->failure().place.record, static_cast<long long>(records.size()) + 1);
      return records;
    }
    records.push_back(items.rendered());
    EXPECT_EQ(reader.recordNumber(), static_cast<long long>(records.size()));
  }
}

struct SplitCase {
  const char* name;
  std::string listing;
  std::vector<std::string> records;
};

void PrintTo(const SplitCase& row, std::ostream* os) { *os << row.name; }

class RecordSplitTest : public ::testing::TestWithParam<SplitCase> {};

// The same records whatever the sizes the input arrives in: in ones, in turns of sizes, a byte
// short of a buffer fill, and split at every offset of a listing shorter than one fill.
TEST_P(RecordSplitTest, SameRecordsWhateverTheChunking) {
  const SplitCase& row = GetParam();
  RecordReader whole = memoryReader(row.listing);
  EXPECT_EQ(readAll(whole), row.records);
  constexpr std::size_t Fill = LineSource::BufferSize;
  std::vector<std::vector<std::size_t>> chunkings = {
      {1}, {1, 2, 3, 4, 5, 6, 7}, {7, 3}, {Fill - 1, 5, Fill}};
  for (std::size_t split = 1; split < row.listing.size() && row.listing.size() < Fill; ++split)
    chunkings.push_back({split, Fill});
  for (const std::vector<std::size_t>& sizes : chunkings) {
    SCOPED_TRACE("first chunk " + std::to_string(sizes[0]) + " of " + std::to_string(sizes.size()) +
                 " sizes");
    RecordReader reader = chunkedReader(row.listing, sizes);
    EXPECT_EQ(readAll(reader), row.records);
  }
}

const std::string longLine = columns({{1, "LONG"}, {125, "WXYZ"}, {129, "junk"}, {290, "."}});
const std::string line127 = columns({{1, "ABCD"}, {125, "XYZ"}});
const std::string line128 = columns({{1, "ABCD"}, {125, "WXYZ"}});

// Records far longer than the 64 KiB input buffer, a line feed that is the last byte of one
// buffer fill, and a carriage return and line feed split between two fills: the carriage
// return is byte 4 * Fill - 1, the last of the fourth fill.
std::string acrossRefills() {
  constexpr std::size_t Fill = LineSource::BufferSize;
  std::string listing = columns({{1, "ONE "}, {125, "1234"}}) + std::string(3 * Fill, 'x');
  listing.resize(3 * Fill - 1, 'x');
  listing += '\n';
  listing += "TWO " + std::string(4 * Fill - 8 - listing.size(), 'y') + "\n";
  return listing + "12\r\nLAST";
}

const SplitCase splitCases[] = {
    {"Empty", "", {}},
    {"OneLineFeed", "\n", {"    |    "}},
    {"NoFinalLineFeed", "A\nB", {"A   |    ", "B   |    "}},
    {"FinalLineFeed", "A\nB\n", {"A   |    ", "B   |    "}},
    {"EmptyLastRecord", "A\n\n", {"A   |    ", "    |    "}},
    {"CarriageReturnLineFeed", "AB\r\n\r\nC\r\n", {"AB  |    ", "    |    ", "C   |    "}},
    {"LoneCarriageReturn", "A\rB\nAB\r\r\nAB\r", {"A\rB |    ", "AB\r |    ", "AB\r |    "}},
    {"CommasInText", "A,B,\n,,,,\r\nAB,\n", {"A,B,|    ", ",,,,|    ", "AB, |    "}},
    {"Columns127To129",
     line127 + "\r\n" + line128 + "\r\n" + line128 + "!\r\n",
     {"ABCD|XYZ ", "ABCD|WXYZ", "ABCD|WXYZ"}},
    {"LongThenShort",
     longLine + "\r\nE\r\n" + longLine + "\nF",
     {"LONG|WXYZ", "E   |    ", "LONG|WXYZ", "F   |    "}},
    {"AcrossBufferRefills", acrossRefills(), {"ONE |1234", "TWO |yyyy", "12  |    ", "LAST|    "}},
};

INSTANTIATE_TEST_SUITE_P(Table, RecordSplitTest, ::testing::ValuesIn(splitCases));

// --- Failures -------------------------------------------------------------------------------

struct ErrorCase {
  const char* layout;
  std::size_t items;
  std::string listing;
  long long recordsRead;  // recordNumber() after the failure
  std::string where;      // the diagnostic after "hlext1: statement 32, unit 4 (hlext.dat), "
  int readsBefore = 0;    // statements that read the records before it, one each
  // Raises for a value of the statement that read it, when its read does not fail.
  void (*rejected)(RecordReader&) = nullptr;
  const char* inputFailure = nullptr;  // the source fails with this once its bytes are spent
  int status = ExitBadListing;
  bool aligned = false;  // values one piece, skipped columns blank
};

void PrintTo(const ErrorCase& row, std::ostream* os) {
  *os << row.layout << " " << printable(row.where);
}

class ReadErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ReadErrorTest, DiagnosticNamesWhereAndWhat) {
  const ErrorCase& row = GetParam();
  RecordReader reader = row.inputFailure ? chunkedReader(row.listing, {3}, row.inputFailure)
                                         : memoryReader(row.listing);
  const Layout layout = parsedLayout(row.layout);
  Items items(layout, row.items);
  const hlext::Statement statement(32, {}, row.aligned);
  for (int i = 0; i < row.readsBefore; ++i) readOrReject(reader, statement, layout, items.list());
  const std::optional<RecordError> error = errorOf([&] {
    readOrReject(reader, statement, layout, items.list());
    if (row.rejected) row.rejected(reader);
  });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(diagnosticLine(*error), "hlext1: statement 32, unit 4 (hlext.dat), " + row.where);
  EXPECT_EQ(exitStatusOf(*error), row.status);
  EXPECT_EQ(reader.recordNumber(), row.recordsRead);
}

std::string rhfWith(std::string_view count) { return columns({{11, "RHF "}, {59, count}}) + "\n"; }

const ErrorCase errorCases[] = {
    {"(10X,A4,44X,I3)", 2, "", 0, "record 1: end of file; hlext.dat is empty"},
    {"(I5)", 0, "", 0, "record 1: end of file; hlext.dat is empty"},
    {"(////,8X,6F12.5,//)", 6, joinLines({"1", "2", "3", "4", "5"}), 5, "record 6: end of file"},
    {"(/,8X,6F12.5,//)", 6, joinLines({"1", "2", "3"}), 3, "record 4: end of file"},
    {"(////,5X,6(7X,I5))", 6, joinLines({"1", "2", "3"}), 3, "record 4: end of file"},
    // A source that fails after its first record: the failure, not the end of file, is
    // reported.
    {.layout = "(16X,2A4)",
     .items = 1,
     .listing = "LINE1\n",
     .recordsRead = 1,
     .where = "record 2: read failed: Input/output error",
     .readsBefore = 1,
     .inputFailure = "Input/output error",
     .status = ExitFileFailure},
    {"(10X,A4,44X,I3)", 2, rhfWith("abc"), 1, R"(record 1, columns 59-61 "abc": bad integer)"},
    {"(10X,A4,44X,I3)", 2, rhfWith("1.5"), 1, R"(record 1, columns 59-61 "1.5": bad integer)"},
    {"(10X,A4,44X,I3)", 2, rhfWith(" \t4"), 1, R"(record 1, columns 59-61 " \t4": bad integer)"},
    {"(10X,A4,44X,I3)", 2, rhfWith("4\r2"), 1, R"(record 1, columns 59-61 "4\r2": bad integer)"},
    {"(10X,A4,44X,I3)", 2, rhfWith("4x,"), 1, R"(record 1, columns 59-60 "4x": bad integer)"},
    // Bytes from 0x80 up are escaped like control characters: 0x9b alone starts a terminal
    // command.
    {"(10X,A4,44X,I3)", 2,
     rhfWith("\x9b"
             "2J"),
     1, R"(record 1, columns 59-61 "\x9b2J": bad integer)"},
    {"(10X,A4,44X,I3)", 2,
     rhfWith("\xc3\xa9"
             "\x7f"),
     1, R"(record 1, columns 59-61 "\xc3\xa9\x7f": bad integer)"},
    {"(4X,A4,4X,I5,7(7X,I5))", 9, columns({{5, "ROOT"}, {13, "0.249"}}), 1,
     R"(record 1, columns 13-17 "0.249": bad integer)"},
    // The record number after many records.
    {"(4X,A4,4X,I5,7(7X,I5))", 2, std::string(56, '\n') + columns({{5, "ROOT"}, {13, "0.249"}}), 57,
     R"(record 57, columns 13-17 "0.249": bad integer)", 56},
    {"(/,8X,6F12.5,//)", 6, joinLines({"", columns({{33, " 1.0\t"}})}), 2,
     R"(record 2, columns 33-44 " 1.0\t       ": bad real)"},
    // An aligned statement takes neither a value in pieces nor text in a skip.
    {.layout = "(10X,A4,44X,I3)",
     .items = 2,
     .listing = rhfWith("4 2"),
     .recordsRead = 1,
     .where = R"(record 1, columns 59-61 "4 2": not in its columns)",
     .aligned = true},
    {.layout = "(10X,A4,44X,I3)",
     .items = 2,
     .listing = columns({{11, "RHF "}, {40, "x y"}, {59, "  4"}}) + "\n",
     .recordsRead = 1,
     .where = R"(record 1, columns 40-42 "x y": not in its columns)",
     .aligned = true},
    // The comma moves the second real field four columns to the left.
    {"(I1,A2,A3,I4,6F12.5)", 10, "1PXO    121.5,x\n", 1,
     R"(record 1, columns 15-26 "x           ": bad real)"},
    // A value that converted but cannot be used, named with its record and columns; an item
    // from an earlier record of the statement keeps its own, without its text.
    {"(10X,A4,44X,I3)", 2, rhfWith(" -2"), 1,
     R"(record 1, columns 59-61 " -2": bad occupied count)", 0,
     [](RecordReader& reader) { reader.rejectAs(32, "bad occupied count", reader.field(1)); }},
    {"(/,8X,6F12.5,//)", 6, joinLines({"x", columns({{9, "1.0"}}), "y", "z"}), 4,
     R"(record 2, columns 9-20 "": unusable energy)", 0,
     [](RecordReader& reader) { reader.rejectAs(32, "unusable energy", reader.field(0)); }},
    // The last record as a whole, with a reason.
    {"(/,8X,6F12.5,//)", 6, joinLines({"x", "", "y", "z"}), 4,
     "record 4: too many rows: at most 300 rows in a block", 0,
     [](RecordReader& reader) {
       reader.rejectAs(32, "too many rows", reader.lastRecord(), "at most 300 rows in a block");
     }},
};

INSTANTIATE_TEST_SUITE_P(Table, ReadErrorTest, ::testing::ValuesIn(errorCases));

// --- Tolerant reads and rejections ----------------------------------------------------------

TEST(HandedBackFieldTest, ReadGoesOnAndTheFieldIsRejectedLater) {
  const std::string listing = rhfWith("abc") + rhfWith(" 42");
  RecordReader reader = memoryReader(listing);
  const Layout layout = parsedLayout("(10X,A4,44X,I3)");
  Items items(layout, 2);
  const std::optional<FieldFault> bad = reader.read(13, layout, items.list());
  ASSERT_TRUE(bad.has_value());
  EXPECT_EQ(items.rendered().substr(0, 4), "RHF ");  // items before the bad one are filled
  EXPECT_EQ(reader.recordNumber(), 1);

  EXPECT_FALSE(reader.read(13, layout, items.list()).has_value());
  EXPECT_EQ(items.rendered(), "RHF |42");
  // The bad field is still reported where it was found.
  const std::optional<RecordError> rejected = errorOf([&] { reader.reject(*bad); });
  ASSERT_TRUE(rejected.has_value());
  EXPECT_EQ(diagnosticLine(*rejected),
            "hlext1: statement 13, unit 4 (hlext.dat), record 1, columns 59-61 \"abc\": "
            "bad integer");
  // The end of the input is never tolerated.
  const std::optional<RecordError> end =
      errorOf([&] { (void)reader.read(13, layout, items.list()); });
  ASSERT_TRUE(end.has_value());
  EXPECT_EQ(end->kind(), ErrorKind::EndOfFile);
}

}  // namespace
}  // namespace hlext
