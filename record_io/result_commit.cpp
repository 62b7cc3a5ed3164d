#include "record_io/result_commit.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "record_io/file_system.hpp"
#include "record_io/held_signals.hpp"

namespace hlext {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int MaxLinkHops = 40;

// Where a chain of symbolic links ends, so that the links stay and their target is replaced.
fs::path followLinks(fs::path path) {
  for (int hop = 0; hop < MaxLinkHops; ++hop) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(path, error))) return path;
    const fs::path next = fs::read_symlink(path, error);
    if (error) return path;
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  return path;
}

fs::path folderOf(const fs::path& path) {
  return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

// A new file's name keeps at most this much of the target's, so that it stays within the
// 255 bytes a name may have when the target's own name is long.
constexpr std::size_t MaxKeptNameLength = 200;
constexpr unsigned MaxNameAttempts = 100;

// A name for a new file beside `target`, hidden where names with a leading dot are. Runs
// started at once differ in the clock and in their stack's address; creating the file
// exclusively settles any clash that is left.
fs::path temporaryName(const fs::path& target, unsigned attempt) {
  const int local = 0;
  const auto ticks = static_cast<std::uint64_t>(Clock::now().time_since_epoch().count());
  const auto address = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(&local));
  std::uint64_t mixed = ticks ^ (address << 20) ^ (attempt * 0x9E3779B97F4A7C15ULL);
  fs::path::string_type kept = target.filename().native();
  if (kept.size() > MaxKeptNameLength) kept.resize(MaxKeptNameLength);
  std::string digits;
  for (int digit = 0; digit < 12; ++digit, mixed >>= 4) digits += "0123456789abcdef"[mixed & 15];
  fs::path name(".");
  name += kept;
  name += "." + digits + ".new";
  return target.parent_path() / name;
}

// Failures that concern the folder or the name rather than the data: a new file that cannot be
// made there (permission, no inode, no room for a name, a quota, a name too long) or that
// cannot take the old one's place (a mount point, another file system, a sticky folder).
// Writing the file in place does without both.
bool inPlaceMayCure(std::error_code error) {
#if defined(EDQUOT)
  if (error == std::error_code(EDQUOT, std::generic_category())) return true;
#endif
  using E = std::errc;
  for (const E cured : {E::permission_denied, E::operation_not_permitted,
                        E::device_or_resource_busy, E::cross_device_link, E::no_space_on_device,
                        E::too_many_links, E::filename_too_long, E::read_only_file_system})
    if (error == cured) return true;
  return false;
}
bool inPlaceMayCure(int error) {
  return inPlaceMayCure(std::error_code(error, std::generic_category()));
}

// A new file made beside a result file, private to its owner, and taken away again unless it
// has taken the result file's place.
class NewFile {
 public:
  NewFile(const fs::path& target, OutputWarning warn) : warn_(std::move(warn)) {
    for (unsigned attempt = 0; attempt < MaxNameAttempts; ++attempt) {
      path_ = temporaryName(target, attempt);
      file_ = File::open(path_, OpenMode::CreateNew);
      if (file_.isOpen() || file_.error() != EEXIST) break;
    }
    present_ = file_.isOpen();
  }
  ~NewFile() { discard(); }
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  File& file() { return file_; }

  std::error_code renameOver(const fs::path& target) {
    std::error_code error;
    fs::rename(path_, target, error);
    if (!error) present_ = false;
    return error;
  }

  // Removes the file; where the folder refuses that, leaves it empty and says so.
  void discard() {
    file_.close();
    if (!present_) return;
    present_ = false;
    std::error_code error;
    if (fs::remove(path_, error) || !error) return;
    File left = File::open(path_, OpenMode::Write);
    if (left.isOpen()) left.truncate();
    if (warn_)
      warn_("cannot remove the new file " + path_.filename().string() + ": " + error.message() +
            "; it is left empty");
  }

 private:
  OutputWarning warn_;
  fs::path path_;
  File file_;
  bool present_ = false;
};

// A file that only its owner may read or write, where the platform has owners.
bool isPrivate(const FileIdentity& file) {
  using P = fs::perms;
  return !file.accessKnown || (file.permissions & (P::group_all | P::others_all)) == P::none;
}
bool hasOwnerOf(const FileIdentity& file, const FileIdentity& model) {
  return !file.accessKnown || (file.owner == model.owner && file.group == model.group);
}
bool hasModeOf(const FileIdentity& file, const FileIdentity& model) {
  return !file.accessKnown || file.permissions == model.permissions;
}

// A rename keeps what a user sees of the file besides its content only for a file with a single
// name that carries nothing a new file would lack (an access control list, other attributes),
// whose owner this run can name, in a folder that lets the new file go again.
bool renameMayKeepIdentity(const fs::path& target, const FileIdentity& old) {
  return old.exists && old.links == 1 && !old.extendedAttributes &&
         (old.ownerKnown || !old.accessKnown) && folderLetsGo(folderOf(target));
}

// Ends the run by the held signal that arrived, once the caller has undone its file work; gives
// a failure only where the signal, handled after all, let the process go on.
OutputFailure endBySignal(HeldSignals& held) {
  held.release();
  return writeFailure(EINTR);
}

// Puts the records in a new file beside `target`, private until complete, which takes the old
// file's owner, group and permission bits and is then renamed over it, so that no reader ever
// finds a mix of two runs' results or a cut one, and a failure leaves the old file as it was.
// Gives nothing where the file is to be written in place instead: the folder refuses the new
// file or the rename, or the new file does not take on the old one's looks.
std::optional<OutputFailure> replaceByNewFile(const fs::path& target, const FileIdentity& old,
                                              std::string_view records, HeldSignals& held,
                                              const OutputWarning& warn) {
  NewFile replacement(target, warn);
  File& file = replacement.file();
  if (!file.isOpen()) {
    if (inPlaceMayCure(file.error())) return std::nullopt;
    return writeFailure(file.error());
  }
  const FileIdentity made = file.identity();
  if (!isPrivate(made) || made.extendedAttributes) return std::nullopt;
  // Refused (another user's owner) or ignored (a file system that keeps its own): in place.
  if (!hasOwnerOf(made, old)) file.takeOwnership(old);
  if (!hasOwnerOf(file.identity(), old)) return std::nullopt;
  if (const int error = file.writeAll(records); error != 0) return writeFailure(error);
  if (file.takePermissions(old) != 0 || !hasModeOf(file.identity(), old)) return std::nullopt;
  if (const int error = file.close(); error != 0) return writeFailure(error);
  if (held.arrived() != 0) {
    replacement.discard();
    return endBySignal(held);
  }
  const std::error_code renamed = replacement.renameOver(target);
  if (!renamed) {
    held.keepUntilExit();
    return OutputFailure{};
  }
  if (inPlaceMayCure(renamed)) return std::nullopt;
  return OutputFailure{ErrorKind::CannotReplace, renamed.message()};
}

std::string holderName(long long holder) {
  return holder > 0 ? "process " + std::to_string(holder) : "another process";
}

// Locks `file` against other writers and readers that lock, waiting while another process
// holds a lock: a warning after LockWaitNotice, a failure after LockWaitLimit, and the end of
// the run when a held signal arrives meanwhile. Gives an empty reason once locked.
OutputFailure waitForLock(File& file, HeldSignals& held, const OutputWarning& warn) {
  const Clock::time_point start = Clock::now();
  auto pause = std::chrono::milliseconds(1);
  bool told = false;
  while (true) {
    const LockAttempt attempt = file.tryLock();
    if (attempt.outcome == LockAttempt::Outcome::Locked) return {};
    if (attempt.outcome == LockAttempt::Outcome::Failed) return writeFailure(attempt.error);
    if (held.arrived() != 0) {
      file.close();
      return endBySignal(held);
    }
    const auto waited = Clock::now() - start;
    if (waited >= LockWaitLimit)
      return {ErrorKind::CannotLock, "held by " + holderName(attempt.holder)};
    if (waited >= LockWaitNotice && !told && warn) {
      warn("waiting for " + holderName(attempt.holder) + ", which holds a lock on the file (at " +
           "most " + std::to_string(LockWaitLimit.count()) + " seconds)");
      told = true;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
}

// Rewrites the file itself, locked so that runs doing the same take turns and never mix, and
// only once the whole result is known to fit. Opening an existing file does not ask to create
// it, which a sticky folder refuses for another user's file.
OutputFailure writeInPlace(const fs::path& target, const FileIdentity& old,
                           std::string_view records, HeldSignals& held, const OutputWarning& warn) {
  File file = File::open(target, OpenMode::Write);
  if (!file.isOpen() && file.error() == ENOENT) file = File::open(target, OpenMode::Create);
  if (!file.isOpen()) return writeFailure(file.error());
  if (OutputFailure locked = waitForLock(file, held, warn); !locked.reason.empty()) return locked;
  if (const int error = file.reserve(records.size()); error != 0) return writeFailure(error);
  if (held.arrived() != 0) {
    file.close();
    return endBySignal(held);
  }
  if (const int error = file.truncate(); error != 0) return writeFailure(error);
  held.keepUntilExit();
  if (const int error = file.writeAll(records); error != 0) return writeFailure(error);
  // Writing clears the set-user-id and set-group-id bits of a file its owner writes; the owner
  // may set them again.
  if (old.exists && !hasModeOf(file.identity(), old)) file.takePermissions(old);
  return writeFailure(file.close());
}

}  // namespace

OutputFailure commitResult(const fs::path& name, std::string_view records,
                           const OutputWarning& warn) {
  const fs::path target = followLinks(name);
  const FileIdentity old = identityOf(target);
  HeldSignals held;
  if (renameMayKeepIdentity(target, old)) {
    if (std::optional<OutputFailure> replaced = replaceByNewFile(target, old, records, held, warn))
      return *replaced;
  }
  return writeInPlace(target, old, records, held, warn);
}

}  // namespace hlext
