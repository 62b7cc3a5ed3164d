#include "record_io/byte_stream.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <system_error>
#include <utility>

// Files are reached through the platform's descriptors where it has them: a read then hands
// over what a pipe, a FIFO or a terminal holds at once, where the standard library's fread
// waits for a full buffer. Elsewhere, or when HLEXT_PORTABLE_FILES is defined, the standard
// library's streams stand in.
#if defined(HLEXT_PORTABLE_FILES)
#define HLEXT_FILE_DESCRIPTORS 0
#elif defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#define HLEXT_FILE_DESCRIPTORS 1
#elif defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <unistd.h>
#define HLEXT_FILE_DESCRIPTORS 1
#else
#define HLEXT_FILE_DESCRIPTORS 0
#endif

namespace hlext {
namespace {

namespace fs = std::filesystem;

std::string systemReason(int error) { return std::generic_category().message(error); }

bool isPermissionError(int error) { return error == EACCES || error == EPERM; }

// How a File is opened.
enum class OpenMode {
  Read,     // an existing file, for reading
  Create,   // a new file for writing; fails when the name exists
  Append,   // for writing at the end, creating a missing file; nothing else changes
  Replace,  // for writing from the start, emptying the file
  InPlace,  // an existing file (a FIFO, a device), for writing; no creating, no emptying
};

// The platform's handles. Each function gives -1 (or no handle) on failure, with errno set.
#if HLEXT_FILE_DESCRIPTORS

using Handle = int;
constexpr Handle NoHandle = -1;

int handleFlags(OpenMode mode) {
  switch (mode) {
    case OpenMode::Read: return O_RDONLY;
    case OpenMode::Create: return O_WRONLY | O_CREAT | O_EXCL;
    case OpenMode::Append: return O_WRONLY | O_CREAT | O_APPEND;
    case OpenMode::Replace: return O_WRONLY | O_CREAT | O_TRUNC;
    case OpenMode::InPlace: return O_WRONLY;
  }
  return O_RDONLY;
}

#if defined(_WIN32)
Handle openHandle(const fs::path& path, OpenMode mode) {
  return ::_wopen(path.c_str(), handleFlags(mode) | O_BINARY | O_NOINHERIT, _S_IREAD | _S_IWRITE);
}
long long readHandle(Handle fd, char* data, std::size_t size) {
  return ::_read(fd, data, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
}
long long writeHandle(Handle fd, const char* data, std::size_t size) {
  return ::_write(fd, data, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
}
int closeHandle(Handle fd) { return ::_close(fd); }
#else
Handle openHandle(const fs::path& path, OpenMode mode) {
  Handle fd = NoHandle;
  do fd = ::open(path.c_str(), handleFlags(mode) | O_CLOEXEC, 0666);
  while (fd < 0 && errno == EINTR);
  return fd;
}
long long readHandle(Handle fd, char* data, std::size_t size) {
  ssize_t count = -1;
  do count = ::read(fd, data, std::min<std::size_t>(size, INT_MAX));
  while (count < 0 && errno == EINTR);
  return count;
}
long long writeHandle(Handle fd, const char* data, std::size_t size) {
  ssize_t count = -1;
  do count = ::write(fd, data, std::min<std::size_t>(size, INT_MAX));
  while (count < 0 && errno == EINTR);
  return count;
}
int closeHandle(Handle fd) { return ::close(fd); }
#endif

#else  // the standard library's streams

using Handle = std::FILE*;
constexpr Handle NoHandle = nullptr;

const char* streamMode(OpenMode mode) {
  switch (mode) {
    case OpenMode::Read: return "rb";
    case OpenMode::Create: return "wbx";
    case OpenMode::Append: return "ab";
    case OpenMode::Replace: return "wb";
    case OpenMode::InPlace: return "wb";
  }
  return "rb";
}

Handle openHandle(const fs::path& path, OpenMode mode) {
  return std::fopen(path.string().c_str(), streamMode(mode));
}
long long readHandle(Handle file, char* data, std::size_t size) {
  const std::size_t count = std::fread(data, 1, size, file);
  return count == 0 && std::ferror(file) ? -1 : static_cast<long long>(count);
}
long long writeHandle(Handle file, const char* data, std::size_t size) {
  const std::size_t count = std::fwrite(data, 1, size, file);
  return count == 0 ? -1 : static_cast<long long>(count);
}
int closeHandle(Handle file) { return std::fclose(file) == 0 ? 0 : -1; }

#endif

int lastError() { return errno != 0 ? errno : EIO; }

// An open file of the file system, or the reason it could not be opened.
class File {
 public:
  File() = default;
  File(File&& other) noexcept
      : handle_(std::exchange(other.handle_, NoHandle)), error_(other.error_) {}
  File& operator=(File&& other) noexcept {
    std::swap(handle_, other.handle_);
    error_ = other.error_;
    return *this;
  }
  ~File() { close(); }

  static File open(const fs::path& path, OpenMode mode) {
    File file;
    errno = 0;
    file.handle_ = openHandle(path, mode);
    if (file.handle_ == NoHandle) file.error_ = lastError();
    return file;
  }

  bool isOpen() const { return handle_ != NoHandle; }
  // Why open() failed.
  int error() const { return error_; }

  // Bytes read into the front of `buffer`, 0 at the end; on failure 0 with `error` set.
  std::size_t read(std::span<char> buffer, int& error) {
    errno = 0;
    const long long count = readHandle(handle_, buffer.data(), buffer.size());
    error = count < 0 ? lastError() : 0;
    return count < 0 ? 0 : static_cast<std::size_t>(count);
  }

  // 0, or the reason the bytes could not all be written.
  int writeAll(std::string_view bytes) {
    while (!bytes.empty()) {
      errno = 0;
      const long long count = writeHandle(handle_, bytes.data(), bytes.size());
      if (count <= 0) return lastError();
      bytes.remove_prefix(static_cast<std::size_t>(count));
    }
    return 0;
  }

  // 0, or the reason closing failed (with a stream, the reason its last bytes failed).
  int close() {
    if (handle_ == NoHandle) return 0;
    errno = 0;
    return closeHandle(std::exchange(handle_, NoHandle)) == 0 ? 0 : lastError();
  }

 private:
  Handle handle_ = NoHandle;
  int error_ = 0;
};

// The listing, read as it arrives.
class FileSource final : public ByteSource {
 public:
  explicit FileSource(File file) : file_(std::move(file)) {}

  std::size_t read(std::span<char> buffer) override {
    int error = 0;
    const std::size_t count = file_.read(buffer, error);
    if (error != 0) failure_ = systemReason(error);
    return count;
  }
  std::string failure() const override { return failure_; }

 private:
  File file_;
  std::string failure_;
};

// Standard output, through the C library's stream, flushed statement by statement.
class ConsoleSink final : public ByteSink {
 public:
  std::string write(std::string_view bytes) override {
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size()) return failure();
    return {};
  }
  std::string flush() override {
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) return failure();
    return {};
  }
  std::string close() override { return flush(); }

 private:
  static std::string failure() { return errno != 0 ? systemReason(errno) : "output error"; }
};

// Gathers what a run writes to its result file, so that the file gets all of it in one step
// at close, or nothing when the run ends before.
class GatheringSink : public ByteSink {
 public:
  std::string write(std::string_view bytes) override {
    records_.append(bytes);
    return {};
  }
  std::string flush() override { return {}; }
  // Every write statement gives at least a line end, so nothing gathered means nothing written.
  std::string close() override {
    if (records_.empty()) return {};
    std::string records;
    records.swap(records_);  // committed once, however often close() is called
    return commit(records);
  }

 protected:
  // Hands the gathered records to the destination; an empty explanation means success.
  virtual std::string commit(std::string_view records) = 0;

 private:
  std::string records_;
};

std::string writeAndClose(File& file, std::string_view records) {
  int error = file.writeAll(records);
  const int closeError = file.close();
  if (error == 0) error = closeError;
  return error == 0 ? std::string() : systemReason(error);
}

// A FIFO, a terminal or a device: written in place through the one open made when the unit
// was opened, since opening such a file again would be seen by whoever is at its other end.
class SpecialFileSink final : public GatheringSink {
 public:
  explicit SpecialFileSink(File file) : file_(std::move(file)) {}

 private:
  std::string commit(std::string_view records) override { return writeAndClose(file_, records); }

  File file_;
};

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

// A name for a new file beside `target`, hidden where names with a leading dot are. Runs
// started at once differ in the clock and in their stack's address; creating the file
// exclusively settles any clash that is left.
fs::path temporaryName(const fs::path& target, unsigned attempt) {
  const int local = 0;
  const auto ticks =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  const auto address = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(&local));
  std::uint64_t mixed = ticks ^ (address << 20) ^ (attempt * 0x9E3779B97F4A7C15ULL);
  std::string name(1, '.');
  name += target.filename().string();
  name += '.';
  for (int digit = 0; digit < 12; ++digit, mixed >>= 4) name += "0123456789abcdef"[mixed & 15];
  name += ".new";
  return target.parent_path() / name;
}

constexpr unsigned MaxNameAttempts = 100;

File createBeside(const fs::path& target, fs::path& temporary) {
  File file;
  for (unsigned attempt = 0; attempt < MaxNameAttempts; ++attempt) {
    temporary = temporaryName(target, attempt);
    file = File::open(temporary, OpenMode::Create);
    if (file.isOpen() || file.error() != EEXIST) break;
  }
  return file;
}

// The new file takes the permission bits of the one it replaces.
void copyPermissions(const fs::path& from, const fs::path& to) {
  std::error_code error;
  const fs::perms bits = fs::status(from, error).permissions();
  if (!error) fs::permissions(to, bits, fs::perm_options::replace, error);
}

std::string writeInPlace(const fs::path& target, std::string_view records) {
  File file = File::open(target, OpenMode::Replace);
  if (!file.isOpen()) return systemReason(file.error());
  return writeAndClose(file, records);
}

// A regular result file (or a missing one) is replaced whole: the records go to a new file
// beside it, which is then renamed over it, so that no reader ever finds a mix of two runs'
// results or a cut one, and a failure leaves the old file as it was. Where the folder lets no
// file be made or renamed but the result file itself may be written, it is written in place.
class ReplacingFileSink final : public GatheringSink {
 public:
  explicit ReplacingFileSink(fs::path name) : name_(std::move(name)) {}

 private:
  std::string commit(std::string_view records) override {
    const fs::path target = followLinks(name_);
    fs::path temporary;
    File file = createBeside(target, temporary);
    if (!file.isOpen()) {
      if (isPermissionError(file.error())) return writeInPlace(target, records);
      return systemReason(file.error());
    }
    copyPermissions(target, temporary);
    std::string failure = writeAndClose(file, records);
    bool renameRefused = false;
    if (failure.empty()) {
      std::error_code renamed;
      fs::rename(temporary, target, renamed);
      if (!renamed) return {};
      failure = renamed.message();
      renameRefused =
          renamed == std::errc::permission_denied || renamed == std::errc::operation_not_permitted;
    }
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return renameRefused ? writeInPlace(target, records) : failure;
  }

  fs::path name_;
};

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  std::size_t read(std::span<char> buffer) override {
    const std::size_t count = std::min(buffer.size(), bytes_.size());
    std::copy_n(bytes_.data(), count, buffer.data());
    bytes_.remove_prefix(count);
    return count;
  }

 private:
  std::string_view bytes_;
};

class MemorySink final : public ByteSink {
 public:
  explicit MemorySink(std::string& text) : text_(text) {}
  std::string write(std::string_view bytes) override {
    text_.append(bytes);
    return {};
  }
  std::string flush() override { return {}; }
  std::string close() override { return {}; }

 private:
  std::string& text_;
};

// The result file in memory: replaced whole at close, like the file.
class MemoryResultSink final : public GatheringSink {
 public:
  MemoryResultSink(std::string& text, bool& committed) : text_(text), committed_(committed) {}

 private:
  std::string commit(std::string_view records) override {
    text_ = records;
    committed_ = true;
    return {};
  }

  std::string& text_;
  bool& committed_;
};

}  // namespace

bool UnitConnector::sameFile(const std::string&, const std::string&) { return false; }

void UnitConnector::warn(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }

FileConnector::FileConnector() : console_(std::make_unique<ConsoleSink>()) {
#if defined(SIGXFSZ)
  // A file-size limit then makes the write fail with a reason, as a full disk does, instead
  // of ending the run with the result file half replaced.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
}
FileConnector::~FileConnector() = default;

Opened<ByteSource> FileConnector::openInput(const std::string& name) {
  std::error_code ignored;
  if (fs::is_directory(name, ignored)) return {nullptr, systemReason(EISDIR)};
  File file = File::open(name, OpenMode::Read);
  if (!file.isOpen() && file.error() == ENOENT) {
    // A missing listing is created empty, as the result file is; when it cannot be, the
    // reason for that is the one to tell.
    File created = File::open(name, OpenMode::Append);
    if (!created.isOpen()) return {nullptr, systemReason(created.error())};
    created.close();
    file = File::open(name, OpenMode::Read);
  }
  if (!file.isOpen()) return {nullptr, systemReason(file.error())};
  return {std::make_unique<FileSource>(std::move(file)), {}};
}

Opened<ByteSink> FileConnector::openOutput(const std::string& name) {
  std::error_code ignored;
  const fs::file_status status = fs::status(name, ignored);
  if (fs::is_directory(status)) return {nullptr, systemReason(EISDIR)};
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    File special = File::open(name, OpenMode::InPlace);
    if (!special.isOpen()) return {nullptr, systemReason(special.error())};
    return {std::make_unique<SpecialFileSink>(std::move(special)), {}};
  }
  // Opening for appending creates a missing file and proves the file writable, without
  // touching its contents or its modification time.
  File probe = File::open(name, OpenMode::Append);
  if (!probe.isOpen()) return {nullptr, systemReason(probe.error())};
  probe.close();
  return {std::make_unique<ReplacingFileSink>(name), {}};
}

bool FileConnector::sameFile(const std::string& first, const std::string& second) {
  std::error_code error;
  const bool same = fs::equivalent(first, second, error);
  return same && !error;
}

MemoryConnector::MemoryConnector(std::string_view listing)
    : listing_(listing), console_(std::make_unique<MemorySink>(consoleText_)) {}
MemoryConnector::~MemoryConnector() = default;

Opened<ByteSource> MemoryConnector::openInput(const std::string&) {
  return {std::make_unique<MemorySource>(listing_), {}};
}

Opened<ByteSink> MemoryConnector::openOutput(const std::string&) {
  return {std::make_unique<MemoryResultSink>(resultText_, resultWritten_), {}};
}

}  // namespace hlext
