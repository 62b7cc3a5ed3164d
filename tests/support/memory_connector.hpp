// Units connected to memory: an input listing held in a string and outputs collected into
// strings, for tests and fuzzing; on request every open is refused, or the outputs fail to
// close.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "record_io/byte_stream.hpp"

namespace hlext::testing {

class MemoryConnector final : public UnitConnector {
 public:
  explicit MemoryConnector(std::string_view listing);
  ~MemoryConnector() override;
  Opened<ByteSource> openInput(const std::string& name) override;
  Opened<ByteSink> openOutput(const std::string& name) override;
  ByteSink& console() override { return *console_; }
  void warn(const std::string& line) override { warnings_.push_back(line); }

  const std::string& consoleText() const { return consoleText_; }
  const std::vector<std::string>& warnings() const { return warnings_; }
  const std::string& resultText() const { return resultText_; }
  // True once the output file was committed.
  bool resultWritten() const { return resultWritten_; }

  std::string openFailure;   // not empty: every open is refused with this reason
  bool outOfMemory = false;  // every open finds no memory
  std::string closeFailure;  // not empty: the console and result file fail to close with it

 private:
  std::string_view listing_;
  std::string consoleText_;
  std::string resultText_;
  bool resultWritten_ = false;
  std::vector<std::string> warnings_;
  std::unique_ptr<ByteSink> console_;
};

}  // namespace hlext::testing
