#include "tests/support/memory_connector.hpp"

#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "tests/support/memory_input.hpp"

namespace hlext::testing {
namespace {

// The result file in memory: what a run writes reaches it whole at close, like the file, and
// nothing when the run ends before.
class MemoryResultSink final : public ByteSink {
 public:
  MemoryResultSink(std::string& text, bool& committed, const std::string& closeFailure)
      : text_(text), committed_(committed), closeFailure_(closeFailure) {}
  FileResult write(std::string_view bytes) override {
    gathered_.append(bytes);
    return {};
  }
  FileResult flush() override { return {}; }
  FileResult close(const OutputWarning&) override {
    if (!closeFailure_.empty()) return FileFailure{FileFault::Write, closeFailure_};
    if (gathered_.empty()) return {};
    text_.swap(gathered_);
    gathered_.clear();
    committed_ = true;
    return {};
  }

 private:
  std::string& text_;
  bool& committed_;
  const std::string& closeFailure_;
  std::string gathered_;
};

}  // namespace

MemoryConnector::MemoryConnector(std::string_view listing) : listing_(listing) {}

Opened<ByteSource> MemoryConnector::openInput(const std::string&) {
  if (outOfMemory) throw std::bad_alloc();
  if (!openFailure.empty()) return {nullptr, FileFailure{FileFault::Open, openFailure}};
  return {std::make_unique<MemorySource>(listing_, std::vector<std::size_t>{SIZE_MAX}, "", true),
          {}};
}

Opened<ByteSink> MemoryConnector::openOutput(const std::string&) {
  if (outOfMemory) throw std::bad_alloc();
  if (!openFailure.empty()) return {nullptr, FileFailure{FileFault::Open, openFailure}};
  return {std::make_unique<MemoryResultSink>(resultText_, resultWritten_, closeFailure), {}};
}

}  // namespace hlext::testing
