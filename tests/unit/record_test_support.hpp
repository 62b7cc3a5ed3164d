// Helpers shared by the record layer tests.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "record_io/record_error.hpp"

namespace hlext::record_test {

// The RecordError `action` raises, if any.
template <typename Action>
std::optional<RecordError> errorOf(Action&& action) {
  try {
    action();
  } catch (const RecordError& error) {
    return error;
  }
  return std::nullopt;
}

template <typename Action>
std::string diagnosticOf(Action&& action) {
  const std::optional<RecordError> error = errorOf(action);
  return error ? error->diagnostic() : "(no error)";
}

// Text fit for a test name: control characters spelled out.
inline std::string printable(std::string_view text) {
  std::string out;
  for (char c : text)
    out += c == '\r' ? "<CR>" : c == '\t' ? "<TAB>" : c == '\n' ? "<LF>" : std::string(1, c);
  return out;
}

}  // namespace hlext::record_test
