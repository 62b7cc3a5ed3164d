// A run's memory does not grow with its input. Two listings of a quarter GiB, generated here,
// are read to their end by the real binary: one whose first record is the whole quarter GiB on
// a single line, and one whose coefficient block starts with millions of page records. Both
// must give what the water example gives, and the process's own peak resident memory
// (as the kernel reports it for the children a process has waited for) must stay under 8 MiB.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/lines.hpp"
#include "tests/support/scratch_run.hpp"

namespace hlext::testing {
namespace {

namespace fs = std::filesystem;

// A sanitizer's shadow memory and quarantine dwarf the tool's own use.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool AddressSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool AddressSanitized = true;
#else
constexpr bool AddressSanitized = false;
#endif
#else
constexpr bool AddressSanitized = false;
#endif

constexpr long PeakLimitKiB = 8 * 1024;

// 256 MiB; HLEXT_MEMORY_TEST_MIB sets another size, e.g. 1024 to measure a GiB by hand.
long long generatedBytes() {
  const char* mib = std::getenv("HLEXT_MEMORY_TEST_MIB");
  return (mib != nullptr ? std::atoll(mib) : 256LL) << 20;
}

// The peak resident memory of the process's children that have ended, in KiB: of the shell that
// runTool() starts and of hlext1 under it, so it bounds the tool's own peak from above.
long childrenPeakKiB() {
  rusage usage{};
  return ::getrusage(RUSAGE_CHILDREN, &usage) == 0 ? usage.ru_maxrss : -1;
}

// Writes `bytes` bytes made of whole copies of `unit`. The block stays small: what this process
// holds when it forks counts towards the child's peak until the exec.
void writeRepeated(std::FILE* file, const std::string& unit, long long bytes) {
  std::string block;
  while (block.size() + unit.size() <= (64U << 10)) block += unit;
  long long written = 0;
  for (; written + static_cast<long long>(block.size()) <= bytes;
       written += static_cast<long long>(block.size()))
    ASSERT_EQ(std::fwrite(block.data(), 1, block.size(), file), block.size());
  for (; written < bytes; written += static_cast<long long>(unit.size()))
    ASSERT_EQ(std::fwrite(unit.data(), 1, unit.size(), file), unit.size());
}

// The two listings, each a quarter GiB.
enum class BigListing { SingleLineRecord, PageRecordsInACoefficientBlock };

// Why a peak measured here says nothing of the tool's, or "".
std::string measuringSkips() {
  if (AddressSanitized) return "peak memory of a sanitized build says nothing";
  if (!std::string(HLEXT1_EMULATOR).empty())
    return "peak memory under " HLEXT1_EMULATOR " is the emulator's";
  return {};
}

// The name and, where the case skips, why: CTest's summary shows it.
void PrintTo(BigListing listing, std::ostream* out) {
  *out << (listing == BigListing::SingleLineRecord ? "single-line record"
                                                   : "page records in a coefficient block");
  if (const std::string reason = measuringSkips(); !reason.empty())
    *out << " (skips: " << reason << ")";
}

const fs::path Water = fs::path(HLEXT1_EXAMPLES_DIR) / "water";

class BoundedMemoryTest : public ::testing::TestWithParam<BigListing> {
 protected:
  void SetUp() override {
    if (const std::string reason = measuringSkips(); !reason.empty()) GTEST_SKIP() << reason;
    water = readFile(Water / "hlext.dat");
  }

  // Builds hlext.dat from `write`, runs the tool on it and checks both the result and the peak.
  void expectWaterResultWithinLimit(const std::function<void(std::FILE*)>& write) {
    {
      std::FILE* file = std::fopen((scratch / "hlext.dat").c_str(), "wb");
      ASSERT_NE(file, nullptr);
      write(file);
      ASSERT_EQ(std::fclose(file), 0);
    }
    ASSERT_GE(static_cast<long long>(fs::file_size(scratch / "hlext.dat")), generatedBytes());
    const RunOutcome big = runTool(scratch);
    const long peakKiB = childrenPeakKiB();
    fs::remove(scratch / "hlext.dat");
    EXPECT_EQ(big.status, 0) << big.diagnostics;
    EXPECT_EQ(big.console, readFile(Water / "stdout"));
    EXPECT_EQ(big.result, readFile(Water / "fort.50"));
    EXPECT_GT(peakKiB, 0);
    EXPECT_LT(peakKiB, PeakLimitKiB);
    RecordProperty("peak_kib", static_cast<int>(peakKiB));
    std::printf("peak resident memory: %ld KiB\n", peakKiB);
  }

  ScratchFolder scratch;
  std::string water;
};

// A single-line record: the occupied-count search reads the whole first record before it
// reaches the listing. Page records: they neither end a coefficient pass nor take a row, so the
// first pass reads them all; they go where the pass begins, before the block's first row, where
// they change nothing.
TEST_P(BoundedMemoryTest, PeakStaysSmall) {
  if (GetParam() == BigListing::SingleLineRecord) {
    expectWaterResultWithinLimit([&](std::FILE* file) {
      writeRepeated(file, "  NO LINE FEED IN SIGHT 0.12345 -6.78E+09 ,;", generatedBytes());
      ASSERT_EQ(std::fputc('\n', file), '\n');
      ASSERT_EQ(std::fwrite(water.data(), 1, water.size(), file), water.size());
    });
    return;
  }
  const std::vector<std::string> lines = splitLines(water);
  std::size_t header = 0;
  while (header < lines.size() &&
         lines[header].substr(std::min<std::size_t>(4, lines[header].size()), 4) != "ROOT")
    ++header;
  const std::size_t firstRow = header + 5;
  ASSERT_LT(firstRow, lines.size());
  ASSERT_EQ(lines[firstRow].rfind(" S   O   1", 0), 0U) << lines[firstRow];
  std::string pageRecord = lines[firstRow];
  pageRecord[0] = '1';

  expectWaterResultWithinLimit([&](std::FILE* file) {
    for (std::size_t i = 0; i < firstRow; ++i) std::fprintf(file, "%s\n", lines[i].c_str());
    writeRepeated(file, pageRecord + '\n', generatedBytes());
    for (std::size_t i = firstRow; i < lines.size(); ++i)
      std::fprintf(file, "%s\n", lines[i].c_str());
  });
}

INSTANTIATE_TEST_SUITE_P(QuarterGib, BoundedMemoryTest,
                         ::testing::Values(BigListing::SingleLineRecord,
                                           BigListing::PageRecordsInACoefficientBlock));

}  // namespace
}  // namespace hlext::testing
