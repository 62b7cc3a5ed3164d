// Throughput of the record reader alone, on listing text held in memory: records per second
// for coefficient rows read under the row layout, and for the records the header search
// passes over (energy lines, rows, separators, page records, headers) under its layout.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "extract/statements.hpp"
#include "record_io/byte_stream.hpp"
#include "record_io/items.hpp"
#include "record_io/record_reader.hpp"

namespace {

constexpr int BasisFunctions = 300;
constexpr int BlockColumns = 6;
constexpr int Blocks = 20;  // text per iteration: a few hundred kilobytes

// 15 functions on each of 18 heavy atoms, 2 on each of 15 hydrogens: 300 rows.
constexpr std::array<const char*, 15> HeavyShells = {"S",  "S",  "PX", "PY", "PZ", "S",  "PX", "PY",
                                                     "PZ", "XX", "YY", "ZZ", "XY", "XZ", "YZ"};
constexpr int HeavyAtoms = 18;

struct BasisFunction {
  const char* label;
  const char* element;
  int atom;
};

std::array<BasisFunction, BasisFunctions> basisFunctions() {
  std::array<BasisFunction, BasisFunctions> functions{};
  std::size_t next = 0;
  for (int atom = 1; next < functions.size(); ++atom) {
    if (atom <= HeavyAtoms) {
      for (const char* label : HeavyShells) functions[next++] = {label, "C", atom};
    } else {
      for (int i = 0; i < 2; ++i) functions[next++] = {"S", "H", atom};
    }
  }
  return functions;
}

// Coefficients in [-1, 1), the same on every run.
class Coefficients {
 public:
  double next() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state_ >> 11) / 4503599627370496.0 - 1.0;
  }

 private:
  std::uint64_t state_ = 300;
};

void appendFormatted(std::string& out, const char* format, double value) {
  std::array<char, 32> field{};
  const int length = std::snprintf(field.data(), field.size(), format, value);
  out.append(field.data(), static_cast<std::size_t>(length));
}

std::string rowLine(const BasisFunction& function, Coefficients& values) {
  std::array<char, 16> start{};
  std::snprintf(start.data(), start.size(), " %-2s%3s%4d", function.label, function.element,
                function.atom);
  std::string line = start.data();
  for (int column = 0; column < BlockColumns; ++column)
    appendFormatted(line, "%12.5f", values.next());
  return line + '\n';
}

// Nothing but coefficient rows: every record is a data row that converts in full.
std::string rowRecords() {
  const auto functions = basisFunctions();
  Coefficients values;
  std::string text;
  for (int block = 0; block < Blocks; ++block)
    for (const BasisFunction& function : functions) text += rowLine(function, values);
  return text;
}

// Whole eigenvector blocks as the listing prints them.
std::string blockRecords() {
  const auto functions = basisFunctions();
  Coefficients values;
  std::string text;
  for (int block = 0; block < Blocks; ++block) {
    text += "\n\n    ROOT NO.";
    for (int column = 1; column <= BlockColumns; ++column) {
      std::array<char, 16> field{};
      std::snprintf(field.data(), field.size(), "%5d       ", block * BlockColumns + column);
      text += field.data();
    }
    text += "\n\n        ";
    for (int column = 0; column < BlockColumns; ++column)
      appendFormatted(text, "%12.5f", values.next() - 0.5);
    text += "\n\n\n";
    int previousAtom = functions.front().atom;
    for (std::size_t row = 0; row < functions.size(); ++row) {
      if (functions[row].atom != previousAtom) text += '\n';
      previousAtom = functions[row].atom;
      if (row % 61 == 57) text += "1\n";
      text += rowLine(functions[row], values);
    }
    text += "\n\n";
  }
  return text;
}

long long countRecords(std::string_view text) {
  return static_cast<long long>(std::count(text.begin(), text.end(), '\n'));
}

std::unique_ptr<hlext::RecordReader> readerOver(std::string_view text) {
  // The source reads `text` itself; the connector that made it is not needed afterwards.
  hlext::MemoryConnector memory(text);
  return std::make_unique<hlext::RecordReader>(memory.openInput("hlext.dat").stream, 4,
                                               "hlext.dat");
}

void setRate(benchmark::State& state, long long recordsPerIteration) {
  state.counters["records/s"] = benchmark::Counter(
      static_cast<double>(recordsPerIteration * state.iterations()), benchmark::Counter::kIsRate);
}

// Statement 57 and its kin: ten items from every row.
void rowLayout(benchmark::State& state) {
  const std::string text = rowRecords();
  const long long records = countRecords(text);
  const hlext::StatementLayouts layouts;
  std::int32_t pageMark = 0;
  std::int32_t atom = 0;
  hlext::Text4 label{};
  hlext::Text4 element{};
  std::array<float, BlockColumns> c{};
  const std::array<hlext::ReadItem, 10> items = {&pageMark, &label, &element, &atom, &c[0],
                                                 &c[1],     &c[2],  &c[3],    &c[4], &c[5]};
  for (auto _ : state) {
    auto reader = readerOver(text);
    for (long long record = 0; record < records; ++record) {
      reader->read(hlext::statement::SameBlockPass, layouts.row, items);
      benchmark::DoNotOptimize(c);
    }
  }
  setRate(state, records);
}
BENCHMARK(rowLayout)->Name("row_layout")->Unit(benchmark::kMicrosecond);

// Statement 32: the label and six orbital columns of every record, read tolerantly, as the
// header search does between two headers.
void headerSearchLayout(benchmark::State& state) {
  const std::string text = blockRecords();
  const long long records = countRecords(text);
  const hlext::StatementLayouts layouts;
  hlext::Text4 label{};
  std::array<std::int32_t, BlockColumns> o{};
  const std::array<hlext::ReadItem, 7> items = {&label, &o[0], &o[1], &o[2], &o[3], &o[4], &o[5]};
  for (auto _ : state) {
    auto reader = readerOver(text);
    for (long long record = 0; record < records; ++record) {
      auto bad = reader->scan(hlext::statement::HeaderSearch, layouts.header, items);
      benchmark::DoNotOptimize(bad);
      benchmark::DoNotOptimize(label);
    }
  }
  setRate(state, records);
}
BENCHMARK(headerSearchLayout)->Name("header_search_layout")->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
