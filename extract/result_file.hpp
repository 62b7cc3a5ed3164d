// The result file: the row count, then the energy line and coefficients of orbital N, then
// those of orbital N+1.
#pragma once

#include <cstdint>

#include "extract/p_shell_reorder.hpp"
#include "extract/statements.hpp"
#include "record_io/record_writer.hpp"

namespace hlext {

struct FrontierOrbitals {
  std::int32_t occupiedCount = 0;  // N
  float energyN = 0.0F;
  float energyNext = 0.0F;
  std::int32_t rowCount = 0;  // of orbital N; the length of both vectors
};

void writeResult(RecordWriter& result, const StatementLayouts& layouts,
                 const FrontierOrbitals& orbitals, const OutputVectors& vectors);

}  // namespace hlext
