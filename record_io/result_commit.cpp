#include "record_io/result_commit.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <variant>

#include "record_io/file_system.hpp"
#include "record_io/held_signals.hpp"
#include "record_io/new_file.hpp"

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

// The result could not be written, since `unopened` could not be opened.
FileFailure writeFailureOf(const File& unopened) {
  return unopened.openResult().failure().as(FileFault::Write);
}

// Ends the run by the held signal that arrived, once the caller has undone its file work; gives
// a failure only where the signal, handled after all, let the process go on.
FileFailure endBySignal(HeldSignals& held) {
  held.release();
  return systemFailure(FileFault::Write, std::errc::interrupted);
}

// What replacing the file by a new one did: the result took the old file's place, or the file
// is to be written in place instead, or the commit failed.
struct Committed {};
struct ToWriteInPlace {};
using Replacement = std::variant<Committed, ToWriteInPlace, FileFailure>;

// What one try of a bounded wait did: what it waited for is had, or it is to be tried again,
// or the wait failed.
struct Had {};
struct TryAgain {};
using WaitStep = std::variant<Had, TryAgain, FileFailure>;

// Puts the records in a new file beside `target`, private until complete, which takes the old
// file's owner, group and permission bits and is then renamed over it, so that no reader ever
// finds a mix of two runs' results or a cut one, and a failure leaves the old file as it was.
// The file is to be written in place instead where the folder refuses the new file or the
// rename, or where the new file does not take on the old one's looks.
Replacement replaceByNewFile(const fs::path& target, const FileIdentity& old,
                             std::string_view records, HeldSignals& held,
                             const OutputWarning& warn) {
  NewFile replacement(target, warn);
  File& file = replacement.file();
  if (!file.isOpen()) {
    if (inPlaceMayCure(file.openResult().failure().code)) return ToWriteInPlace{};
    return writeFailureOf(file);
  }
  const FileIdentity made = file.identity();
  if (!isPrivate(made) || made.extendedAttributes) return ToWriteInPlace{};
  // Refused (another user's owner) or ignored (a file system that keeps its own): in place.
  if (!hasOwnerOf(made, old)) (void)file.takeOwnership(old);
  if (!hasOwnerOf(file.identity(), old)) return ToWriteInPlace{};
  if (FileResult written = file.writeAll(records); written.failed()) return written.failure();
  if (file.takePermissions(old).failed() || !hasModeOf(file.identity(), old))
    return ToWriteInPlace{};
  if (FileResult closed = file.close(); closed.failed()) return closed.failure();
  if (held.arrived() != 0) {
    replacement.discard();
    return endBySignal(held);
  }
  const std::error_code renamed = replacement.renameOver(target);
  if (!renamed) {
    held.keepUntilExit();
    return Committed{};
  }
  if (inPlaceMayCure(renamed)) return ToWriteInPlace{};
  return FileFailure{FileFault::Replace, renamed.message()};
}

std::string holderName(long long holder) {
  return holder > 0 ? "process " + std::to_string(holder) : "another process";
}

std::string atMost() { return "at most " + std::to_string(LockWaitLimit.count()) + " seconds"; }

// Tries `attempt` until it has what it waits for or fails, pausing between tries: the warning
// `notice()` after LockWaitNotice, and the failure `late()` after LockWaitLimit.
template <typename Attempt, typename Notice, typename Late>
FileResult waitBounded(Attempt attempt, Notice notice, Late late, const OutputWarning& warn) {
  const Clock::time_point start = Clock::now();
  auto pause = std::chrono::milliseconds(1);
  bool told = false;
  while (true) {
    WaitStep step = attempt();
    if (std::holds_alternative<Had>(step)) return {};
    if (FileFailure* failure = std::get_if<FileFailure>(&step)) return std::move(*failure);
    const auto waited = Clock::now() - start;
    if (waited >= LockWaitLimit) return late();
    if (waited >= LockWaitNotice && !told && warn) {
      warn(notice());
      told = true;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
}

// Locks `file` against other writers and readers that lock, waiting while another process
// holds a lock, within bounds (waitBounded), and ending the run when a held signal arrives
// meanwhile.
FileResult waitForLock(File& file, HeldSignals& held, const OutputWarning& warn) {
  long long holder = 0;
  const auto lock = [&]() -> WaitStep {
    const FileValue<LockAttempt> attempt = file.tryLock();
    if (attempt.failed()) return attempt.failure();
    if (attempt.value().outcome != LockAttempt::Outcome::Busy) return Had{};
    holder = attempt.value().holder;
    if (held.arrived() == 0) return TryAgain{};
    (void)file.close();
    return endBySignal(held);
  };
  const auto notice = [&] {
    return "waiting for " + holderName(holder) + ", which holds a lock on the file (" + atMost() +
           ")";
  };
  const auto late = [&] { return FileFailure{FileFault::Lock, "held by " + holderName(holder)}; };
  return waitBounded(lock, notice, late, warn);
}

// A failure once the first byte of the file written in place has changed.
FileFailure failedWhileWritten(const FileFailure& failure, const fs::path& name) {
  return {FileFault::Write,
          failure.reason + "; " + name.filename().string() +
              " may hold the new result in full or in part",
          failure.code};
}

// Writing clears the set-user-id and set-group-id bits of a file its owner writes; the owner
// may set them again, but for set-group-id only while it is in the file's group: else a
// warning says it is dropped.
void restoreSetIdBits(File& file, const FileIdentity& old, const fs::path& name,
                      const OutputWarning& warn) {
  if (!old.exists || hasModeOf(file.identity(), old)) return;
  (void)file.takePermissions(old);
  const fs::perms lost =
      old.permissions & ~file.identity().permissions & (fs::perms::set_uid | fs::perms::set_gid);
  if (lost == fs::perms::none || !warn) return;
  const bool both = lost == (fs::perms::set_uid | fs::perms::set_gid);
  const char* bits = both                         ? "set-user-id and set-group-id bits"
                     : lost == fs::perms::set_uid ? "set-user-id bit"
                                                  : "set-group-id bit";
  warn(std::string("the ") + bits + " of " + name.filename().string() +
       " could not be set again after writing and " + (both ? "are" : "is") + " dropped");
}

// Rewrites the file itself, locked so that runs doing the same take turns and never mix, and
// only once the whole result is known to fit: it is written from the start over the old one,
// in room the file has or that was secured, and then cut to its length, so that the file is
// never emptied first. Opening an existing file does not ask to create it, which a sticky
// folder refuses for another user's file.
FileResult writeInPlace(const fs::path& name, const fs::path& target, const FileIdentity& old,
                        std::string_view records, HeldSignals& held, const OutputWarning& warn) {
  File file = File::open(target, OpenMode::Write);
  if (file.openResult().failedWith(std::errc::no_such_file_or_directory))
    file = File::open(target, OpenMode::Create);
  if (!file.isOpen()) return writeFailureOf(file);
  if (FileResult locked = waitForLock(file, held, warn); locked.failed()) return locked;
  if (FileResult room = file.reserve(records.size()); room.failed()) return room;
  if (held.arrived() != 0) {
    (void)file.close();
    return endBySignal(held);
  }
  held.keepUntilExit();
  FileResult written = file.writeAll(records);
  if (!written.failed()) written = file.truncate(records.size());
  if (!written.failed()) restoreSetIdBits(file, old, name, warn);
  if (!written.failed()) written = file.close();
  if (written.failed()) return failedWhileWritten(written.failure(), name);
  return {};
}

}  // namespace

FileResult writeSpecialFile(const fs::path& name, File& file, std::string_view records,
                            const OutputWarning& warn) {
  const auto open = [&]() -> WaitStep {
    if (!file.isOpen()) file = File::open(name, OpenMode::Write);
    if (file.isOpen()) return Had{};
    if (file.openResult().failedWith(std::errc::no_such_device_or_address)) return TryAgain{};
    return writeFailureOf(file);
  };
  const auto notice = [&] { return "waiting for a process to read the FIFO (" + atMost() + ")"; };
  const auto late = [] {
    return FileFailure{FileFault::Write, "no process opened the FIFO for reading within " +
                                             std::to_string(LockWaitLimit.count()) + " seconds"};
  };
  if (FileResult opened = waitBounded(open, notice, late, warn); opened.failed()) return opened;
  const FileResult written = file.writeAll(records);
  const FileResult closed = file.close();
  return written.failed() ? written : closed;
}

FileResult commitResult(const fs::path& name, std::string_view records, const OutputWarning& warn) {
  const fs::path target = followLinks(name);
  const FileIdentity old = identityOf(target);
  clearLeftNewFiles(target, warn);
  HeldSignals held;
  if (renameMayKeepIdentity(target, old)) {
    Replacement replaced = replaceByNewFile(target, old, records, held, warn);
    if (std::holds_alternative<Committed>(replaced)) return {};
    if (FileFailure* failure = std::get_if<FileFailure>(&replaced)) return std::move(*failure);
  }
  return writeInPlace(name, target, old, records, held, warn);
}

}  // namespace hlext
