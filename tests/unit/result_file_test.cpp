// The result file's lines, written in memory.
#include "extract/result_file.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "extract/frontier_extraction.hpp"
#include "extract/unit_table.hpp"
#include "record_io/byte_stream.hpp"
#include "tests/support/listing_builder.hpp"
#include "tests/support/memory_connector.hpp"

namespace hlext {
namespace {

// The result file written for orbitals n and n + 1, their values made singles.
std::string written(std::int32_t n, double energyN, double energyNext,
                    const std::vector<double>& ofN, const std::vector<double>& ofNext) {
  FrontierOrbitals orbitals;
  orbitals.occupiedCount = n;
  orbitals.energyN = static_cast<float>(energyN);
  orbitals.energyNext = static_cast<float>(energyNext);
  orbitals.rowCount = static_cast<std::int32_t>(ofN.size());
  // Entries beyond the row count must never reach the file.
  OutputVectors vectors;
  vectors.orbitalN.fill(7.0F);
  vectors.orbitalNext.fill(7.0F);
  std::copy(ofN.begin(), ofN.end(), vectors.orbitalN.begin());
  std::copy(ofNext.begin(), ofNext.end(), vectors.orbitalNext.begin());

  testing::MemoryConnector files("");
  Opened<ByteSink> sink = files.openOutput(ResultFileName);
  RecordWriter writer(*sink.stream, ResultUnit, ResultFileName);
  writeResult(writer, StatementLayouts{}, orbitals, vectors);
  writer.close();
  return files.resultText();
}

// i/4 for i = 1..count, times `sign`.
std::vector<double> quarters(int count, double sign) {
  std::vector<double> values;
  for (int i = 1; i <= count; ++i) values.push_back(sign * 0.25 * i);
  return values;
}

struct ResultCase {
  const char* name;
  std::string text;
  std::string expected;
};

void PrintTo(const ResultCase& c, std::ostream* os) { *os << c.name; }

class WriteResult : public ::testing::TestWithParam<ResultCase> {};

TEST_P(WriteResult, Layouts) { EXPECT_EQ(GetParam().text, GetParam().expected); }

// The rows and energies of orbitals n and n + 1, and the file resultFile() makes of them:
// values under F10.5 as printf rounds them, twelve to a record, no values making an empty
// record, and a full record never followed by an empty one.
ResultCase rows(const char* name, int n, double energyN, double energyNext, int count) {
  const std::vector<double> ofN = quarters(count, 1);
  const std::vector<double> ofNext = quarters(count, -1);
  return {name, written(n, energyN, energyNext, ofN, ofNext),
          testing::resultFile(n, energyN, ofN, energyNext, ofNext)};
}

INSTANTIATE_TEST_SUITE_P(
    Table, WriteResult,
    ::testing::Values(
        rows("no rows", 7, -0.5, 0.25, 0), rows("twelve rows", 12, -11.23456, 1.5, 12),
        rows("thirteen rows", 5, 0.0, -0.0, 13), rows("twenty-four rows", 2, 0.5, 1.0, 24),
        rows("twenty-five rows", 2, 0.5, 1.0, 25),
        ResultCase{"values that do not fit",
                   written(3, 10000.0F, -999.5F,
                           {10000.0F, 0.5F, -1000.0F, 9999.9990234375F, -999.9999389648438F},
                           {-0.0F, 12345.5F, -999.5F, 1.0e6F, 0.00001F}),
                   "    5\n"
                   "\n\n    E (  3 ) = **********\n"
                   "**********   0.50000**********9999.99902-999.99994\n"
                   "\n\n    E (  4 ) = -999.50000\n"
                   "  -0.00000**********-999.50000**********   0.00001\n"},
        ResultCase{"N+1 beyond three digits", written(999, -1.0F, 2.0F, {0.125F}, {-0.125F}),
                   "    1\n"
                   "\n\n    E (999 ) =   -1.00000\n"
                   "   0.12500\n"
                   "\n\n    E (*** ) =    2.00000\n"
                   "  -0.12500\n"}));

}  // namespace
}  // namespace hlext
