// A numbered statement: every open, read and write of a run is one, and its number and a short
// name of what it does identify it in diagnostics.
#pragma once

#include <string_view>

namespace hlext {

struct Statement {
  constexpr Statement() = default;
  // Deliberately implicit: a bare number is a statement without a name.
  constexpr Statement(int statementNumber, std::string_view statementName = {})  // NOLINT
      : number(statementNumber), name(statementName) {}

  int number = 0;
  std::string_view name;  // refers to a literal; empty when the statement has no name
};

}  // namespace hlext
