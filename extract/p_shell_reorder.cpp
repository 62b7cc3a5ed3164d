#include "extract/p_shell_reorder.hpp"

#include <cassert>

namespace hlext {
namespace {

// Copies row `from` of the table into entry `to` of both vectors; a row beyond the count
// contributes zeros.
void place(const OrbitalRowTable& table, int rowCount, int from, int to, OutputVectors& vectors) {
  if (to > rowCount) return;
  const bool filled = from <= rowCount;
  const auto entry = static_cast<std::size_t>(to - 1);
  vectors.orbitalN[entry] = filled ? table.row(from).coefficientN : 0.0F;
  vectors.orbitalNext[entry] = filled ? table.row(from).coefficientNext : 0.0F;
}

}  // namespace

void reorderPShells(const OrbitalRowTable& table, int rowCount, OutputVectors& vectors,
                    const Text4& marker) {
  assert(rowCount >= 0 && rowCount <= RowCapacity);
  int i = 1;
  while (i <= rowCount) {
    if (table.row(i).shellLabel != marker) {
      place(table, rowCount, i, i, vectors);
      i += 1;
      continue;
    }
    place(table, rowCount, i + 1, i, vectors);
    place(table, rowCount, i + 2, i + 1, vectors);
    place(table, rowCount, i, i + 2, vectors);
    i += 3;
  }
}

}  // namespace hlext
