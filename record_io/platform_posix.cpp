// The file system and signals of a POSIX system (Linux, macOS, the BSDs), through descriptors.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "record_io/file_system.hpp"
#include "record_io/held_signals.hpp"

#if defined(__linux__)
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/vfs.h>
#endif
#if defined(__linux__) || defined(__APPLE__)
#include <sys/xattr.h>
#endif

namespace hlext {
namespace {

namespace fs = std::filesystem;

int lastError() { return errno != 0 ? errno : EIO; }

// The failure `fault` for the reason the last call left in errno.
FileFailure lastFailure(FileFault fault) { return systemFailure(fault, lastError()); }

// Done where the last call succeeded; else the Write failure for the reason it left in errno.
FileResult doneIf(bool done) { return done ? FileResult() : lastFailure(FileFault::Write); }

// Calls `call` again for as long as a signal interrupts it; gives what the last call gave.
template <typename Call>
auto retryInterrupted(Call call) {
  while (true) {
    errno = 0;
    const auto result = call();
    if (result >= 0 || errno != EINTR) return result;
  }
}

int descriptor(std::intptr_t handle) { return static_cast<int>(handle); }

int openFlags(OpenMode mode) {
  switch (mode) {
    case OpenMode::Read: return O_RDONLY;
    case OpenMode::Write: return O_WRONLY | O_NONBLOCK;
    case OpenMode::Create: return O_WRONLY | O_CREAT;
    case OpenMode::CreateNew: return O_WRONLY | O_CREAT | O_EXCL;
  }
  return O_RDONLY;
}

// The NUL-separated names of a file's extended attributes (listxattr, flistxattr), which
// macOS asks one more argument for than Linux; elsewhere none are known.
#if defined(__linux__)
ssize_t listNames(const char* path, char* names, std::size_t size) {
  return ::listxattr(path, names, size);
}
ssize_t listNames(int fd, char* names, std::size_t size) { return ::flistxattr(fd, names, size); }
#elif defined(__APPLE__)
ssize_t listNames(const char* path, char* names, std::size_t size) {
  return ::listxattr(path, names, size, 0);
}
ssize_t listNames(int fd, char* names, std::size_t size) {
  return ::flistxattr(fd, names, size, 0);
}
#else
template <typename Where>
ssize_t listNames(Where, char*, std::size_t) {
  errno = ENOTSUP;
  return -1;
}
#endif

// Whether a file (a path or a descriptor) has extended attributes, an access control list
// among them. The security label a system gives every file does not count: a new file in the
// same folder gets its own from the folder.
template <typename Where>
bool hasAttributesBesidesLabel(Where where) {
  std::string names(256, '\0');
  ssize_t size = 0;
  while ((size = listNames(where, names.data(), names.size())) < 0 && errno == ERANGE)
    names.resize(names.size() * 4);  // too small for them all
  if (size < 0) return errno != ENOTSUP && errno != ENOSYS;
  std::string_view rest(names.data(), static_cast<std::size_t>(size));
  while (!rest.empty()) {
    const std::string_view name = rest.substr(0, rest.find('\0'));
    if (name != "security.selinux") return true;
    rest.remove_prefix(std::min(rest.size(), name.size() + 1));
  }
  return false;
}

using Numbers = std::vector<unsigned long long>;

// The unsigned numbers at the start of a small system file (a /proc entry), read without the
// C++ streams and their locale; `most` of them at most, fewer when it cannot be read.
Numbers leadingNumbers(const char* name, std::size_t most) {
  Numbers numbers;
  File file = File::open(name, OpenMode::Read);
  char text[128];
  const FileValue<std::size_t> length = file.isOpen() ? file.read(text) : std::size_t{0};
  const char* at = text;
  const char* const end = text + (length.failed() ? 0 : length.value());
  const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  for (unsigned long long number = 0; numbers.size() < most; numbers.push_back(number)) {
    at = std::find_if(at, end, isDigit);
    const auto read = std::from_chars(at, end, number);
    if (read.ec != std::errc()) break;
    at = read.ptr;
  }
  return numbers;
}

// Inside a user namespace that maps only some ids (a rootless container), every other id shows
// as the kernel's overflow id: a file that shows it has an owner this process cannot name.
bool mapsEveryId(const char* mapFile) {
  const Numbers range = leadingNumbers(mapFile, 3);
  return range.empty() || range == Numbers{0, 0, 4294967295ULL};  // empty: no user namespaces
}
unsigned long long overflowId(const char* file) {
  const Numbers id = leadingNumbers(file, 1);
  return id.empty() ? 65534 : id[0];
}
bool unmappedOwner(std::uintmax_t owner, std::uintmax_t group) {
  static const bool everyIdMapped =
      mapsEveryId("/proc/self/uid_map") && mapsEveryId("/proc/self/gid_map");
  if (everyIdMapped) return false;
  return owner == overflowId("/proc/sys/kernel/overflowuid") ||
         group == overflowId("/proc/sys/kernel/overflowgid");
}

// The status of a file by its name or by its descriptor.
int statusOf(const char* path, struct stat& status) { return ::stat(path, &status); }
int statusOf(int fd, struct stat& status) { return ::fstat(fd, &status); }

// The identity of the file that `where` (a path or a descriptor) leads to.
template <typename Where>
FileIdentity identityAt(Where where) {
  struct stat status {};
  if (statusOf(where, status) != 0) return {};
  FileIdentity identity;
  identity.exists = true;
  identity.links = static_cast<std::uintmax_t>(status.st_nlink);
  identity.owner = static_cast<std::uintmax_t>(status.st_uid);
  identity.group = static_cast<std::uintmax_t>(status.st_gid);
  identity.ownerKnown = !unmappedOwner(identity.owner, identity.group);
  identity.permissions = static_cast<fs::perms>(status.st_mode & 07777);
  identity.accessKnown = true;
  identity.extendedAttributes = hasAttributesBesidesLabel(where);
  return identity;
}

// Where a file system has no locks (an NFS mount without its lock service) a file is written
// without one.
bool noLocksHere(int error) {
  return error == ENOLCK || error == EINVAL || error == ENOTSUP || error == EOPNOTSUPP;
}

// Network file systems make a whole-file lock a record lock on the server, so there the
// record lock alone keeps out readers of both kinds, and a second lock would conflict with it.
bool wholeFileLocksAreRecordLocks([[maybe_unused]] int fd) {
#if defined(__linux__)
  struct statfs where {};
  if (::fstatfs(fd, &where) != 0) return false;
  // NFS, SMB and SMB2, by the magic numbers the system gives them in the type's width.
  for (const unsigned magic : {0x6969U, 0xFF534D42U, 0xFE534D42U})
    if (where.f_type == static_cast<decltype(where.f_type)>(magic)) return true;
  return false;
#else
  return false;
#endif
}

// Whether the free space of the file system (root's share for root) covers the blocks the file
// lacks for `size` bytes, with one in 64 more for the file system's block maps. A file system
// that tells nothing of its space (no blocks at all) is taken at its word.
bool freeSpaceCovers(int fd, std::uintmax_t size) {
  struct stat status {};
  struct statvfs space {};
  if (::fstat(fd, &status) != 0 || ::fstatvfs(fd, &space) != 0 || space.f_blocks == 0) return true;
  const std::uintmax_t block = space.f_frsize != 0 ? space.f_frsize : space.f_bsize;
  const auto held = static_cast<std::uintmax_t>(status.st_blocks) * 512 / block;
  const std::uintmax_t wanted = size / block + (size % block != 0 ? 1 : 0);
  if (wanted <= held) return true;
  const std::uintmax_t free = ::geteuid() == 0 ? space.f_bfree : space.f_bavail;
  return wanted - held + (wanted - held) / 64 + 1 <= free;
}

// Busy by a record lock in the way of `wanted`, naming its holder where the system tells.
LockAttempt busyByRecordLock(int fd, struct flock wanted) {
  LockAttempt busy{LockAttempt::Outcome::Busy};
  if (::fcntl(fd, F_GETLK, &wanted) == 0 && wanted.l_type != F_UNLCK) busy.holder = wanted.l_pid;
  return busy;
}

// Signals that stop or are ignored by default, faults, and those that cannot be caught are
// left as they are; every other one would end the run.
const sigset_t& heldSet() {
  static const sigset_t set = [] {
    sigset_t made;
    sigfillset(&made);
    for (const int left : {SIGKILL, SIGSTOP, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS,
                           SIGABRT, SIGCHLD, SIGCONT, SIGURG, SIGWINCH, SIGTSTP, SIGTTIN, SIGTTOU})
      sigdelset(&made, left);
    return made;
  }();
  return set;
}

sigset_t maskBefore;

bool endsTheRun(int signal) {
  struct sigaction action {};
  if (::sigaction(signal, nullptr, &action) != 0) return false;
  return (action.sa_flags & SA_SIGINFO) == 0 && action.sa_handler == SIG_DFL;
}

}  // namespace

FileIdentity identityOf(const fs::path& path) { return identityAt(path.c_str()); }

bool folderLetsGo([[maybe_unused]] const fs::path& folder) {
#if defined(__linux__)
  const int fd = retryInterrupted([&] { return ::open(folder.c_str(), O_RDONLY | O_CLOEXEC); });
  if (fd < 0) return true;
  int flags = 0;
  const bool known = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  ::close(fd);
  return !known || (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) == 0;
#else
  return true;
#endif
}

FileValue<std::intptr_t> File::openHandle(const fs::path& path, OpenMode mode) {
  // A new file is private until it is complete; others get the usual bits less the umask.
  const mode_t permissions = mode == OpenMode::CreateNew ? 0600 : 0666;
  const int fd = retryInterrupted(
      [&] { return ::open(path.c_str(), openFlags(mode) | O_CLOEXEC, permissions); });
  if (fd < 0) return lastFailure(FileFault::Open);
  // Opened without waiting for a FIFO's reader; its writes wait as usual.
  if (mode == OpenMode::Write) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return std::intptr_t{fd};
}

FileValue<std::size_t> File::read(std::span<char> buffer) {
  const ssize_t count = retryInterrupted([&] {
    return ::read(descriptor(handle_), buffer.data(),
                  std::min<std::size_t>(buffer.size(), INT_MAX));
  });
  if (count < 0) return lastFailure(FileFault::Read);
  return static_cast<std::size_t>(count);
}

FileValue<std::size_t> File::readArrived(std::span<char> buffer) {
  pollfd ready{descriptor(handle_), POLLIN, 0};
  if (retryInterrupted([&] { return ::poll(&ready, 1, 0); }) <= 0) return std::size_t{0};
  return read(buffer);
}

FileResult File::seek(std::uint64_t offset) {
  const auto at = static_cast<off_t>(offset);
  if (at < 0 || static_cast<std::uint64_t>(at) != offset)
    return systemFailure(FileFault::Read, EOVERFLOW);
  errno = 0;
  return ::lseek(descriptor(handle_), at, SEEK_SET) < 0 ? lastFailure(FileFault::Read)
                                                        : FileResult();
}

FileValue<std::size_t> File::writeSome(std::string_view bytes) {
  const ssize_t count = retryInterrupted([&] {
    return ::write(descriptor(handle_), bytes.data(), std::min<std::size_t>(bytes.size(), INT_MAX));
  });
  if (count <= 0) return lastFailure(FileFault::Write);
  return static_cast<std::size_t>(count);
}

FileResult File::close() {
  if (!isOpen()) return {};
  errno = 0;
  // Not retried: after an interrupted close the descriptor is gone all the same.
  return doneIf(::close(descriptor(std::exchange(handle_, NoHandle))) == 0);
}

FileValue<LockAttempt> File::tryLock() {
  const int fd = descriptor(handle_);
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  LockAttempt locked;  // by the record lock, or Unsupported where it has none
  if (retryInterrupted([&] { return ::fcntl(fd, F_SETLK, &whole); }) != 0) {
    const int error = lastError();
    if (error == EAGAIN || error == EACCES) return busyByRecordLock(fd, whole);
    if (!noLocksHere(error)) return systemFailure(FileFault::Write, error);
    locked.outcome = LockAttempt::Outcome::Unsupported;
  }
  if (wholeFileLocksAreRecordLocks(fd)) return locked;
  if (retryInterrupted([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) == 0) return LockAttempt{};
  const int error = lastError();
  if (noLocksHere(error)) return locked;
  // Let go of the record lock while the other is held elsewhere, so that no one waits on a
  // run that is itself waiting.
  whole.l_type = F_UNLCK;
  ::fcntl(fd, F_SETLK, &whole);
  if (error == EWOULDBLOCK) return LockAttempt{LockAttempt::Outcome::Busy};
  return systemFailure(FileFault::Write, error);
}

FileResult File::markInUse() {
  const int fd = descriptor(handle_);
  if (retryInterrupted([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) == 0) return {};
  return systemFailure(FileFault::Write, noLocksHere(errno) ? ENOTSUP : lastError());
}

FileResult File::reserve(std::uintmax_t size) {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
      size > static_cast<std::uintmax_t>(limit.rlim_cur))
    return systemFailure(FileFault::Write, EFBIG);
#if defined(__linux__)
  // Blocks past the file's end, so that its content and its length stay as they are.
  const int result = retryInterrupted([&] {
    return ::fallocate(descriptor(handle_), FALLOC_FL_KEEP_SIZE, 0,
                       static_cast<off_t>(std::min<std::uintmax_t>(size, LLONG_MAX)));
  });
  if (result == 0) return {};
  const int error = lastError();
  if (error == ENOSPC || error == EDQUOT || error == EFBIG)
    return systemFailure(FileFault::Write, error);
#endif
  if (freeSpaceCovers(descriptor(handle_), size)) return {};
  return systemFailure(FileFault::Write, ENOSPC);
}

FileResult File::truncate(std::uintmax_t length) {
  const auto at = static_cast<off_t>(length);
  if (at < 0 || static_cast<std::uintmax_t>(at) != length)
    return systemFailure(FileFault::Write, EFBIG);
  return doneIf(retryInterrupted([&] { return ::ftruncate(descriptor(handle_), at); }) == 0);
}

FileIdentity File::identity() const { return identityAt(descriptor(handle_)); }

FileResult File::takeOwnership(const FileIdentity& model) {
  errno = 0;
  const auto owner = static_cast<uid_t>(model.owner);
  const auto group = static_cast<gid_t>(model.group);
  return doneIf(::fchown(descriptor(handle_), owner, group) == 0);
}

FileResult File::takePermissions(const FileIdentity& model) {
  errno = 0;
  return doneIf(::fchmod(descriptor(handle_), static_cast<mode_t>(model.permissions)) == 0);
}

void prepareProcess() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    // The lowest free descriptor is the one just found closed.
    if (::open("/dev/null", O_RDONLY) < 0) break;
  }
  ::signal(SIGXFSZ, SIG_IGN);
}

HeldSignals::HeldSignals() { ::sigprocmask(SIG_BLOCK, &heldSet(), &maskBefore); }

int HeldSignals::arrived() const {
  sigset_t pending;
  if (::sigpending(&pending) != 0) return 0;
  for (int signal = 1; signal < NSIG; ++signal)
    if (sigismember(&pending, signal) == 1 && sigismember(&heldSet(), signal) == 1 &&
        sigismember(&maskBefore, signal) == 0 && endsTheRun(signal))
      return signal;
  return 0;
}

void HeldSignals::release() {
  if (!held_) return;
  held_ = false;
  // A signal that arrived in the meantime is delivered here, and ends the process.
  ::sigprocmask(SIG_SETMASK, &maskBefore, nullptr);
}

}  // namespace hlext
