// The RecordError an action raises, for tests that expect one.
#pragma once

#include <optional>
#include <string>

#include "extract/diagnostics.hpp"
#include "record_io/record_error.hpp"

namespace hlext::testing {

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
  return error ? diagnosticLine(*error) : "(no error)";
}

}  // namespace hlext::testing
