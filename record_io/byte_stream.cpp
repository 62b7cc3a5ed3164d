#include "record_io/byte_stream.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "record_io/file_system.hpp"
#include "record_io/held_signals.hpp"

namespace hlext {
namespace {

namespace fs = std::filesystem;

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
  OutputFailure close() override { return {ErrorKind::WriteFailed, flush()}; }

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
  OutputFailure close() override {
    if (records_.empty()) return {};
    std::string records;
    records.swap(records_);  // committed once, however often close() is called
    return commit(records);
  }

 protected:
  // Hands the gathered records to the destination.
  virtual OutputFailure commit(std::string_view records) = 0;

 private:
  std::string records_;
};

OutputFailure writeFailure(int error) {
  return {ErrorKind::WriteFailed, error == 0 ? std::string() : systemReason(error)};
}

OutputFailure writeAndClose(File& file, std::string_view records) {
  int error = file.writeAll(records);
  const int closeError = file.close();
  return writeFailure(error != 0 ? error : closeError);
}

// A FIFO, a terminal or a device: written in place through the one open made when the unit
// was opened, since opening such a file again would be seen by whoever is at its other end.
class SpecialFileSink final : public GatheringSink {
 public:
  explicit SpecialFileSink(File file) : file_(std::move(file)) {}

 private:
  OutputFailure commit(std::string_view records) override { return writeAndClose(file_, records); }

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

// A new file's name keeps at most this much of the target's, so that it stays within the
// 255 bytes a name may have when the target's own name is long.
constexpr std::size_t MaxKeptNameLength = 200;

// A name for a new file beside `target`, hidden where names with a leading dot are. Runs
// started at once differ in the clock and in their stack's address; creating the file
// exclusively settles any clash that is left.
fs::path temporaryName(const fs::path& target, unsigned attempt) {
  const int local = 0;
  const auto ticks =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  const auto address = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(&local));
  std::uint64_t mixed = ticks ^ (address << 20) ^ (attempt * 0x9E3779B97F4A7C15ULL);
  fs::path::string_type kept = target.filename().native();
  if (kept.size() > MaxKeptNameLength) kept.resize(MaxKeptNameLength);
  std::string digits;
  for (int digit = 0; digit < 12; ++digit, mixed >>= 4) digits += "0123456789abcdef"[mixed & 15];
  fs::path name(".");
  name += kept;
  name += "." + digits + ".new";
  return target.parent_path() / name;
}

constexpr unsigned MaxNameAttempts = 100;

void removeQuietly(const fs::path& path) {
  std::error_code ignored;
  fs::remove(path, ignored);
}

// A new file made beside a result file, private to its owner, and removed again when it goes
// unless it has taken the result file's place.
class NewFile {
 public:
  explicit NewFile(const fs::path& target) {
    for (unsigned attempt = 0; attempt < MaxNameAttempts; ++attempt) {
      path_ = temporaryName(target, attempt);
      file_ = File::open(path_, OpenMode::CreateNew);
      if (file_.isOpen() || file_.error() != EEXIST) break;
    }
    present_ = file_.isOpen();
  }
  ~NewFile() {
    file_.close();
    if (present_) removeQuietly(path_);
  }
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  File& file() { return file_; }

  std::error_code renameOver(const fs::path& target) {
    std::error_code error;
    fs::rename(path_, target, error);
    if (!error) present_ = false;
    return error;
  }

 private:
  fs::path path_;
  File file_;
  bool present_ = false;
};

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
bool inPlaceMayCure(int error) {
  return inPlaceMayCure(std::error_code(error, std::generic_category()));
}

// Rewrites the file itself: under an exclusive lock, so that runs doing the same take turns
// and never mix, and with the signals that end a run held from emptying it to its last byte.
// Opening an existing file does not ask to create it, which a sticky folder refuses for
// another user's file.
OutputFailure writeInPlace(const fs::path& target, std::string_view records) {
  File file = File::open(target, OpenMode::Write);
  if (!file.isOpen() && file.error() == ENOENT) file = File::open(target, OpenMode::Create);
  if (!file.isOpen()) return writeFailure(file.error());
  if (const int error = file.lock(); error != 0) return writeFailure(error);
  HeldSignals held;
  int error = file.truncate();
  if (error == 0) error = file.writeAll(records);
  const int closeError = file.close();
  return writeFailure(error != 0 ? error : closeError);
}

// A rename keeps what a user sees of the file besides its content only for a file with a single
// name that carries nothing a new file would lack (an access control list, other attributes).
bool renameMayKeepIdentity(const FileIdentity& old) {
  return old.exists && old.links == 1 && !old.extendedAttributes;
}

// Puts the records in a new file beside `target`, private until complete, which takes the old
// file's owner, group and permission bits and is then renamed over it, so that no reader ever
// finds a mix of two runs' results or a cut one, and a failure leaves the old file as it was.
// Gives nothing where the file is to be written in place instead: the folder refuses the new
// file or the rename, or the new file cannot look like the old one.
std::optional<OutputFailure> replaceByNewFile(const fs::path& target, const FileIdentity& old,
                                              std::string_view records) {
  // Held until the new file is renamed or gone (it goes first, as it was made last).
  HeldSignals held;
  NewFile replacement(target);
  File& file = replacement.file();
  if (!file.isOpen()) {
    if (inPlaceMayCure(file.error())) return std::nullopt;
    return writeFailure(file.error());
  }
  // The new file may not take the old one's owner or group, or may have taken a default
  // access control list of the folder's that the old one lacks.
  if (file.takeOwnership(old) != 0 || file.identity().extendedAttributes) return std::nullopt;
  int error = file.writeAll(records);
  if (error == 0) error = file.takePermissions(old);
  const int closeError = file.close();
  if (error != 0 || closeError != 0) return writeFailure(error != 0 ? error : closeError);
  // A signal that arrived ends the run once the new file is gone, with the old file in place.
  if (held.arrived()) return OutputFailure{};
  const std::error_code renamed = replacement.renameOver(target);
  if (!renamed) return OutputFailure{};
  if (inPlaceMayCure(renamed)) return std::nullopt;
  return OutputFailure{ErrorKind::CannotReplace, renamed.message()};
}

// A regular result file is replaced whole where that keeps its identity, and written in place
// everywhere else.
class ReplacingFileSink final : public GatheringSink {
 public:
  explicit ReplacingFileSink(fs::path name) : name_(std::move(name)) {}

 private:
  OutputFailure commit(std::string_view records) override {
    const fs::path target = followLinks(name_);
    const FileIdentity old = identityOf(target);
    if (renameMayKeepIdentity(old)) {
      if (std::optional<OutputFailure> replaced = replaceByNewFile(target, old, records))
        return *replaced;
    }
    return writeInPlace(target, records);
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
  OutputFailure close() override { return {}; }

 private:
  std::string& text_;
};

// The result file in memory: replaced whole at close, like the file.
class MemoryResultSink final : public GatheringSink {
 public:
  MemoryResultSink(std::string& text, bool& committed) : text_(text), committed_(committed) {}

 private:
  OutputFailure commit(std::string_view records) override {
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
  occupyClosedStandardStreams();
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
    File created = File::open(name, OpenMode::Create);
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
  // Opening an existing file for writing proves it writable without touching its contents or
  // its modification time; only a missing one is created.
  File file = File::open(name, OpenMode::Write);
  if (!file.isOpen() && file.error() == ENOENT) file = File::open(name, OpenMode::Create);
  if (!file.isOpen()) return {nullptr, systemReason(file.error())};
  if (fs::exists(status) && !fs::is_regular_file(status))
    return {std::make_unique<SpecialFileSink>(std::move(file)), {}};
  file.close();
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
