// Files through the standard library's streams only, for a system with neither POSIX nor
// Windows descriptors, and to test that path on Linux (HLEXT_PORTABLE_FILES). Streams have no
// locks, owners or private creation; reading waits until the buffer is full or the input ends.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <system_error>
#include <utility>

#include "record_io/file_system.hpp"

namespace hlext {
namespace {

namespace fs = std::filesystem;

// The failure `fault` for the reason the last call left in errno.
FileFailure lastFailure(FileFault fault) { return systemFailure(fault, errno != 0 ? errno : EIO); }

std::FILE* stream(std::intptr_t handle) { return reinterpret_cast<std::FILE*>(handle); }

const char* streamMode(OpenMode mode) {
  switch (mode) {
    case OpenMode::Read: return "rb";
    case OpenMode::Write: return "r+b";
    case OpenMode::Create: return "ab";
    case OpenMode::CreateNew: return "wbx";
  }
  return "rb";
}

// Done, or the Write failure for the reason in `error`, read as an errno value.
FileResult writeOutcome(const std::error_code& error) {
  if (!error) return {};
  return systemFailure(FileFault::Write, error.value() != 0 ? error.value() : EIO);
}

}  // namespace

FileValue<std::intptr_t> File::openHandle(const fs::path& path, OpenMode mode) {
  // A FIFO or a device opened for reading too would be its own reader: it is opened for
  // writing only, which for a stream means appending. Created files are new, so appending to
  // them writes from the start.
  std::error_code ignored;
  const bool special =
      mode == OpenMode::Write && !fs::is_regular_file(path, ignored) && fs::exists(path, ignored);
  errno = 0;
  std::FILE* opened = std::fopen(path.string().c_str(), special ? "ab" : streamMode(mode));
  if (opened == nullptr) return lastFailure(FileFault::Open);
  return reinterpret_cast<std::intptr_t>(opened);
}

FileValue<std::size_t> File::read(std::span<char> buffer) {
  errno = 0;
  const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), stream(handle_));
  if (got == 0 && std::ferror(stream(handle_))) return lastFailure(FileFault::Read);
  return got;
}

// A stream cannot tell what has arrived without waiting for more.
FileValue<std::size_t> File::readArrived(std::span<char>) { return std::size_t{0}; }

// std::fseek moves a long at a time, so a longer way goes from the start in steps.
FileResult File::seek(std::uint64_t offset) {
  errno = 0;
  if (std::fseek(stream(handle_), 0, SEEK_SET) != 0) return lastFailure(FileFault::Read);
  constexpr auto Step = static_cast<std::uint64_t>(LONG_MAX);
  while (offset > 0) {
    const std::uint64_t step = std::min(offset, Step);
    if (std::fseek(stream(handle_), static_cast<long>(step), SEEK_CUR) != 0)
      return lastFailure(FileFault::Read);
    offset -= step;
  }
  return {};
}

FileValue<std::size_t> File::writeSome(std::string_view bytes) {
  errno = 0;
  const std::size_t count = std::fwrite(bytes.data(), 1, bytes.size(), stream(handle_));
  if (count == 0) return lastFailure(FileFault::Write);
  return count;
}

FileResult File::close() {
  if (!isOpen()) return {};
  errno = 0;
  const int result = std::fclose(stream(std::exchange(handle_, NoHandle)));
  return result == 0 ? FileResult() : lastFailure(FileFault::Write);
}

FileValue<LockAttempt> File::tryLock() { return LockAttempt{LockAttempt::Outcome::Unsupported}; }

FileResult File::markInUse() { return systemFailure(FileFault::Write, ENOTSUP); }

FileResult File::reserve(std::uintmax_t) { return {}; }

FileResult File::truncate(std::uintmax_t length) {
  errno = 0;
  if (std::fflush(stream(handle_)) != 0) return lastFailure(FileFault::Write);
  std::error_code error;
  fs::resize_file(path_, length, error);
  return writeOutcome(error);
}

FileIdentity File::identity() const {
  FileIdentity identity = identityOf(path_);
  identity.links = 1;
  return identity;
}

FileResult File::takeOwnership(const FileIdentity&) { return {}; }

FileResult File::takePermissions(const FileIdentity& model) {
  std::error_code error;
  fs::permissions(path_, model.permissions, fs::perm_options::replace, error);
  return writeOutcome(error);
}

void prepareProcess() {
#if defined(SIGXFSZ)
  // A file-size limit makes a write fail with a reason, as a full disk does, instead of ending
  // the run, where the system has such limits.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
}

}  // namespace hlext
