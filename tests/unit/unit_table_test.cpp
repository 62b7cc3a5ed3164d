// The three units of a run over memory whose streams fail. Connected without failures, every
// whole run of extraction_test.cpp connects them.
#include "extract/unit_table.hpp"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <ostream>
#include <string>

#include "extract/diagnostics.hpp"
#include "tests/support/error_of.hpp"
#include "tests/support/memory_connector.hpp"
#include "tests/support/parsed_layout.hpp"

namespace hlext {
namespace {

using testing::errorOf;

struct OpenFailureCase {
  int statement;
  int unit;
  const char* fileName;
  bool outOfMemory;
  const char* diagnostic;
};

void PrintTo(const OpenFailureCase& row, std::ostream* os) {
  *os << "statement " << row.statement << " unit " << row.unit
      << (row.outOfMemory ? " no memory" : "");
}

class OpenFailureTest : public ::testing::TestWithParam<OpenFailureCase> {};

TEST_P(OpenFailureTest, NamesStatementAndUnit) {
  const OpenFailureCase& row = GetParam();
  testing::MemoryConnector connector("");
  connector.openFailure = "Permission denied";
  connector.outOfMemory = row.outOfMemory;
  UnitTable units(connector);
  const std::optional<RecordError> error =
      errorOf([&] { units.open(row.statement, row.unit, row.fileName); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->kind(), row.outOfMemory ? ErrorKind::OutOfMemory : ErrorKind::CannotOpen);
  EXPECT_EQ(diagnosticLine(*error), row.diagnostic);  // with the statement, unit and file
  EXPECT_EQ(exitStatusOf(*error), ExitFileFailure);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OpenFailureTest,
    ::testing::Values(
        OpenFailureCase{9, ListingUnit, "hlext.dat", false,
                        "hlext1: statement 9, unit 4 (hlext.dat): cannot open: Permission denied"},
        OpenFailureCase{10, ResultUnit, "fort.50", false,
                        "hlext1: statement 10, unit 7 (fort.50): cannot open: Permission denied"},
        OpenFailureCase{9, ListingUnit, "hlext.dat", true,
                        "hlext1: statement 9, unit 4 (hlext.dat): out of memory"}));

// The result file is closed first: its failure, not the console's, is the one reported, naming
// its last statement.
TEST(UnitTableTest, StopRunReportsAFailedClose) {
  testing::MemoryConnector connector("");
  connector.closeFailure = "No space left on device";
  connector.consoleSink.closeFailure = "Input/output error";
  UnitTable units(connector);
  units.open(9, ListingUnit, "hlext.dat");
  units.open(10, ResultUnit, "fort.50");
  const std::array<WriteItem, 1> count = {3};
  units.writer(ConsoleUnit).write(18, parsedLayout("(I5)"), count);
  units.writer(ResultUnit).write(149, parsedLayout("(I5)"), count);
  const std::optional<RecordError> error = errorOf([&] { units.stopRun(); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(diagnosticLine(*error),
            "hlext1: statement 149, unit 7 (fort.50): write failed: No space left on device");
}

}  // namespace
}  // namespace hlext
