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
#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <string>
#include <utility>

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

// Calls `call` again for as long as a signal interrupts it; gives what the last call gave.
template <typename Call>
auto retryInterrupted(Call call) {
  errno = 0;
  auto result = call();
  while (result < 0 && errno == EINTR) {
    errno = 0;
    result = call();
  }
  return result;
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
  while (true) {
    const ssize_t size = listNames(where, names.data(), names.size());
    if (size >= 0) {
      names.resize(static_cast<std::size_t>(size));
      break;
    }
    if (errno != ERANGE) return errno != ENOTSUP && errno != ENOSYS;
    names.resize(names.size() * 4);
  }
  std::string_view rest = names;
  while (!rest.empty()) {
    const std::string_view name = rest.substr(0, rest.find('\0'));
    if (name != "security.selinux") return true;
    rest.remove_prefix(std::min(rest.size(), name.size() + 1));
  }
  return false;
}

// The unsigned numbers at the start of a small system file (a /proc entry), read without the
// C++ streams and their locale; `count` of them at most, fewer when it cannot be read.
struct LeadingNumbers {
  std::array<unsigned long long, 3> values{};
  std::size_t count = 0;
};
LeadingNumbers leadingNumbers(const char* name) {
  LeadingNumbers numbers;
  const int fd = retryInterrupted([&] { return ::open(name, O_RDONLY | O_CLOEXEC); });
  if (fd < 0) return numbers;
  char text[128];
  const ssize_t length = retryInterrupted([&] { return ::read(fd, text, sizeof text); });
  ::close(fd);
  const char* at = text;
  const char* const end = text + std::max<ssize_t>(length, 0);
  const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  while (numbers.count < numbers.values.size()) {
    at = std::find_if(at, end, isDigit);
    const auto read = std::from_chars(at, end, numbers.values[numbers.count]);
    if (read.ec != std::errc()) break;
    ++numbers.count;
    at = read.ptr;
  }
  return numbers;
}

// Inside a user namespace that maps only some ids (a rootless container), every other id shows
// as the kernel's overflow id: a file that shows it has an owner this process cannot name.
bool mapsEveryId(const char* mapFile) {
  const LeadingNumbers range = leadingNumbers(mapFile);
  if (range.count == 0) return true;  // no user namespaces here
  return range.count == 3 && range.values[0] == 0 && range.values[1] == 0 &&
         range.values[2] == 4294967295ULL;
}
unsigned long long overflowId(const char* file) {
  const LeadingNumbers id = leadingNumbers(file);
  return id.count == 0 ? 65534 : id.values[0];
}
bool unmappedOwner(std::uintmax_t owner, std::uintmax_t group) {
  static const bool everyIdMapped =
      mapsEveryId("/proc/self/uid_map") && mapsEveryId("/proc/self/gid_map");
  if (everyIdMapped) return false;
  return owner == overflowId("/proc/sys/kernel/overflowuid") ||
         group == overflowId("/proc/sys/kernel/overflowgid");
}

FileIdentity identityFrom(const struct stat& status) {
  FileIdentity identity;
  identity.exists = true;
  identity.links = static_cast<std::uintmax_t>(status.st_nlink);
  identity.owner = static_cast<std::uintmax_t>(status.st_uid);
  identity.group = static_cast<std::uintmax_t>(status.st_gid);
  identity.ownerKnown = !unmappedOwner(identity.owner, identity.group);
  identity.permissions = static_cast<fs::perms>(status.st_mode & 07777);
  identity.accessKnown = true;
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
  constexpr long NfsMagic = 0x6969;
  constexpr long SmbMagic = static_cast<long>(0xFF534D42U);
  constexpr long Smb2Magic = static_cast<long>(0xFE534D42U);
  const auto type = static_cast<long>(where.f_type);
  return type == NfsMagic || type == SmbMagic || type == Smb2Magic;
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

LockAttempt busy(long long holder) { return {LockAttempt::Outcome::Busy, 0, holder}; }
LockAttempt failed(int error) { return {LockAttempt::Outcome::Failed, error, 0}; }

// The process that holds a record lock in the way of `wanted`; 0 when none is known.
long long recordLockHolder(int fd, struct flock wanted) {
  if (::fcntl(fd, F_GETLK, &wanted) != 0 || wanted.l_type == F_UNLCK) return 0;
  return static_cast<long long>(wanted.l_pid);
}

}  // namespace

FileIdentity identityOf(const fs::path& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return {};
  FileIdentity identity = identityFrom(status);
  identity.extendedAttributes = hasAttributesBesidesLabel(path.c_str());
  return identity;
}

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

std::intptr_t File::openHandle(const fs::path& path, OpenMode mode, int& error) {
  // A new file is private until it is complete; others get the usual bits less the umask.
  const mode_t permissions = mode == OpenMode::CreateNew ? 0600 : 0666;
  const int fd = retryInterrupted(
      [&] { return ::open(path.c_str(), openFlags(mode) | O_CLOEXEC, permissions); });
  if (fd < 0) error = lastError();
  if (fd < 0) return NoHandle;
  // Opened without waiting for a FIFO's reader; its writes wait as usual.
  if (mode == OpenMode::Write) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

std::size_t File::read(std::span<char> buffer, int& error) {
  const ssize_t count = retryInterrupted([&] {
    return ::read(descriptor(handle_), buffer.data(),
                  std::min<std::size_t>(buffer.size(), INT_MAX));
  });
  error = count < 0 ? lastError() : 0;
  return count < 0 ? 0 : static_cast<std::size_t>(count);
}

std::size_t File::readArrived(std::span<char> buffer, int& error) {
  pollfd ready{descriptor(handle_), POLLIN, 0};
  error = 0;
  if (retryInterrupted([&] { return ::poll(&ready, 1, 0); }) <= 0) return 0;
  return read(buffer, error);
}

int File::seek(std::uint64_t offset) {
  const auto at = static_cast<off_t>(offset);
  if (at < 0 || static_cast<std::uint64_t>(at) != offset) return EOVERFLOW;
  errno = 0;
  return ::lseek(descriptor(handle_), at, SEEK_SET) < 0 ? lastError() : 0;
}

std::size_t File::writeSome(std::string_view bytes, int& error) {
  const ssize_t count = retryInterrupted([&] {
    return ::write(descriptor(handle_), bytes.data(), std::min<std::size_t>(bytes.size(), INT_MAX));
  });
  error = count <= 0 ? lastError() : 0;
  return count <= 0 ? 0 : static_cast<std::size_t>(count);
}

int File::close() {
  if (!isOpen()) return 0;
  errno = 0;
  // Not retried: after an interrupted close the descriptor is gone all the same.
  return ::close(descriptor(std::exchange(handle_, NoHandle))) == 0 ? 0 : lastError();
}

LockAttempt File::tryLock() {
  const int fd = descriptor(handle_);
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  LockAttempt locked;  // by the record lock, or Unsupported where it has none
  if (retryInterrupted([&] { return ::fcntl(fd, F_SETLK, &whole); }) != 0) {
    const int error = lastError();
    if (error == EAGAIN || error == EACCES) return busy(recordLockHolder(fd, whole));
    if (!noLocksHere(error)) return failed(error);
    locked.outcome = LockAttempt::Outcome::Unsupported;
  }
  if (wholeFileLocksAreRecordLocks(fd)) return locked;
  if (retryInterrupted([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) == 0) return {};
  const int error = lastError();
  if (noLocksHere(error)) return locked;
  // Let go of the record lock while the other is held elsewhere, so that no one waits on a
  // run that is itself waiting.
  whole.l_type = F_UNLCK;
  ::fcntl(fd, F_SETLK, &whole);
  return error == EWOULDBLOCK ? busy(0) : failed(error);
}

int File::markInUse() {
  const int fd = descriptor(handle_);
  if (retryInterrupted([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) == 0) return 0;
  return noLocksHere(errno) ? ENOTSUP : lastError();
}

int File::reserve(std::uintmax_t size) {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
      size > static_cast<std::uintmax_t>(limit.rlim_cur))
    return EFBIG;
#if defined(__linux__)
  // Blocks past the file's end, so that its content and its length stay as they are.
  const int result = retryInterrupted([&] {
    return ::fallocate(descriptor(handle_), FALLOC_FL_KEEP_SIZE, 0,
                       static_cast<off_t>(std::min<std::uintmax_t>(size, LLONG_MAX)));
  });
  if (result == 0) return 0;
  const int error = lastError();
  if (error == ENOSPC || error == EDQUOT || error == EFBIG) return error;
#endif
  return freeSpaceCovers(descriptor(handle_), size) ? 0 : ENOSPC;
}

int File::truncate(std::uintmax_t length) {
  const auto at = static_cast<off_t>(length);
  if (at < 0 || static_cast<std::uintmax_t>(at) != length) return EFBIG;
  const int result = retryInterrupted([&] { return ::ftruncate(descriptor(handle_), at); });
  return result == 0 ? 0 : lastError();
}

FileIdentity File::identity() const {
  struct stat status {};
  if (::fstat(descriptor(handle_), &status) != 0) return {};
  FileIdentity identity = identityFrom(status);
  identity.extendedAttributes = hasAttributesBesidesLabel(descriptor(handle_));
  return identity;
}

int File::takeOwnership(const FileIdentity& model) {
  errno = 0;
  const auto owner = static_cast<uid_t>(model.owner);
  const auto group = static_cast<gid_t>(model.group);
  return ::fchown(descriptor(handle_), owner, group) == 0 ? 0 : lastError();
}

int File::takePermissions(const FileIdentity& model) {
  errno = 0;
  const auto bits = static_cast<mode_t>(model.permissions);
  return ::fchmod(descriptor(handle_), bits) == 0 ? 0 : lastError();
}

void prepareProcess() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    // The lowest free descriptor is the one just found closed.
    if (::open("/dev/null", O_RDONLY) < 0) break;
  }
  std::signal(SIGXFSZ, SIG_IGN);
}

namespace {

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

HeldSignals::HeldSignals() { ::sigprocmask(SIG_BLOCK, &heldSet(), &maskBefore); }

HeldSignals::~HeldSignals() { release(); }

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

void HeldSignals::keepUntilExit() { held_ = false; }

}  // namespace hlext
