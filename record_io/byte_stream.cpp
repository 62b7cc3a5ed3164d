#include "record_io/byte_stream.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace hlext {
namespace {

std::string systemReason(int error) { return std::generic_category().message(error); }

std::string lastSystemReason(const char* otherwise) {
  return errno != 0 ? systemReason(errno) : std::string(otherwise);
}

// A directory opens for reading on some systems; it is never a listing or a result file.
bool isDirectory(const std::string& name) {
  std::error_code ignored;
  return std::filesystem::is_directory(name, ignored);
}

class FileSource final : public ByteSource {
 public:
  explicit FileSource(std::FILE* file) : file_(file) {}
  ~FileSource() override { std::fclose(file_); }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  std::size_t read(std::span<char> buffer) override {
    errno = 0;
    const std::size_t count = std::fread(buffer.data(), 1, buffer.size(), file_);
    if (count == 0 && std::ferror(file_)) failure_ = lastSystemReason("input error");
    return count;
  }
  std::string failure() const override { return failure_; }

 private:
  std::FILE* file_;
  std::string failure_;
};

// Writes to a FILE* and reports its failures.
class StreamSink : public ByteSink {
 public:
  std::string write(std::string_view bytes) override {
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
      return lastSystemReason("output error");
    return {};
  }
  std::string flush() override {
    errno = 0;
    if (std::fflush(file_) != 0 || std::ferror(file_)) return lastSystemReason("output error");
    return {};
  }

 protected:
  std::FILE* file_ = nullptr;
};

class ConsoleSink final : public StreamSink {
 public:
  ConsoleSink() { file_ = stdout; }
  std::string close() override { return flush(); }
};

// The result file keeps what it holds until the first write: only then is it emptied and
// written from its start. A run that writes nothing leaves it as it was.
class ResultFileSink final : public StreamSink {
 public:
  explicit ResultFileSink(std::string name) : name_(std::move(name)) {}
  ~ResultFileSink() override {
    if (file_ != nullptr) std::fclose(file_);
  }
  ResultFileSink(const ResultFileSink&) = delete;
  ResultFileSink& operator=(const ResultFileSink&) = delete;

  std::string write(std::string_view bytes) override {
    if (file_ == nullptr) {
      errno = 0;
      file_ = std::fopen(name_.c_str(), "wb");
      if (file_ == nullptr) return lastSystemReason("cannot replace the file");
    }
    return StreamSink::write(bytes);
  }
  std::string flush() override { return file_ == nullptr ? std::string() : StreamSink::flush(); }
  std::string close() override {
    if (file_ == nullptr) return {};
    std::string failure = StreamSink::flush();
    errno = 0;
    if (std::fclose(file_) != 0 && failure.empty()) failure = lastSystemReason("output error");
    file_ = nullptr;
    return failure;
  }

 private:
  std::string name_;
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
  MemorySink(std::string& text, bool* written) : text_(text), written_(written) {}
  std::string write(std::string_view bytes) override {
    if (written_ != nullptr && !*written_) {
      text_.clear();
      *written_ = true;
    }
    text_.append(bytes);
    return {};
  }
  std::string flush() override { return {}; }
  std::string close() override { return {}; }

 private:
  std::string& text_;
  bool* written_;
};

}  // namespace

FileConnector::FileConnector() : console_(std::make_unique<ConsoleSink>()) {}
FileConnector::~FileConnector() = default;

Opened<ByteSource> FileConnector::openInput(const std::string& name) {
  if (isDirectory(name)) return {nullptr, systemReason(EISDIR)};
  errno = 0;
  std::FILE* file = std::fopen(name.c_str(), "rb");
  if (file == nullptr && errno == ENOENT) {
    // A missing listing is created empty, as the result file is.
    std::FILE* created = std::fopen(name.c_str(), "ab");
    if (created != nullptr) std::fclose(created);
    errno = 0;
    file = std::fopen(name.c_str(), "rb");
  }
  if (file == nullptr) return {nullptr, lastSystemReason("cannot open")};
  return {std::make_unique<FileSource>(file), {}};
}

Opened<ByteSink> FileConnector::openOutput(const std::string& name) {
  if (isDirectory(name)) return {nullptr, systemReason(EISDIR)};
  // Opening for appending creates a missing file and proves the file writable, without
  // touching its contents.
  errno = 0;
  std::FILE* probe = std::fopen(name.c_str(), "ab");
  if (probe == nullptr) return {nullptr, lastSystemReason("cannot open")};
  std::fclose(probe);
  return {std::make_unique<ResultFileSink>(name), {}};
}

MemoryConnector::MemoryConnector(std::string_view listing)
    : listing_(listing), console_(std::make_unique<MemorySink>(consoleText_, nullptr)) {}
MemoryConnector::~MemoryConnector() = default;

Opened<ByteSource> MemoryConnector::openInput(const std::string&) {
  return {std::make_unique<MemorySource>(listing_), {}};
}

Opened<ByteSink> MemoryConnector::openOutput(const std::string&) {
  return {std::make_unique<MemorySink>(resultText_, &resultWritten_), {}};
}

}  // namespace hlext
