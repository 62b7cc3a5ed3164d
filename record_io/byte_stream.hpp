// Where the bytes of a unit come from and go to: files and the console in a run; the tests'
// support library connects units to memory instead (tests/support/memory_connector.hpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "record_io/file_failure.hpp"

namespace hlext {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Fills the front of `buffer` with what the input has now, waiting only while it has
  // nothing; 0 means the end of the input, or a failure when failure() says one.
  virtual std::size_t read(std::span<char> buffer) = 0;
  // The last read's failure (FileFault::Read); done while reads succeed.
  virtual FileResult failure() const { return {}; }
  // Whether the input can be read again from an earlier byte, as a file on disk can; a pipe,
  // a FIFO or a terminal is read once. The answer holds for the source's whole life.
  virtual bool canReadAgain() const { return false; }
  // Makes the next read() hand over the input from byte `offset` on, counted from its first;
  // false when it cannot.
  virtual bool readAgainFrom(std::uint64_t /*offset*/) { return false; }
  // From here on read() hands over only what has already arrived and never waits for more: an
  // input that has nothing more at hand ends. An input on disk has all of it at hand.
  virtual void stopWaiting() {}
  // Whether the run created the input, empty, because it was missing.
  virtual bool createdEmpty() const { return false; }
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Hands `bytes` on.
  virtual FileResult write(std::string_view bytes) = 0;
  // Makes everything written so far reach its destination, where the sink does so before it
  // is closed.
  virtual FileResult flush() = 0;
  // Completes the output and lets go of the destination; warnings on the way go to `warn`.
  // A failure is a Write, or a Replace or a Lock of a result file (result_commit.hpp).
  virtual FileResult close(const OutputWarning& warn) = 0;
};

// Either an open stream or why it could not be opened (FileFault::Open).
template <typename Stream>
struct Opened {
  std::unique_ptr<Stream> stream;
  FileResult result;
};

// Opens the streams behind a run's units.
class UnitConnector {
 public:
  virtual ~UnitConnector() = default;
  // Opens an existing input, creating it empty when it does not exist.
  virtual Opened<ByteSource> openInput(const std::string& name) = 0;
  // Opens a result file, creating a missing one empty. What is written to it is gathered and
  // committed by close() (see result_commit.hpp): afterwards the file holds either all of it
  // or, after a failure, what it held before (written in place, a failure of the storage
  // after the room was secured can leave less).
  virtual Opened<ByteSink> openOutput(const std::string& name) = 0;
  // Standard output.
  virtual ByteSink& console() = 0;
  // True when both names lead to one file (a link either way, a hard link).
  virtual bool sameFile(const std::string& first, const std::string& second);
  // Hands on a warning, one line without its line feed: by default to standard error.
  virtual void warn(const std::string& line);
};

// Files in the working directory and the process's standard output; the entry point readies
// the process for them first (prepareProcess, file_system.hpp).
class FileConnector final : public UnitConnector {
 public:
  FileConnector();
  ~FileConnector() override;
  Opened<ByteSource> openInput(const std::string& name) override;
  Opened<ByteSink> openOutput(const std::string& name) override;
  ByteSink& console() override { return *console_; }
  bool sameFile(const std::string& first, const std::string& second) override;

 private:
  std::unique_ptr<ByteSink> console_;
};

}  // namespace hlext
