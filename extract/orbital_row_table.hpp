// The coefficient rows gathered from the listing: for each basis function its shell label and
// its coefficients in orbitals N and N+1. Rows count from 1; cells never filled read as zero.
#pragma once

#include <array>
#include <cassert>

#include "record_io/items.hpp"

namespace hlext {

inline constexpr int RowCapacity = 300;

struct OrbitalRow {
  Text4 shellLabel = text4("    ");
  float coefficientN = 0.0F;
  float coefficientNext = 0.0F;
};

class OrbitalRowTable {
 public:
  OrbitalRow& row(int number) { return rows_[index(number)]; }
  const OrbitalRow& row(int number) const { return rows_[index(number)]; }

 private:
  static std::size_t index(int number) {
    assert(number >= 1 && number <= RowCapacity);
    return static_cast<std::size_t>(number - 1);
  }

  std::array<OrbitalRow, RowCapacity> rows_{};
};

}  // namespace hlext
