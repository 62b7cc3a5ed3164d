// The file system and the process as the units reach them. One source file per platform
// implements this header, and CMake picks it: platform_posix.cpp (descriptors: a read hands
// over what a pipe, a FIFO or a terminal holds at once), platform_windows.cpp, and
// platform_stdio.cpp (the standard library's streams only, for any other system and to test
// that path on Linux). What the standard library alone gives for the last two is in
// platform_portable.cpp. Every call of a platform's own interface is in those files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "record_io/file_failure.hpp"

namespace hlext {

// How a File is opened.
enum class OpenMode {
  Read,       // an existing file, for reading
  Write,      // an existing file for writing from its start; nothing is created or emptied. A
              // FIFO that no process reads fails at once instead of waiting for one (ENXIO)
  Create,     // for writing, creating a missing file; used on missing files (a stream appends)
  CreateNew,  // a new file readable and writable by its owner only; fails when the name exists
};

// What a user sees of a file besides its content.
struct FileIdentity {
  bool exists = false;
  std::uintmax_t links = 0;
  // Where the platform has owners: the owner and group, and whether both are known. An id that
  // a user namespace does not map shows as the kernel's overflow id and is not known.
  bool ownerKnown = false;
  std::uintmax_t owner = 0;
  std::uintmax_t group = 0;
  std::filesystem::perms permissions = std::filesystem::perms::none;
  // Whether the owner, group and permission bits are the system's own (POSIX), so that a file
  // can be checked to have taken them.
  bool accessKnown = false;
  // An access control list or another extended attribute that a new file would not have.
  bool extendedAttributes = false;
};

// The identity of the file a name leads to (links followed).
FileIdentity identityOf(const std::filesystem::path& path);

// False where the folder is known to refuse the removal and renaming of its files (an
// append-only folder), so that a new file made in it could never be taken away again.
bool folderLetsGo(const std::filesystem::path& folder);

// How an attempt to lock a file went, where the lock could be asked for.
struct LockAttempt {
  enum class Outcome {
    Locked,       // locked
    Busy,         // another process holds a lock on it
    Unsupported,  // the file system has no locks: the file is written without
  };
  Outcome outcome = Outcome::Locked;
  long long holder = 0;  // Busy: the holder's process id, where the platform tells; else 0
};

// An open file of the file system, or the reason it could not be opened. A failure of opening
// is an Open, of reading or seeking a Read, of anything else a Write, each with the system's
// reason as its code.
class File {
 public:
  File() = default;
  File(File&& other) noexcept
      : handle_(std::exchange(other.handle_, NoHandle)),
        path_(std::move(other.path_)),
        opened_(std::move(other.opened_)) {}
  File& operator=(File&& other) noexcept {
    std::swap(handle_, other.handle_);
    std::swap(path_, other.path_);
    opened_ = std::move(other.opened_);
    return *this;
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() { (void)close(); }

  static File open(const std::filesystem::path& path, OpenMode mode) {
    File file;
    file.path_ = path;
    const FileValue<std::intptr_t> handle = openHandle(path, mode);
    if (handle.failed())
      file.opened_ = handle.failure();
    else
      file.handle_ = handle.value();
    return file;
  }

  bool isOpen() const { return handle_ != NoHandle; }
  // Why open() failed; done while the file is open.
  const FileResult& openResult() const { return opened_; }

  // The count of bytes read into the front of `buffer`, 0 at the end.
  FileValue<std::size_t> read(std::span<char> buffer);
  // As read(), but never waits: 0 as soon as nothing more has arrived, where the platform can
  // tell; where it cannot, 0 at once.
  FileValue<std::size_t> readArrived(std::span<char> buffer);
  // Makes the next read() start at byte `offset` from the file's start, unless it cannot (a
  // pipe, a FIFO or a terminal is read once, as it arrives).
  FileResult seek(std::uint64_t offset);
  // Writes all of `bytes`.
  FileResult writeAll(std::string_view bytes) {
    while (!bytes.empty()) {
      const FileValue<std::size_t> written = writeSome(bytes);
      if (written.failed()) return written.failure();
      bytes.remove_prefix(written.value());
    }
    return {};
  }
  // Closes the file; with a stream, a failure of its last bytes is the failure.
  FileResult close();

  // Tries once, without waiting, to lock the whole file exclusively against every kind of lock
  // the platform has (on POSIX systems both record locks and whole-file locks), held until the
  // file is closed.
  FileValue<LockAttempt> tryLock();
  // Marks the file as in use by this process for as long as this File stays open, in a way
  // that tryLock() elsewhere meets as Busy but that lets this process's other Files of it write
  // and close (on POSIX systems a whole-file lock; on Windows, where an open file cannot be
  // removed, nothing). Fails with std::errc::not_supported where nothing marks it (the platform
  // or the file system has no such lock), so that this File need not stay open.
  FileResult markInUse();
  // Secures the room for `size` bytes of content from the file's start without changing what
  // it holds; where nothing can be reserved, done when the file system's free space covers
  // what the file lacks. Fails where it does not fit (no space, a quota, the process's
  // file-size limit).
  FileResult reserve(std::uintmax_t size);
  // Cuts or extends the file to `length` bytes.
  FileResult truncate(std::uintmax_t length);
  // The identity of the open file.
  FileIdentity identity() const;
  // Gives the file the owner and group of `model`.
  FileResult takeOwnership(const FileIdentity& model);
  // Gives the file the permission bits of `model`.
  FileResult takePermissions(const FileIdentity& model);

 private:
  // The platform's open: a handle, never NoHandle.
  static FileValue<std::intptr_t> openHandle(const std::filesystem::path& path, OpenMode mode);
  // Writes a first part of `bytes`: how much, never 0.
  FileValue<std::size_t> writeSome(std::string_view bytes);

  static constexpr std::intptr_t NoHandle = -1;
  std::intptr_t handle_ = NoHandle;  // a descriptor or a stream, as the platform has it
  std::filesystem::path path_;       // the name it was opened by
  FileResult opened_;
};

// Readies the process for a run: fills closed standard descriptors 0, 1 and 2 with the null
// device opened for reading only, so that no file of the run takes their numbers and a write
// to a closed standard output still fails; and has a file-size limit make a write fail with a
// reason, as a full disk does, instead of ending the run.
void prepareProcess();

}  // namespace hlext
