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

// The failure `fault` for the reason the last call left in errno.
FileFailure lastFailure(FileFault fault) { return systemFailure(fault, errno != 0 ? errno : EIO); }

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

FileValue<std::intptr_t> File::openHandle(const fs::path& path, OpenMode mode) {
  errno = 0;
  const int fd =
      ::_wopen(path.c_str(), openFlags(mode) | O_BINARY | O_NOINHERIT, _S_IREAD | _S_IWRITE);
  if (fd < 0) return lastFailure(FileFault::Open);
  return std::intptr_t{fd};
}

FileValue<std::size_t> File::read(std::span<char> buffer) {
  errno = 0;
  const int count = ::_read(descriptor(handle_), buffer.data(), chunk(buffer.size()));
  if (count < 0) return lastFailure(FileFault::Read);
  return static_cast<std::size_t>(count);
}

// A pipe cannot be asked here what has arrived without waiting for more.
FileValue<std::size_t> File::readArrived(std::span<char>) { return std::size_t{0}; }

FileResult File::seek(std::uint64_t offset) {
  // Seeking a pipe or a console is not defined here; only a file on disk is read again.
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor(handle_)));
  if (::GetFileType(handle) != FILE_TYPE_DISK) return systemFailure(FileFault::Read, ESPIPE);
  if (offset > static_cast<std::uint64_t>(INT64_MAX))
    return systemFailure(FileFault::Read, EOVERFLOW);
  errno = 0;
  const __int64 at = ::_lseeki64(descriptor(handle_), static_cast<__int64>(offset), SEEK_SET);
  return at < 0 ? lastFailure(FileFault::Read) : FileResult();
}

FileValue<std::size_t> File::writeSome(std::string_view bytes) {
  errno = 0;
  const int count = ::_write(descriptor(handle_), bytes.data(), chunk(bytes.size()));
  if (count <= 0) return lastFailure(FileFault::Write);
  return static_cast<std::size_t>(count);
}

FileResult File::close() {
  if (!isOpen()) return {};
  errno = 0;
  const int result = ::_close(descriptor(std::exchange(handle_, NoHandle)));
  return result == 0 ? FileResult() : lastFailure(FileFault::Write);
}

FileValue<LockAttempt> File::tryLock() {
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor(handle_)));
  OVERLAPPED whole{};
  const DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY;
  if (::LockFileEx(handle, flags, 0, MAXDWORD, MAXDWORD, &whole)) return LockAttempt{};
  switch (::GetLastError()) {
    case ERROR_NOT_SUPPORTED: return LockAttempt{LockAttempt::Outcome::Unsupported};
    case ERROR_LOCK_VIOLATION:
    case ERROR_IO_PENDING: return LockAttempt{LockAttempt::Outcome::Busy};
    default: return systemFailure(FileFault::Write, EACCES);
  }
}

// An open file cannot be removed here: the new file is kept by its own open until it is
// closed for the rename; nothing more marks it.
FileResult File::markInUse() { return systemFailure(FileFault::Write, ENOTSUP); }

FileResult File::reserve(std::uintmax_t) { return {}; }

FileResult File::truncate(std::uintmax_t length) {
  if (length > static_cast<std::uintmax_t>(INT64_MAX))
    return systemFailure(FileFault::Write, EFBIG);
  const errno_t error = ::_chsize_s(descriptor(handle_), static_cast<__int64>(length));
  return error == 0 ? FileResult() : systemFailure(FileFault::Write, error);
}

FileIdentity File::identity() const {
  FileIdentity identity;
  identity.exists = true;
  identity.links = 1;
  return identity;
}

FileResult File::takeOwnership(const FileIdentity&) { return {}; }

// Windows keeps only a read-only flag, which a new file does not need.
FileResult File::takePermissions(const FileIdentity&) { return {}; }

void prepareProcess() {}

}  // namespace hlext
