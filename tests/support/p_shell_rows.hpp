// Five basis functions with one p shell, for the process tests whose results must also show
// the rotation, and the coefficients such a result holds.
#pragma once

#include <vector>

#include "tests/support/listing_builder.hpp"

namespace hlext::testing {

inline const std::vector<BasisFunction> PShellRows = {
    {"S", "O", 1}, {"PX", "O", 1}, {"PY", "O", 1}, {"PZ", "O", 1}, {"S", "H", 2}};

// Orbital `orbital`'s coefficients as written over PShellRows and `rowCount` - 5 s functions
// after them: the p shell's x row after its y and z rows.
inline std::vector<double> rotated(int orbital, int rowCount = 5) {
  std::vector<double> values;
  for (int row : {1, 3, 4, 2}) values.push_back(coefficientOf(orbital, row));
  for (int row = 5; row <= rowCount; ++row) values.push_back(coefficientOf(orbital, row));
  return values;
}

}  // namespace hlext::testing
