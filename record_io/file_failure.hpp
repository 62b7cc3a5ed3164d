// How the file layer says that something failed: a FileFailure names what failed and why, and
// an operation that gives nothing else gives a FileResult, done or failed. The record layer
// turns a FileFailure into a RecordError in one place (raiseFileFailure, record_error.hpp).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

namespace hlext {

// What a failure of a file or a stream concerns.
enum class FileFault {
  Open,     // the file could not be opened
  Read,     // a read failed
  Write,    // a write failed, or the output could not be completed
  Replace,  // the new result file was written but could not take the old one's place
  Lock,     // another process held the file written in place for longer than a run waits
};

struct FileFailure {
  FileFault fault = FileFault::Write;
  std::string reason;  // the system's explanation, or what stood in the way
};

// The outcome of a file operation that gives nothing else: done, or the failure.
class [[nodiscard]] FileResult {
 public:
  FileResult() = default;  // done
  // A failure is a failed result wherever one is given.
  FileResult(FileFailure failure) : failure_(std::move(failure)) {}

  bool failed() const { return failure_.has_value(); }
  const FileFailure& failure() const { return *failure_; }

 private:
  std::optional<FileFailure> failure_;
};

// The system's explanation of an errno value.
inline std::string systemReason(int error) { return std::generic_category().message(error); }

// Done for the errno value 0; else the failure `fault` with the system's explanation.
inline FileResult systemOutcome(FileFault fault, int error) {
  if (error == 0) return {};
  return FileFailure{fault, systemReason(error)};
}

// Takes a warning that arises while an output is completed: the message alone, which the
// writer places as a diagnostic is.
using OutputWarning = std::function<void(const std::string& message)>;

}  // namespace hlext
