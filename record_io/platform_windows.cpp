// The file system of Windows, through the C runtime's descriptors and, for locks, the
// system's own calls. Windows has no owners or permission bits that a new file could take.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#if !defined(NOMINMAX)
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <utility>

#include "record_io/file_system.hpp"

namespace hlext {
namespace {

namespace fs = std::filesystem;

int lastError() { return errno != 0 ? errno : EIO; }

int descriptor(std::intptr_t handle) { return static_cast<int>(handle); }

int openFlags(OpenMode mode) {
  switch (mode) {
    case OpenMode::Read: return O_RDONLY;
    case OpenMode::Write: return O_WRONLY;
    case OpenMode::Create: return O_WRONLY | O_CREAT;
    case OpenMode::CreateNew: return O_WRONLY | O_CREAT | O_EXCL;
  }
  return O_RDONLY;
}

unsigned chunk(std::size_t size) {
  return static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX));
}

}  // namespace

std::intptr_t File::openHandle(const fs::path& path, OpenMode mode, int& error) {
  errno = 0;
  const int fd =
      ::_wopen(path.c_str(), openFlags(mode) | O_BINARY | O_NOINHERIT, _S_IREAD | _S_IWRITE);
  if (fd < 0) error = lastError();
  return fd < 0 ? NoHandle : fd;
}

std::size_t File::read(std::span<char> buffer, int& error) {
  errno = 0;
  const int count = ::_read(descriptor(handle_), buffer.data(), chunk(buffer.size()));
  error = count < 0 ? lastError() : 0;
  return count < 0 ? 0 : static_cast<std::size_t>(count);
}

// A pipe cannot be asked here what has arrived without waiting for more.
std::size_t File::readArrived(std::span<char>, int& error) {
  error = 0;
  return 0;
}

int File::seek(std::uint64_t offset) {
  // Seeking a pipe or a console is not defined here; only a file on disk is read again.
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor(handle_)));
  if (::GetFileType(handle) != FILE_TYPE_DISK) return ESPIPE;
  if (offset > static_cast<std::uint64_t>(INT64_MAX)) return EOVERFLOW;
  errno = 0;
  const __int64 at = ::_lseeki64(descriptor(handle_), static_cast<__int64>(offset), SEEK_SET);
  return at < 0 ? lastError() : 0;
}

std::size_t File::writeSome(std::string_view bytes, int& error) {
  errno = 0;
  const int count = ::_write(descriptor(handle_), bytes.data(), chunk(bytes.size()));
  error = count <= 0 ? lastError() : 0;
  return count <= 0 ? 0 : static_cast<std::size_t>(count);
}

int File::close() {
  if (!isOpen()) return 0;
  errno = 0;
  return ::_close(descriptor(std::exchange(handle_, NoHandle))) == 0 ? 0 : lastError();
}

LockAttempt File::tryLock() {
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor(handle_)));
  OVERLAPPED whole{};
  const DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY;
  if (::LockFileEx(handle, flags, 0, MAXDWORD, MAXDWORD, &whole)) return {};
  switch (::GetLastError()) {
    case ERROR_NOT_SUPPORTED: return {LockAttempt::Outcome::Unsupported};
    case ERROR_LOCK_VIOLATION:
    case ERROR_IO_PENDING: return {LockAttempt::Outcome::Busy, 0, 0};
    default: return {LockAttempt::Outcome::Failed, EACCES, 0};
  }
}

// An open file cannot be removed here: the new file is kept by its own open until it is
// closed for the rename; nothing more marks it.
int File::markInUse() { return ENOTSUP; }

int File::reserve(std::uintmax_t) { return 0; }

int File::truncate(std::uintmax_t length) {
  if (length > static_cast<std::uintmax_t>(INT64_MAX)) return EFBIG;
  return ::_chsize_s(descriptor(handle_), static_cast<__int64>(length));
}

FileIdentity File::identity() const {
  FileIdentity identity;
  identity.exists = true;
  identity.links = 1;
  return identity;
}

int File::takeOwnership(const FileIdentity&) { return 0; }

// Windows keeps only a read-only flag, which a new file does not need.
int File::takePermissions(const FileIdentity&) { return 0; }

void prepareProcess() {}

}  // namespace hlext
