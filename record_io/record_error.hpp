// The one fatal error of a run. Every failure of a statement (a field that does not convert,
// the end of the listing, a file that cannot be opened, an output that cannot be written, a
// listing the extraction must refuse) becomes a RecordError, raised by raiseRecordError and
// turned into a diagnostic and an exit status by the entry point.
#pragma once

#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "record_io/file_failure.hpp"
#include "record_io/statement.hpp"

namespace hlext {

enum class ErrorKind {
  EndOfFile,
  BadInteger,
  BadReal,
  Misplaced,  // a value or text outside the columns an aligned statement reads it from
  CannotOpen,
  ReadFailed,
  WriteFailed,
  CannotReplace,  // the result was written to a new file that could not take the old one's place
  CannotLock,     // another process held the result file written in place too long
  Unusable,       // a value that converted but that the caller cannot use, under a kind it names
  OutOfMemory,
};

// Text of a listing between double quotes, as a diagnostic shows it: control characters and
// bytes from 0x80 up as escapes.
std::string quotedField(std::string_view text);

// The name a diagnostic gives the kind, e.g. "bad integer".
std::string_view kindName(ErrorKind kind);

// Where in a unit's file a failure or a warning stands.
struct FieldPlace {
  long long record = 0;  // line number in the file, from 1; 0 when no single record is meant
  int firstColumn = 0;   // columns of the field meant; 0 when no field is
  int lastColumn = 0;
  std::string text;  // the field as read
};

struct RecordFailure {
  ErrorKind kind = ErrorKind::EndOfFile;
  std::string_view unusableAs;  // the caller's name for the kind, when it is Unusable
  Statement statement;
  int unit = 0;
  std::string fileName;
  FieldPlace place;
  std::string reason;  // the system's explanation for a file or stream failure, or the caller's
  std::string note;    // what the caller adds, e.g. where a label the run missed does stand
};

// The name a diagnostic gives the failure's kind: the caller's name for an unusable value.
std::string_view kindName(const RecordFailure& failure);

// Something the listing shows that the result does not: the run goes on as without it.
struct RecordWarning {
  Statement statement;
  int unit = 0;
  std::string fileName;
  FieldPlace place;
  std::string message;
};

// One line, without a line feed and without the program's name that the caller puts before
// it, e.g.
// statement 16 (occupied count not found), unit 4 (hlext.dat): no "RHF " in columns 11-14 of
// records 1-500
std::string describeWarning(const RecordWarning& warning);

class RecordError : public std::exception {
 public:
  explicit RecordError(RecordFailure failure);

  const RecordFailure& failure() const { return failure_; }
  ErrorKind kind() const { return failure_.kind; }
  // One line, without a line feed and without the program's name that the caller puts before
  // it, e.g.
  // statement 32 (block header search), unit 4 (hlext.dat), record 57, columns 13-17 "0.249":
  // bad integer
  const std::string& diagnostic() const { return diagnostic_; }
  const char* what() const noexcept override { return diagnostic_.c_str(); }

 private:
  RecordFailure failure_;
  std::string diagnostic_;
};

// The only place a RecordError is thrown.
[[noreturn]] void raiseRecordError(RecordFailure failure);

// A failure of a unit's file or stream as a whole (no record or field involved), with the
// system's explanation.
[[noreturn]] void raiseStreamError(ErrorKind kind, Statement statement, int unit,
                                   std::string fileName, std::string reason);

// The failure of the file layer `failure`, met by `statement` on `unit`, as a record failure:
// the one place a FileFault becomes an ErrorKind.
RecordFailure recordFailureOf(const FileFailure& failure, Statement statement, int unit,
                              std::string fileName);
// Raises recordFailureOf(...).
[[noreturn]] void raiseFileFailure(const FileFailure& failure, Statement statement, int unit,
                                   std::string fileName);

// Runs `work`, the body of `statement` on `unit`. Memory that cannot be had anywhere inside it
// (std::bad_alloc from deep within the standard library) ends the run as a failure of that
// statement, out of memory, rather than as an internal error.
template <typename Work>
void runStatement(Statement statement, int unit, const std::string& fileName, Work&& work) {
  try {
    std::forward<Work>(work)();
  } catch (const std::bad_alloc&) {
    raiseStreamError(ErrorKind::OutOfMemory, statement, unit, fileName, {});
  }
}

}  // namespace hlext
