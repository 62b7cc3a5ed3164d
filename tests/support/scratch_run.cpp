#include "tests/support/scratch_run.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace hlext::testing {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

ScratchFolder::ScratchFolder() {
  static std::atomic<int> counter{0};
  path_ = fs::temp_directory_path() /
          ("hlext1-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  fs::remove_all(path_);
  fs::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string toolPath() { return HLEXT1_BINARY; }

namespace {

int statusOf(int raw) {
  if (WIFEXITED(raw)) return WEXITSTATUS(raw);
  if (WIFSIGNALED(raw)) return 128 + WTERMSIG(raw);
  return -1;
}

}  // namespace

// Defined by tests/CMakeLists.txt for a build whose files go through the standard library's
// streams (HLEXT_PORTABLE_FILES); the scripts see it as HLEXT1_PORTABLE_FILES=1.
#ifdef HLEXT1_PORTABLE_FILES
constexpr const char* PortableFiles = "1";
#else
constexpr const char* PortableFiles = "";
#endif

// The functions runScript() offers its scripts.
const std::string ScriptFunctions = R"sh(skip() { echo "$*" >.skipped; exit 77; }
native() { [ -z "$HLEXT1_EMULATOR" ] || skip "hlext1 runs under $HLEXT1_EMULATOR: $*"; }
need() { for p; do command -v "$p" >/dev/null || skip "needs $p, which is not installed"; done; }
descriptors() { [ -z "$HLEXT1_PORTABLE_FILES" ] || skip "portable build, streams only: $*"; }
traced() { ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" strace "$@"; }
# Each need_WHAT tries what a case needs before the case does, and skips with the reason the
# system gives when it is not there (a container without CAP_SYS_ADMIN, a chroot whose / is
# not a mount point, an ordinary user).
# need_root WHAT...: root's power over files and ids: giving a file to another user, and
# running as one where setpriv is installed.
need_root() {
  [ "$(id -u)" = 0 ] || skip "needs root to $*"
  : >.probe; chown 1001:3000 .probe 2>.why || skip "needs CAP_CHOWN to $*: $(cat .why)"
  if command -v setpriv >/dev/null; then
    setpriv --reuid=65534 --regid=65534 --clear-groups true 2>.why ||
      skip "needs CAP_SETUID to $*: $(cat .why)"
  fi
  rm -f .probe .why
}
# need_mount WHAT...: a mount namespace of its own, with a mount in it (CAP_SYS_ADMIN, and /
# a mount point whose propagation can be changed).
need_mount() {
  need unshare
  mkdir .probe
  unshare -m sh -c 'mount -t tmpfs -o size=4k tmpfs .probe' 2>.why ||
    skip "needs a mount namespace to $*: $(head -1 .why)"
  rmdir .probe; rm -f .why
}
# need_fuse WHAT...: a FUSE mount (bindfs) that can be made and taken away again.
need_fuse() {
  need bindfs
  [ -c /dev/fuse ] || skip "needs /dev/fuse to $*"
  mkdir .probe .probe-view
  bindfs .probe .probe-view 2>.why || skip "needs a FUSE mount to $*: $(head -1 .why)"
  umount .probe-view; rmdir .probe .probe-view; rm -f .why
}
need_userns() {
  need unshare
  unshare --user true 2>.why || skip "needs a user namespace to $*: $(head -1 .why)"
  rm -f .why
}
# need_append_only WHAT...: a folder that can be made append-only (CAP_LINUX_IMMUTABLE, and a
# file system that has the flag).
need_append_only() {
  need chattr
  mkdir .probe
  chattr +a .probe 2>.why ||
    skip "needs CAP_LINUX_IMMUTABLE and append-only folders (chattr +a) to $*: $(head -1 .why)"
  chattr -a .probe; rmdir .probe; rm -f .why
}
no_new_files() { [ -z "$(ls -A | grep '\.new$')" ]; }
wait_for() {
  tries=0
  until [ "$1" "$2" ]; do
    tries=$((tries + 1)); [ $tries -le 500 ] || { echo "no $2"; exit 1; }; sleep 0.02
  done
}
)sh";

ScriptRun runScript(const ScratchFolder& folder, const std::string& script) {
  const fs::path file = folder / ".script";
  const fs::path skipped = folder / ".skipped";
  writeFile(file, ScriptFunctions + script);
  const std::string command = "cd '" + folder.path().string() + "' && HLEXT1='" + toolPath() +
                              "' HLEXT1_EMULATOR='" + std::string(HLEXT1_EMULATOR) +
                              "' HLEXT1_PORTABLE_FILES='" + PortableFiles +
                              "' sh .script </dev/null";
  ScriptRun run;
  run.status = statusOf(std::system(command.c_str()));
  fs::remove(file);
  if (fs::exists(skipped)) {
    run.skipped = readFile(skipped);
    if (!run.skipped.empty() && run.skipped.back() == '\n') run.skipped.pop_back();
    fs::remove(skipped);
  }
  return run;
}

std::string skipReason(const std::string& requirements) {
  const ScratchFolder folder;
  const ScriptRun run = runScript(folder, requirements);
  return run.status == 77 ? run.skipped : std::string();
}

RunOutcome runTool(const ScratchFolder& folder, const std::string& redirection,
                   const std::string& prelude) {
  RunOutcome outcome;
  const std::string output = redirection.empty() ? ">.console" : redirection;
  outcome.status = runScript(folder, prelude + " \"$HLEXT1\" " + output + " 2>.diagnostics").status;
  if (fs::exists(folder / ".console")) outcome.console = readFile(folder / ".console");
  outcome.diagnostics = readFile(folder / ".diagnostics");
  fs::remove(folder / ".console");
  fs::remove(folder / ".diagnostics");
  std::error_code loop;  // fort.50 may be a link to itself
  if (fs::is_regular_file(folder / "fort.50", loop)) outcome.result = readFile(folder / "fort.50");
  return outcome;
}

}  // namespace hlext::testing
