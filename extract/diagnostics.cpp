#include "extract/diagnostics.hpp"

namespace hlext {

std::string diagnosticLine(const RecordError& error) {
  return std::string(ProgramName) + ": " + error.diagnostic();
}

std::string warningLine(const RecordWarning& warning) {
  return std::string(ProgramName) + ": warning: " + describeWarning(warning);
}

int exitStatusOf(const RecordError& error) {
  switch (error.kind()) {
    case ErrorKind::CannotOpen:
    case ErrorKind::ReadFailed:
    case ErrorKind::WriteFailed:
    case ErrorKind::CannotReplace:
    case ErrorKind::CannotLock:
    case ErrorKind::OutOfMemory: return ExitFileFailure;
    default: return ExitBadListing;
  }
}

}  // namespace hlext
