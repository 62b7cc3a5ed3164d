// A numbered statement: every open, read and write of a run is one, and its number and a short
// name of what it does identify it in diagnostics.
#pragma once

#include <string_view>

namespace hlext {

struct Statement {
  constexpr Statement() = default;
  // Deliberately implicit: a bare number is a statement without a name.
  constexpr Statement(int statementNumber, std::string_view statementName = {},  // NOLINT
                      bool alignedFields = false)
      : number(statementNumber), name(statementName), aligned(alignedFields) {}

  int number = 0;
  std::string_view name;  // refers to a literal; empty when the statement has no name
  // Every value must stand in its field as one piece (no blank inside it) and every skipped
  // column must be blank, so that a value shifted out of its columns is a failure rather
  // than a number made of pieces of two.
  bool aligned = false;
};

}  // namespace hlext
