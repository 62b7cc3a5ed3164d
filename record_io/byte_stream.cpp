#include "record_io/byte_stream.hpp"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

#include "record_io/file_system.hpp"
#include "record_io/result_commit.hpp"

namespace hlext {
namespace {

namespace fs = std::filesystem;

// The listing, read as it arrives. It is read again where the reading can start over at its
// first byte before any is read: a pipe, a FIFO or a terminal refuses.
class FileSource final : public ByteSource {
 public:
  FileSource(File file, bool created)
      : file_(std::move(file)), readAgain_(!file_.seek(0).failed()), created_(created) {}

  std::size_t read(std::span<char> buffer) override {
    const FileValue<std::size_t> count = waits_ ? file_.read(buffer) : file_.readArrived(buffer);
    if (!count.failed()) return count.value();
    failure_ = count.failure();
    return 0;
  }
  FileResult failure() const override { return failure_; }
  bool canReadAgain() const override { return readAgain_; }
  bool readAgainFrom(std::uint64_t offset) override {
    return readAgain_ && !file_.seek(offset).failed();
  }
  void stopWaiting() override { waits_ = readAgain_; }
  bool createdEmpty() const override { return created_; }

 private:
  File file_;
  bool readAgain_;
  bool waits_ = true;
  bool created_;
  FileResult failure_;
};

// Standard output, through the C library's stream, flushed statement by statement.
class ConsoleSink final : public ByteSink {
 public:
  FileResult write(std::string_view bytes) override {
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size()) return failure();
    return {};
  }
  FileResult flush() override {
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) return failure();
    return {};
  }
  FileResult close(const OutputWarning&) override { return flush(); }

 private:
  static FileFailure failure() {
    if (errno != 0) return systemFailure(FileFault::Write, errno);
    return {FileFault::Write, "output error"};
  }
};

// Gathers what a run writes to its result file, so that the file gets all of it in one step
// at close, or nothing when the run ends before.
class GatheringSink : public ByteSink {
 public:
  FileResult write(std::string_view bytes) override {
    records_.append(bytes);
    return {};
  }
  FileResult flush() override { return {}; }
  // Every write statement gives at least a line end, so nothing gathered means nothing written.
  FileResult close(const OutputWarning& warn) override {
    if (records_.empty()) return {};
    std::string records;
    records.swap(records_);  // committed once, however often close() is called
    return commit(records, warn);
  }

 protected:
  // Hands the gathered records to the destination.
  virtual FileResult commit(std::string_view records, const OutputWarning& warn) = 0;

 private:
  std::string records_;
};

// A FIFO, a terminal or a device: written in place through the one open made when the unit
// was opened, since opening such a file again would be seen by whoever is at its other end;
// a FIFO that had no reader then is opened once the result is known (writeSpecialFile).
class SpecialFileSink final : public GatheringSink {
 public:
  SpecialFileSink(File file, fs::path name) : file_(std::move(file)), name_(std::move(name)) {}

 private:
  FileResult commit(std::string_view records, const OutputWarning& warn) override {
    return writeSpecialFile(name_, file_, records, warn);
  }

  File file_;
  fs::path name_;
};

// A regular result file: committed as one transaction (result_commit.hpp).
class ReplacingFileSink final : public GatheringSink {
 public:
  explicit ReplacingFileSink(fs::path name) : name_(std::move(name)) {}

 private:
  FileResult commit(std::string_view records, const OutputWarning& warn) override {
    return commitResult(name_, records, warn);
  }

  fs::path name_;
};

// The failure of a unit whose file is a folder.
FileFailure folderFailure() { return systemFailure(FileFault::Open, std::errc::is_a_directory); }

}  // namespace

bool UnitConnector::sameFile(const std::string&, const std::string&) { return false; }

void UnitConnector::warn(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }

FileConnector::FileConnector() : console_(std::make_unique<ConsoleSink>()) {}
FileConnector::~FileConnector() = default;

Opened<ByteSource> FileConnector::openInput(const std::string& name) {
  std::error_code ignored;
  if (fs::is_directory(name, ignored)) return {nullptr, folderFailure()};
  File file = File::open(name, OpenMode::Read);
  const bool missing = file.openResult().failedWith(std::errc::no_such_file_or_directory);
  if (missing) {
    // A missing listing is created empty, as the result file is; when it cannot be, the
    // reason for that is the one to tell.
    File created = File::open(name, OpenMode::Create);
    if (!created.isOpen()) return {nullptr, created.openResult()};
    (void)created.close();
    file = File::open(name, OpenMode::Read);
  }
  if (!file.isOpen()) return {nullptr, file.openResult()};
  return {std::make_unique<FileSource>(std::move(file), missing), {}};
}

Opened<ByteSink> FileConnector::openOutput(const std::string& name) {
  std::error_code ignored;
  const fs::file_status status = fs::status(name, ignored);
  if (fs::is_directory(status)) return {nullptr, folderFailure()};
  // Opening an existing file for writing proves it writable without touching its contents or
  // its modification time; only a missing one is created.
  File file = File::open(name, OpenMode::Write);
  if (file.openResult().failedWith(std::errc::no_such_file_or_directory))
    file = File::open(name, OpenMode::Create);
  const bool readerAwaited =
      file.openResult().failedWith(std::errc::no_such_device_or_address) && fs::is_fifo(status);
  if (!file.isOpen() && !readerAwaited) return {nullptr, file.openResult()};
  if (fs::exists(status) && !fs::is_regular_file(status))
    return {std::make_unique<SpecialFileSink>(std::move(file), name), {}};
  (void)file.close();
  return {std::make_unique<ReplacingFileSink>(name), {}};
}

bool FileConnector::sameFile(const std::string& first, const std::string& second) {
  std::error_code error;
  const bool same = fs::equivalent(first, second, error);
  return same && !error;
}

}  // namespace hlext
