// Builds the two output vectors from the row table, every p shell turned from x, y, z order to
// y, z, x order.
#pragma once

#include <array>

#include "extract/orbital_row_table.hpp"

namespace hlext {

inline constexpr Text4 PShellMarker = text4("PX  ");

struct OutputVectors {
  std::array<float, RowCapacity> orbitalN{};
  std::array<float, RowCapacity> orbitalNext{};
};

// A row labelled `marker` ("PX  ", or "Px  " in the layouts of eight orbitals to a block) and
// the two rows after it are a p shell's x, y and z functions; they are written y, z, x.
// Partners beyond `rowCount` count as 0.0. Entries beyond `rowCount` are left as they are.
void reorderPShells(const OrbitalRowTable& table, int rowCount, OutputVectors& vectors,
                    const Text4& marker = PShellMarker);

}  // namespace hlext
