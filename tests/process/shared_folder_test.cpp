// Runs that share a folder with other processes or other users, or meet a file system that
// fails them: every script under shared_folder/ is one case, run by sh in a scratch folder that
// holds the listings a.dat, b.dat and c.dat (whose result is larger than a page) with their
// results a.expected, b.expected and c.expected, none.dat, which holds no label, and last.dat,
// whose orbital N is the last one printed, so that a run warns before it writes fort.50. HLEXT1
// names the binary. A script succeeds when the runs behaved, and skips itself (runScript) where
// it needs a capability, a mount, a user namespace, FUSE, a program the machine lacks, or what
// only the platform's descriptors give. Its name, as CTest lists it, ends with the reason when
// it will skip, so that the summary of a test run shows why.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/listing_builder.hpp"
#include "tests/support/p_shell_rows.hpp"
#include "tests/support/scratch_run.hpp"

namespace hlext::testing {
namespace {

namespace fs = std::filesystem;

const fs::path ScriptFolder =
    fs::path(HLEXT1_GOLDEN_DIR).parent_path() / "process" / "shared_folder";

// A listing with `extra` more s functions than PShellRows, and its result.
void writeCase(const ScratchFolder& scratch, const std::string& name, int n, int extra) {
  std::vector<BasisFunction> rows = PShellRows;
  rows.insert(rows.end(), static_cast<std::size_t>(extra), {"S", "H", 3});
  const int count = static_cast<int>(rows.size());
  writeFile(scratch / (name + ".dat"), standardListing(n, 13, rows).text());
  writeFile(scratch / (name + ".expected"),
            resultFile(n, energyOf(n), rotated(n, count), energyOf(n + 1), rotated(n + 1, count)));
}

struct Script {
  std::string name;
};

// The name and, in the list of cases that CTest names its tests from, why it skips when the
// script's requirement lines (those that begin with need, native or descriptors) fail here.
// Tried only for the list: every run of the program prints every case's name.
void PrintTo(const Script& script, std::ostream* out) {
  *out << script.name;
  if (!GTEST_FLAG_GET(list_tests)) return;
  static const std::regex requirement("^(need[a-z_]*|native|descriptors) .*");
  std::istringstream lines(readFile(ScriptFolder / (script.name + ".sh")));
  std::string requirements;
  for (std::string line; std::getline(lines, line);)
    if (std::regex_match(line, requirement)) requirements += line + "\n";
  if (const std::string reason = skipReason(requirements); !reason.empty())
    *out << " (skips: " << reason << ")";
}

std::vector<Script> scripts() {
  std::vector<Script> found;
  for (const auto& entry : fs::directory_iterator(ScriptFolder))
    if (entry.path().extension() == ".sh") found.push_back({entry.path().stem().string()});
  std::sort(found.begin(), found.end(),
            [](const Script& a, const Script& b) { return a.name < b.name; });
  return found;
}

class SharedFolder : public ::testing::TestWithParam<Script> {};

TEST_P(SharedFolder, EveryRunEndsWithAWholeResult) {
  ScratchFolder scratch;
  // Results of different lengths, so that a mix of two shows.
  writeCase(scratch, "a", 3, 0);
  writeCase(scratch, "b", 8, 12);
  writeCase(scratch, "c", 3, 280);
  writeFile(scratch / "none.dat", Listing().filler(600).text());
  // Orbital N is the last one printed: the run warns while it reads.
  writeFile(scratch / "last.dat", standardListing(13, 13, PShellRows).text());
  const ScriptRun run = runScript(scratch, readFile(ScriptFolder / (GetParam().name + ".sh")));
  if (run.status == 77) GTEST_SKIP() << run.skipped;
  EXPECT_EQ(run.status, 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, SharedFolder, ::testing::ValuesIn(scripts()));

}  // namespace
}  // namespace hlext::testing
