// Writing records under layouts, and what a failing output does to a write statement.
#include "record_io/record_writer.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "extract/diagnostics.hpp"
#include "record_io/record_error.hpp"
#include "tests/support/error_of.hpp"
#include "tests/support/lines.hpp"
#include "tests/support/memory_connector.hpp"
#include "tests/support/parsed_layout.hpp"

namespace hlext {
namespace {

using testing::errorOf;
using testing::printable;
using testing::ScriptedSink;

struct FormatCase {
  const char* layout;
  std::vector<WriteItem> items;
  std::string text;
};

void PrintTo(const FormatCase& row, std::ostream* os) {
  *os << row.layout << " " << printable(row.text);
}

class RecordFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(RecordFormatTest, WritesEveryRecordWithItsLineFeed) {
  const FormatCase& row = GetParam();
  std::string out;
  RecordWriter::format(out, parsedLayout(row.layout), row.items);
  EXPECT_EQ(out, row.text);
}

constexpr const char* EnergyLine = "(//,'    E (',I3,' ) = ',F10.5)";

const FormatCase formatCases[] = {
    // Fields as IntegerOutputTest and RealOutputTest write them (field_conversion_test.cpp,
    // where fields too wide for their columns are too), each record ending in a line feed.
    {EnergyLine, {12, -11.23456F}, "\n\n    E ( 12 ) =  -11.23456\n"},
    {EnergyLine, {-99, -0.0F}, "\n\n    E (-99 ) =   -0.00000\n"},
    // Without items only the literals before the first data item are written.
    {EnergyLine, {}, "\n\n    E (\n"},
    {"('Eigenvectors are not found')", {}, "Eigenvectors are not found\n"},
    {"(12F10.5)", {}, "\n"},
    {"(16X,2A4)", {text4("EIGE"), text4("NVEC")}, "                EIGENVEC\n"},
    // The layout starts over on a new record while items remain.
    {"(I3,' x')", {1, 2}, "  1 x\n  2 x\n"},
    {"(I2,/)", {1, 2}, " 1\n\n 2\n\n"},
};

INSTANTIATE_TEST_SUITE_P(Table, RecordFormatTest, ::testing::ValuesIn(formatCases));

TEST(RecordWriterTest, HandsOverEachStatementWholeAndFlushesIt) {
  ScriptedSink sink;
  RecordWriter writer(sink, 7, "fort.50");
  const std::vector<WriteItem> count = {12};
  const std::vector<WriteItem> energy = {12, -11.23456F};
  writer.write(145, parsedLayout("(I5)"), count);
  writer.write(146, parsedLayout(EnergyLine), energy);
  EXPECT_EQ(sink.writes, (std::vector<std::string>{"   12\n", "\n\n    E ( 12 ) =  -11.23456\n"}));
  EXPECT_EQ(sink.flushes, 2);
  writer.close();
}

struct WriteFailureCase {
  const char* name;
  int unit;
  const char* fileName;
  bool failWrite;
  bool failFlush;
  bool failClose;
  bool outOfMemory;
  const char* diagnostic;
  FileFault closeFault = FileFault::Write;
  ErrorKind kind = ErrorKind::WriteFailed;
};

void PrintTo(const WriteFailureCase& row, std::ostream* os) { *os << row.name; }

class WriteFailureTest : public ::testing::TestWithParam<WriteFailureCase> {};

// Statement 147 fails if its write or flush does; close() names statement 149, the last.
TEST_P(WriteFailureTest, NamesStatementAndUnit) {
  const WriteFailureCase& row = GetParam();
  ScriptedSink sink;
  RecordWriter writer(sink, row.unit, row.fileName);
  const Layout layout = parsedLayout("(12F10.5)");
  const std::vector<WriteItem> items = {0.5F};
  writer.write(145, layout, items);
  if (row.failWrite) sink.writeFailure = "No space left on device";
  if (row.failFlush) sink.flushFailure = "No space left on device";
  if (row.failClose) sink.closeFailure = "Input/output error";
  sink.closeFault = row.closeFault;
  sink.outOfMemory = row.outOfMemory;
  const std::optional<RecordError> error = errorOf([&] {
    writer.write(147, layout, items);
    writer.write(149, layout, items);
    writer.close();
  });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->kind(), row.outOfMemory ? ErrorKind::OutOfMemory : row.kind);
  EXPECT_EQ(diagnosticLine(*error), row.diagnostic);  // with the statement, unit and file
  EXPECT_EQ(exitStatusOf(*error), ExitFileFailure);
}

const WriteFailureCase writeFailureCases[] = {
    {"Write", 7, "fort.50", true, false, false, false,
     "hlext1: statement 147, unit 7 (fort.50): write failed: No space left on device"},
    {"Flush", 7, "fort.50", false, true, false, false,
     "hlext1: statement 147, unit 7 (fort.50): write failed: No space left on device"},
    {"Close", 7, "fort.50", false, false, true, false,
     "hlext1: statement 149, unit 7 (fort.50): write failed: Input/output error"},
    {"Replace", 7, "fort.50", false, false, true, false,
     "hlext1: statement 149, unit 7 (fort.50): cannot replace fort.50: Input/output error",
     FileFault::Replace, ErrorKind::CannotReplace},
    {"Lock", 7, "fort.50", false, false, true, false,
     "hlext1: statement 149, unit 7 (fort.50): cannot lock fort.50: Input/output error",
     FileFault::Lock, ErrorKind::CannotLock},
    {"ConsoleWrite", 6, "standard output", true, false, false, false,
     "hlext1: statement 147, unit 6 (standard output): write failed: No space left on device"},
    {"WriteOutOfMemory", 6, "standard output", true, false, false, true,
     "hlext1: statement 147, unit 6 (standard output): out of memory"},
    {"CloseOutOfMemory", 7, "fort.50", false, false, true, true,
     "hlext1: statement 149, unit 7 (fort.50): out of memory"},
};

INSTANTIATE_TEST_SUITE_P(Table, WriteFailureTest, ::testing::ValuesIn(writeFailureCases));

}  // namespace
}  // namespace hlext
