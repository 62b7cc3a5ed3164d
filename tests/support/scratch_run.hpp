// Runs the real hlext1 binary as a process in a scratch folder of its own.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace hlext::testing {

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

// A fresh, empty folder under the system's temporary folder, removed when it goes.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

struct RunOutcome {
  int status = -1;  // exit status; 128 + signal number when killed by a signal
  std::string console;
  std::string diagnostics;
  std::optional<std::string> result;  // fort.50 after the run, when it is a regular file
};

// Runs hlext1 in `folder`, as a script of runScript(). `redirection` replaces the standard
// output redirection (for example ">/dev/full" or ">&-"); `prelude` is shell text before it
// (for example "ulimit -f 1;").
RunOutcome runTool(const ScratchFolder& folder, const std::string& redirection = "",
                   const std::string& prelude = "");

struct ScriptRun {
  int status = -1;
  std::string skipped;  // why the script skipped itself (status 77)
};

// Runs the shell `script` in `folder` with HLEXT1 naming the binary. Besides the shell's own
// commands the script may call
//   skip REASON...     to end with status 77, giving the reason;
//   need PROGRAM...    to skip unless every program is installed, naming the one missing;
//   descriptors WHY... to skip in a build whose files go through the standard library's
//                      streams (HLEXT_PORTABLE_FILES), for a case that needs what only the
//                      platform's descriptors give.
//   need_root WHAT...  to skip unless run by root with its power over files and ids, saying
//                      what needs it; need_mount, need_fuse, need_userns and
//                      need_append_only WHAT... likewise for a mount namespace, a FUSE mount,
//                      a user namespace and an append-only folder, each tried first;
//   native WHY...      to skip where hlext1 runs under an emulator (HLEXT1_EMULATOR);
//   traced ARGS...     strace, with a sanitizer's leak check off (it cannot work under ptrace);
//   no_new_files       to fail when a new file (*.new) is left in the folder;
//   wait_for -e|-s F   to wait, ten seconds at most, until F exists (or is not empty).
ScriptRun runScript(const ScratchFolder& folder, const std::string& script);

// Why a case whose requirements (need..., descriptors lines as runScript() offers) are
// `requirements` skips on this machine, or "" when it can run. Tried in a folder of its own.
std::string skipReason(const std::string& requirements);

// The binary under test, from HLEXT1_BINARY at build time.
std::string toolPath();

}  // namespace hlext::testing
