// The file system as the units reach it. Files are opened through the platform's descriptors
// where it has them (a read then hands over what a pipe, a FIFO or a terminal holds at once,
// where the standard library's fread waits for a full buffer), and through the standard
// library's streams elsewhere or when HLEXT_PORTABLE_FILES is defined. Every call of the
// platform's own interface that the tool makes is in file_system.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace hlext {

// How a File is opened.
enum class OpenMode {
  Read,       // an existing file, for reading
  Write,      // an existing file for writing from its start; nothing is created or emptied
  Create,     // for writing, creating a missing file; used on missing files (a stream appends)
  CreateNew,  // a new file readable and writable by its owner only; fails when the name exists
};

// What a user sees of a file besides its content.
struct FileIdentity {
  bool exists = false;
  std::uintmax_t links = 0;
  // Where the platform has owners: the owner and group, and whether they are known.
  bool ownerKnown = false;
  std::uintmax_t owner = 0;
  std::uintmax_t group = 0;
  std::filesystem::perms permissions = std::filesystem::perms::none;
  // An access control list or another extended attribute that a new file would not have.
  bool extendedAttributes = false;
};

// The identity of the file a name leads to (links followed).
FileIdentity identityOf(const std::filesystem::path& path);

// An open file of the file system, or the reason it could not be opened.
class File {
 public:
  File() = default;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() { close(); }

  static File open(const std::filesystem::path& path, OpenMode mode);

  bool isOpen() const;
  // Why open() failed.
  int error() const { return error_; }

  // Bytes read into the front of `buffer`, 0 at the end; on failure 0 with `error` set.
  std::size_t read(std::span<char> buffer, int& error);
  // 0, or the reason the bytes could not all be written.
  int writeAll(std::string_view bytes);
  // 0, or the reason closing failed (with a stream, the reason its last bytes failed).
  int close();

  // Waits for an exclusive lock on the whole file, held until it is closed, so that runs that
  // write the same file in place take turns. 0, or the reason; where the platform or the file
  // system has no locks, 0 without a lock.
  int lock();
  // Empties the file; 0 or the reason.
  int truncate();
  // The identity of the open file.
  FileIdentity identity() const;
  // Gives the file the owner and group of `model` where they differ; 0 or the reason.
  int takeOwnership(const FileIdentity& model);
  // Gives the file the permission bits of `model`; 0 or the reason.
  int takePermissions(const FileIdentity& model);

 private:
#if defined(HLEXT_PORTABLE_FILES)
  using Handle = std::FILE*;
  static constexpr Handle NoHandle = nullptr;
  std::filesystem::path path_;  // a stream cannot be emptied, its file can
#else
  using Handle = int;
  static constexpr Handle NoHandle = -1;
#endif
  Handle handle_ = NoHandle;
  int error_ = 0;
};

// Opens the null device on the standard descriptors 0, 1 and 2 that are closed, for reading
// only, so that no file of the run takes their numbers and a write to a closed standard output
// still fails.
void occupyClosedStandardStreams();

// The system's explanation of an errno value.
std::string systemReason(int error);

}  // namespace hlext
