// The result file's lines, written in memory.
#include "extract/result_file.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "extract/frontier_extraction.hpp"
#include "extract/unit_table.hpp"
#include "record_io/byte_stream.hpp"
#include "tests/support/memory_connector.hpp"

namespace hlext {
namespace {

std::string written(std::int32_t n, float energyN, float energyNext, const std::vector<float>& ofN,
                    const std::vector<float>& ofNext) {
  FrontierOrbitals orbitals;
  orbitals.occupiedCount = n;
  orbitals.energyN = energyN;
  orbitals.energyNext = energyNext;
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

std::vector<float> quarters(int count, float sign) {
  std::vector<float> values;
  for (int i = 1; i <= count; ++i) values.push_back(sign * 0.25F * static_cast<float>(i));
  return values;
}

// Values under F10.5 as printf rounds them, twelve to a record; no values make an empty record,
// and a full record is never followed by an empty one.
std::string records(const std::vector<float>& values) {
  std::string text = values.empty() ? "\n" : "";
  for (std::size_t i = 0; i < values.size(); ++i) {
    char field[16];
    std::snprintf(field, sizeof field, "%10.5f", static_cast<double>(values[i]));
    text += field + std::string(i % 12 == 11 || i + 1 == values.size() ? "\n" : "");
  }
  return text;
}

TEST(WriteResult, Layouts) {
  struct ResultCase {
    const char* name;
    std::string text;
    std::string expected;
  };
  const ResultCase cases[] = {
      {"no rows", written(7, -0.5F, 0.25F, {}, {}),
       "    0\n"
       "\n\n    E (  7 ) =   -0.50000\n"
       "\n"
       "\n\n    E (  8 ) =    0.25000\n"
       "\n"},
      {"twelve rows", written(12, -11.23456F, 1.5F, quarters(12, 1), quarters(12, -1)),
       "   12\n"
       "\n\n    E ( 12 ) =  -11.23456\n" +
           records(quarters(12, 1)) + "\n\n    E ( 13 ) =    1.50000\n" +
           records(quarters(12, -1))},
      {"thirteen rows", written(5, 0.0F, -0.0F, quarters(13, 1), quarters(13, -1)),
       "   13\n"
       "\n\n    E (  5 ) =    0.00000\n" +
           records(quarters(13, 1)) + "\n\n    E (  6 ) =   -0.00000\n" +
           records(quarters(13, -1))},
      {"twenty-four rows", written(2, 0.5F, 1.0F, quarters(24, 1), quarters(24, -1)),
       "   24\n\n\n    E (  2 ) =    0.50000\n" + records(quarters(24, 1)) +
           "\n\n    E (  3 ) =    1.00000\n" + records(quarters(24, -1))},
      {"twenty-five rows", written(2, 0.5F, 1.0F, quarters(25, 1), quarters(25, -1)),
       "   25\n\n\n    E (  2 ) =    0.50000\n" + records(quarters(25, 1)) +
           "\n\n    E (  3 ) =    1.00000\n" + records(quarters(25, -1))},
      {"values that do not fit",
       written(3, 10000.0F, -999.5F,
               {10000.0F, 0.5F, -1000.0F, 9999.9990234375F, -999.9999389648438F},
               {-0.0F, 12345.5F, -999.5F, 1.0e6F, 0.00001F}),
       "    5\n"
       "\n\n    E (  3 ) = **********\n"
       "**********   0.50000**********9999.99902-999.99994\n"
       "\n\n    E (  4 ) = -999.50000\n"
       "  -0.00000**********-999.50000**********   0.00001\n"},
      {"N+1 beyond three digits", written(999, -1.0F, 2.0F, {0.125F}, {-0.125F}),
       "    1\n"
       "\n\n    E (999 ) =   -1.00000\n"
       "   0.12500\n"
       "\n\n    E (*** ) =    2.00000\n"
       "  -0.12500\n"},
  };
  for (const ResultCase& c : cases) EXPECT_EQ(c.text, c.expected) << c.name;
}

}  // namespace
}  // namespace hlext
