// How the file layer says that something failed: a FileFailure names what failed and why; an
// operation that gives nothing else gives a FileResult, done or failed, and one that gives a
// value a FileValue, the value or the failure. The record layer turns a FileFailure into a
// RecordError in one place (raiseFileFailure, record_error.hpp).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <variant>

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
  FileFailure(FileFault what, std::string why, std::error_code systemCode = {})
      : fault(what), reason(std::move(why)), code(systemCode) {}

  FileFault fault;
  std::string reason;    // the system's explanation, or what stood in the way
  std::error_code code;  // the system's reason, for callers that tell reasons apart; else none

  // The same failure as one of another kind, e.g. a new file's failed open as a failed write.
  FileFailure as(FileFault other) const { return {other, reason, code}; }
};

// The failure `fault` for the errno value `error`, with the system's explanation.
inline FileFailure systemFailure(FileFault fault, int error) {
  const std::error_code code(error, std::generic_category());
  return {fault, code.message(), code};
}
inline FileFailure systemFailure(FileFault fault, std::errc reason) {
  return systemFailure(fault, static_cast<int>(reason));
}

// The outcome of a file operation that gives nothing else: done, or the failure.
class [[nodiscard]] FileResult {
 public:
  FileResult() = default;  // done
  // A failure is a failed result wherever one is given.
  FileResult(FileFailure failure) : failure_(std::move(failure)) {}

  bool failed() const { return failure_.has_value(); }
  const FileFailure& failure() const { return *failure_; }
  // Whether it failed for the system's reason `reason`.
  bool failedWith(std::errc reason) const { return failed() && failure_->code == reason; }

 private:
  std::optional<FileFailure> failure_;
};

// The outcome of a file operation that gives a value: the value, or the failure.
template <typename Value>
class [[nodiscard]] FileValue {
 public:
  FileValue(Value value) : outcome_(std::move(value)) {}
  FileValue(FileFailure failure) : outcome_(std::move(failure)) {}

  bool failed() const { return std::holds_alternative<FileFailure>(outcome_); }
  const FileFailure& failure() const { return std::get<FileFailure>(outcome_); }
  const Value& value() const { return std::get<Value>(outcome_); }

 private:
  std::variant<Value, FileFailure> outcome_;
};

// Takes a warning that arises while an output is completed: the message alone, which the
// writer places as a diagnostic is.
using OutputWarning = std::function<void(const std::string& message)>;

}  // namespace hlext
