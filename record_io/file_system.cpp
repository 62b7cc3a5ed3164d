#include "record_io/file_system.hpp"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <system_error>
#include <utility>

#if defined(HLEXT_PORTABLE_FILES)
#define HLEXT_FILE_DESCRIPTORS 0
#elif defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#if !defined(NOMINMAX)
#define NOMINMAX
#endif
#include <windows.h>
#define HLEXT_FILE_DESCRIPTORS 1
#elif defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#define HLEXT_POSIX_FILES 1
#define HLEXT_FILE_DESCRIPTORS 1
#if defined(__linux__) || defined(__APPLE__)
#include <sys/xattr.h>
#define HLEXT_EXTENDED_ATTRIBUTES 1
#endif
#else
#error "no file interface for this platform: define HLEXT_PORTABLE_FILES"
#endif

namespace hlext {
namespace {

namespace fs = std::filesystem;

int lastError() { return errno != 0 ? errno : EIO; }

#if HLEXT_FILE_DESCRIPTORS

int handleFlags(OpenMode mode) {
  switch (mode) {
    case OpenMode::Read: return O_RDONLY;
    case OpenMode::Write: return O_WRONLY;
    case OpenMode::Create: return O_WRONLY | O_CREAT;
    case OpenMode::CreateNew: return O_WRONLY | O_CREAT | O_EXCL;
  }
  return O_RDONLY;
}

#if defined(_WIN32)
int openHandle(const fs::path& path, OpenMode mode) {
  return ::_wopen(path.c_str(), handleFlags(mode) | O_BINARY | O_NOINHERIT, _S_IREAD | _S_IWRITE);
}
long long readHandle(int fd, char* data, std::size_t size) {
  return ::_read(fd, data, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
}
long long writeHandle(int fd, const char* data, std::size_t size) {
  return ::_write(fd, data, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
}
int closeHandle(int fd) { return ::_close(fd); }
#else
int openHandle(const fs::path& path, OpenMode mode) {
  // A new file is private until it is complete; others get the usual bits less the umask.
  const mode_t permissions = mode == OpenMode::CreateNew ? 0600 : 0666;
  int fd = -1;
  do fd = ::open(path.c_str(), handleFlags(mode) | O_CLOEXEC, permissions);
  while (fd < 0 && errno == EINTR);
  return fd;
}
long long readHandle(int fd, char* data, std::size_t size) {
  ssize_t count = -1;
  do count = ::read(fd, data, std::min<std::size_t>(size, INT_MAX));
  while (count < 0 && errno == EINTR);
  return count;
}
long long writeHandle(int fd, const char* data, std::size_t size) {
  ssize_t count = -1;
  do count = ::write(fd, data, std::min<std::size_t>(size, INT_MAX));
  while (count < 0 && errno == EINTR);
  return count;
}
int closeHandle(int fd) { return ::close(fd); }
#endif

#else  // the standard library's streams

const char* streamMode(OpenMode mode) {
  switch (mode) {
    case OpenMode::Read: return "rb";
    case OpenMode::Write: return "r+b";
    case OpenMode::Create: return "ab";
    case OpenMode::CreateNew: return "wbx";
  }
  return "rb";
}

#endif

#if HLEXT_EXTENDED_ATTRIBUTES
// Whether a file has extended attributes (an access control list among them), read as the
// NUL-separated names that `list` gives (the platform's listxattr or flistxattr with its target
// bound). The security label a system gives every file does not count: a new file in the same
// folder gets its own from the folder.
template <typename List>
bool hasAttributesBesidesLabel(List list) {
  std::string names(256, '\0');
  while (true) {
    const auto size = list(names.data(), names.size());
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
#endif

#if HLEXT_POSIX_FILES
FileIdentity identityFrom(const struct stat& status) {
  FileIdentity identity;
  identity.exists = true;
  identity.links = static_cast<std::uintmax_t>(status.st_nlink);
  identity.ownerKnown = true;
  identity.owner = static_cast<std::uintmax_t>(status.st_uid);
  identity.group = static_cast<std::uintmax_t>(status.st_gid);
  identity.permissions = static_cast<fs::perms>(status.st_mode & 07777);
  return identity;
}
#endif

}  // namespace

std::string systemReason(int error) { return std::generic_category().message(error); }

FileIdentity identityOf(const fs::path& path) {
#if HLEXT_POSIX_FILES
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return {};
  FileIdentity identity = identityFrom(status);
#if defined(__linux__)
  identity.extendedAttributes = hasAttributesBesidesLabel(
      [&](char* names, std::size_t size) { return ::listxattr(path.c_str(), names, size); });
#elif defined(__APPLE__)
  identity.extendedAttributes = hasAttributesBesidesLabel(
      [&](char* names, std::size_t size) { return ::listxattr(path.c_str(), names, size, 0); });
#endif
  return identity;
#else
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (error || !fs::exists(status)) return {};
  FileIdentity identity;
  identity.exists = true;
  identity.links = fs::hard_link_count(path, error);
  identity.permissions = status.permissions();
  return identity;
#endif
}

File::File(File&& other) noexcept
    : handle_(std::exchange(other.handle_, NoHandle)), error_(other.error_) {
#if defined(HLEXT_PORTABLE_FILES)
  path_ = std::move(other.path_);
#endif
}

File& File::operator=(File&& other) noexcept {
  std::swap(handle_, other.handle_);
  error_ = other.error_;
#if defined(HLEXT_PORTABLE_FILES)
  std::swap(path_, other.path_);
#endif
  return *this;
}

File File::open(const fs::path& path, OpenMode mode) {
  File file;
  errno = 0;
#if HLEXT_FILE_DESCRIPTORS
  file.handle_ = openHandle(path, mode);
#else
  // A FIFO or a device opened for reading too would be its own reader: it is opened for
  // writing only, which for a stream means appending. Created files are new, so appending to
  // them writes from the start.
  std::error_code ignored;
  const bool special =
      mode == OpenMode::Write && !fs::is_regular_file(path, ignored) && fs::exists(path, ignored);
  file.handle_ = std::fopen(path.string().c_str(), special ? "ab" : streamMode(mode));
  file.path_ = path;
#endif
  if (!file.isOpen()) file.error_ = lastError();
  return file;
}

bool File::isOpen() const { return handle_ != NoHandle; }

std::size_t File::read(std::span<char> buffer, int& error) {
  errno = 0;
#if HLEXT_FILE_DESCRIPTORS
  const long long count = readHandle(handle_, buffer.data(), buffer.size());
#else
  const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), handle_);
  const long long count = got == 0 && std::ferror(handle_) ? -1 : static_cast<long long>(got);
#endif
  error = count < 0 ? lastError() : 0;
  return count < 0 ? 0 : static_cast<std::size_t>(count);
}

int File::writeAll(std::string_view bytes) {
  while (!bytes.empty()) {
    errno = 0;
#if HLEXT_FILE_DESCRIPTORS
    const long long count = writeHandle(handle_, bytes.data(), bytes.size());
#else
    const auto count = static_cast<long long>(std::fwrite(bytes.data(), 1, bytes.size(), handle_));
#endif
    if (count <= 0) return lastError();
    bytes.remove_prefix(static_cast<std::size_t>(count));
  }
  return 0;
}

int File::close() {
  if (!isOpen()) return 0;
  errno = 0;
#if HLEXT_FILE_DESCRIPTORS
  const bool closed = closeHandle(std::exchange(handle_, NoHandle)) == 0;
#else
  const bool closed = std::fclose(std::exchange(handle_, NoHandle)) == 0;
#endif
  return closed ? 0 : lastError();
}

int File::lock() {
#if HLEXT_POSIX_FILES
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  int result = -1;
  do result = ::fcntl(handle_, F_SETLKW, &whole);
  while (result < 0 && errno == EINTR);
  if (result == 0) return 0;
  // A file system without locks (an NFS mount without its lock service) is written unlocked.
  const int error = lastError();
  return error == ENOLCK || error == EINVAL || error == ENOTSUP || error == EOPNOTSUPP ? 0 : error;
#elif HLEXT_FILE_DESCRIPTORS && defined(_WIN32)
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(handle_));
  OVERLAPPED whole{};
  if (::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) return 0;
  return ::GetLastError() == ERROR_NOT_SUPPORTED ? 0 : EACCES;
#else
  return 0;
#endif
}

int File::truncate() {
  errno = 0;
#if HLEXT_POSIX_FILES
  int result = -1;
  do result = ::ftruncate(handle_, 0);
  while (result < 0 && errno == EINTR);
  return result == 0 ? 0 : lastError();
#elif HLEXT_FILE_DESCRIPTORS && defined(_WIN32)
  return ::_chsize_s(handle_, 0);
#else
  std::error_code error;
  fs::resize_file(path_, 0, error);
  return error ? (error.value() != 0 ? error.value() : EIO) : 0;
#endif
}

FileIdentity File::identity() const {
#if HLEXT_POSIX_FILES
  struct stat status {};
  if (::fstat(handle_, &status) != 0) return {};
  FileIdentity identity = identityFrom(status);
#if defined(__linux__)
  identity.extendedAttributes = hasAttributesBesidesLabel(
      [&](char* names, std::size_t size) { return ::flistxattr(handle_, names, size); });
#elif defined(__APPLE__)
  identity.extendedAttributes = hasAttributesBesidesLabel(
      [&](char* names, std::size_t size) { return ::flistxattr(handle_, names, size, 0); });
#endif
  return identity;
#else
  FileIdentity identity;
  identity.exists = true;
  identity.links = 1;
  return identity;
#endif
}

int File::takeOwnership([[maybe_unused]] const FileIdentity& model) {
#if HLEXT_POSIX_FILES
  struct stat own {};
  errno = 0;
  if (::fstat(handle_, &own) != 0) return lastError();
  const FileIdentity current = identityFrom(own);
  if (!model.ownerKnown || (current.owner == model.owner && current.group == model.group)) return 0;
  return ::fchown(handle_, static_cast<uid_t>(model.owner), static_cast<gid_t>(model.group)) == 0
             ? 0
             : lastError();
#else
  return 0;
#endif
}

int File::takePermissions([[maybe_unused]] const FileIdentity& model) {
#if HLEXT_POSIX_FILES
  errno = 0;
  return ::fchmod(handle_, static_cast<mode_t>(model.permissions)) == 0 ? 0 : lastError();
#elif defined(HLEXT_PORTABLE_FILES)
  std::error_code error;
  std::filesystem::permissions(path_, model.permissions, std::filesystem::perm_options::replace,
                               error);
  return error ? error.value() : 0;
#else
  // Windows keeps only a read-only flag, which a new file does not need.
  return 0;
#endif
}

void occupyClosedStandardStreams() {
#if HLEXT_POSIX_FILES
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    // The lowest free descriptor is the one just found closed.
    if (::open("/dev/null", O_RDONLY) < 0) return;
  }
#endif
}

}  // namespace hlext
