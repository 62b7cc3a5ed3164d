#include "record_io/record_error.hpp"

#include <cstdio>
#include <utility>

namespace hlext {
namespace {

// Field text is shown between double quotes; characters that would garble the line or the
// terminal are shown as escapes: control characters, and every byte from 0x80 up, since a
// damaged listing holds no trustworthy encoding and 0x9b alone starts a terminal command.
void appendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (byte < 0x20 || byte >= 0x7f) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", byte);
      out += escape;
    } else {
      out += c;
    }
  }
  out += '"';
}

// "statement 32 (block header search), unit 4 (hlext.dat), record 57, columns 13-17 "0.249"",
// leaving out the record and the field where there is none.
void appendPlace(std::string& line, Statement statement, int unit, const std::string& fileName,
                 const FieldPlace& place) {
  line += "statement " + std::to_string(statement.number);
  if (!statement.name.empty()) {
    line += " (";
    line += statement.name;
    line += ')';
  }
  line += ", unit " + std::to_string(unit) + " (" + fileName + ")";
  if (place.record > 0) line += ", record " + std::to_string(place.record);
  if (place.firstColumn > 0) {
    line += ", columns " + std::to_string(place.firstColumn) + "-" +
            std::to_string(place.lastColumn) + " ";
    appendQuoted(line, place.text);
  }
}

std::string describe(const RecordFailure& failure) {
  std::string line;
  appendPlace(line, failure.statement, failure.unit, failure.fileName, failure.place);
  line += ": ";
  line += kindName(failure);
  if (failure.kind == ErrorKind::CannotReplace || failure.kind == ErrorKind::CannotLock)
    line += " " + failure.fileName;
  if (!failure.reason.empty()) line += ": " + failure.reason;
  return line + failure.note;
}

RecordFailure streamFailure(ErrorKind kind, Statement statement, int unit, std::string fileName,
                            std::string reason) {
  RecordFailure failure;
  failure.kind = kind;
  failure.statement = statement;
  failure.unit = unit;
  failure.fileName = std::move(fileName);
  failure.reason = std::move(reason);
  return failure;
}

ErrorKind kindOf(FileFault fault) {
  switch (fault) {
    case FileFault::Open: return ErrorKind::CannotOpen;
    case FileFault::Read: return ErrorKind::ReadFailed;
    case FileFault::Write: return ErrorKind::WriteFailed;
    case FileFault::Replace: return ErrorKind::CannotReplace;
    case FileFault::Lock: return ErrorKind::CannotLock;
  }
  return ErrorKind::WriteFailed;
}

}  // namespace

std::string quotedField(std::string_view text) {
  std::string quoted;
  appendQuoted(quoted, text);
  return quoted;
}

std::string_view kindName(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::EndOfFile: return "end of file";
    case ErrorKind::BadInteger: return "bad integer";
    case ErrorKind::BadReal: return "bad real";
    case ErrorKind::Misplaced: return "not in its columns";
    case ErrorKind::CannotOpen: return "cannot open";
    case ErrorKind::ReadFailed: return "read failed";
    case ErrorKind::WriteFailed: return "write failed";
    case ErrorKind::CannotReplace: return "cannot replace";
    case ErrorKind::CannotLock: return "cannot lock";
    case ErrorKind::Unusable: return "unusable value";
    case ErrorKind::OutOfMemory: return "out of memory";
  }
  return "unknown error";
}

std::string_view kindName(const RecordFailure& failure) {
  if (failure.kind == ErrorKind::Unusable && !failure.unusableAs.empty()) return failure.unusableAs;
  return kindName(failure.kind);
}

std::string describeWarning(const RecordWarning& warning) {
  std::string line;
  appendPlace(line, warning.statement, warning.unit, warning.fileName, warning.place);
  return line + ": " + warning.message;
}

RecordError::RecordError(RecordFailure failure)
    : failure_(std::move(failure)), diagnostic_(describe(failure_)) {}

void raiseRecordError(RecordFailure failure) { throw RecordError(std::move(failure)); }

void raiseStreamError(ErrorKind kind, Statement statement, int unit, std::string fileName,
                      std::string reason) {
  raiseRecordError(streamFailure(kind, statement, unit, std::move(fileName), std::move(reason)));
}

RecordFailure recordFailureOf(const FileFailure& failure, Statement statement, int unit,
                              std::string fileName) {
  return streamFailure(kindOf(failure.fault), statement, unit, std::move(fileName), failure.reason);
}

void raiseFileFailure(const FileFailure& failure, Statement statement, int unit,
                      std::string fileName) {
  raiseRecordError(recordFailureOf(failure, statement, unit, std::move(fileName)));
}

}  // namespace hlext
