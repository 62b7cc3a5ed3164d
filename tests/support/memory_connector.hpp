// Units connected to memory: an input listing held in a string and outputs collected into
// strings, for tests and fuzzing; on request every open is refused, or the outputs fail.
#pragma once

#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "record_io/byte_stream.hpp"

namespace hlext::testing {

// Keeps each write it is given and fails on request, giving a reason or, with outOfMemory,
// finding no memory for it.
class ScriptedSink final : public ByteSink {
 public:
  FileResult write(std::string_view bytes) override {
    writes.emplace_back(bytes);
    return failing(FileFault::Write, writeFailure);
  }
  FileResult flush() override {
    ++flushes;
    return failing(FileFault::Write, flushFailure);
  }
  FileResult close(const OutputWarning&) override { return failing(closeFault, closeFailure); }

  FileResult failing(FileFault fault, const std::string& failure) const {
    if (failure.empty()) return {};
    if (outOfMemory) throw std::bad_alloc();
    return FileFailure{fault, failure};
  }
  std::string text() const {
    std::string joined;
    for (const std::string& bytes : writes) joined += bytes;
    return joined;
  }

  std::vector<std::string> writes;
  int flushes = 0;
  std::string writeFailure;
  std::string flushFailure;
  std::string closeFailure;
  FileFault closeFault = FileFault::Write;
  bool outOfMemory = false;
};

class MemoryConnector final : public UnitConnector {
 public:
  explicit MemoryConnector(std::string_view listing);
  Opened<ByteSource> openInput(const std::string& name) override;
  Opened<ByteSink> openOutput(const std::string& name) override;
  ByteSink& console() override { return consoleSink; }
  void warn(const std::string& line) override { warnings_.push_back(line); }

  std::string consoleText() const { return consoleSink.text(); }
  const std::vector<std::string>& warnings() const { return warnings_; }
  const std::string& resultText() const { return resultText_; }
  // True once the output file was committed.
  bool resultWritten() const { return resultWritten_; }

  std::string openFailure;   // not empty: every open is refused with this reason
  bool outOfMemory = false;  // every open finds no memory
  std::string closeFailure;  // not empty: the result file fails to close with it
  ScriptedSink consoleSink;

 private:
  std::string_view listing_;
  std::string resultText_;
  bool resultWritten_ = false;
  std::vector<std::string> warnings_;
};

}  // namespace hlext::testing
