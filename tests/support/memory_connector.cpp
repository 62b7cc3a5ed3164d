#include "tests/support/memory_connector.hpp"

#include <algorithm>
#include <span>

#include "tests/support/memory_input.hpp"

namespace hlext::testing {
namespace {

// Collects what is written; the console keeps it as it comes.
class MemorySink final : public ByteSink {
 public:
  explicit MemorySink(std::string& text) : text_(text) {}
  FileResult write(std::string_view bytes) override {
    text_.append(bytes);
    return {};
  }
  FileResult flush() override { return {}; }
  FileResult close(const OutputWarning&) override { return {}; }

 private:
  std::string& text_;
};

// The result file in memory: what a run writes reaches it whole at close, like the file, and
// nothing when the run ends before.
class MemoryResultSink final : public ByteSink {
 public:
  MemoryResultSink(std::string& text, bool& committed) : text_(text), committed_(committed) {}
  FileResult write(std::string_view bytes) override {
    gathered_.append(bytes);
    return {};
  }
  FileResult flush() override { return {}; }
  FileResult close(const OutputWarning&) override {
    if (gathered_.empty()) return {};
    text_.swap(gathered_);
    gathered_.clear();
    committed_ = true;
    return {};
  }

 private:
  std::string& text_;
  bool& committed_;
  std::string gathered_;
};

}  // namespace

MemoryConnector::MemoryConnector(std::string_view listing)
    : listing_(listing), console_(std::make_unique<MemorySink>(consoleText_)) {}
MemoryConnector::~MemoryConnector() = default;

Opened<ByteSource> MemoryConnector::openInput(const std::string&) {
  return {std::make_unique<RereadableSource>(listing_), {}};
}

Opened<ByteSink> MemoryConnector::openOutput(const std::string&) {
  return {std::make_unique<MemoryResultSink>(resultText_, resultWritten_), {}};
}

}  // namespace hlext::testing
