// Every folder under tests/golden is one run of the real binary: the listing "hlext.dat", and
// optionally "fort.50.before" (the result file as it stands before the run); expected are
// "fort.50" (absent: no result file must remain unchanged or be created empty), "stdout",
// "stderr" and "status".
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/scratch_run.hpp"

namespace hlext::testing {
namespace {

namespace fs = std::filesystem;

const fs::path GoldenRoot = HLEXT1_GOLDEN_DIR;

std::vector<std::string> goldenCases() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(GoldenRoot))
    if (entry.is_directory()) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string expectedText(const fs::path& folder, const std::string& name) {
  return fs::exists(folder / name) ? readFile(folder / name) : std::string();
}

class GoldenRun : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenRun, MatchesExpectedFilesByteForByte) {
  const fs::path source = GoldenRoot / GetParam();
  ScratchFolder scratch;
  fs::copy_file(source / "hlext.dat", scratch / "hlext.dat");
  if (fs::exists(source / "fort.50.before"))
    fs::copy_file(source / "fort.50.before", scratch / "fort.50");

  const RunOutcome outcome = runTool(scratch);

  EXPECT_EQ(outcome.console, expectedText(source, "stdout"));
  EXPECT_EQ(outcome.diagnostics, expectedText(source, "stderr"));
  EXPECT_EQ(std::to_string(outcome.status) + "\n", readFile(source / "status"));
  ASSERT_TRUE(outcome.result.has_value()) << "fort.50 is missing after the run";
  EXPECT_EQ(*outcome.result, expectedText(source, "fort.50"));
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenRun, ::testing::ValuesIn(goldenCases()),
                         [](const auto& caseInfo) {
                           std::string name = caseInfo.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
}  // namespace hlext::testing
