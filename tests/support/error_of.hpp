// The RecordError an action raises, for tests that expect one.
#pragma once

#include <optional>

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

}  // namespace hlext::testing
