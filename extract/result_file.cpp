#include "extract/result_file.hpp"

#include <algorithm>
#include <array>

namespace hlext {
namespace {

void writeVector(RecordWriter& result, Statement statement, const Layout& layout,
                 const std::array<float, RowCapacity>& vector, std::int32_t rowCount) {
  std::array<WriteItem, RowCapacity> items{};
  const auto count = static_cast<std::size_t>(rowCount);
  std::copy_n(vector.begin(), count, items.begin());
  result.write(statement, layout, std::span<const WriteItem>(items.data(), count));
}

void writeEnergy(RecordWriter& result, Statement statement, const Layout& layout,
                 std::int32_t orbital, float energy) {
  const std::array<WriteItem, 2> items = {orbital, energy};
  result.write(statement, layout, items);
}

}  // namespace

void writeResult(RecordWriter& result, const StatementLayouts& layouts,
                 const FrontierOrbitals& orbitals, const OutputVectors& vectors) {
  const std::array<WriteItem, 1> rowCount = {orbitals.rowCount};
  result.write(statement::ResultRowCount, layouts.count, rowCount);
  writeEnergy(result, statement::ResultEnergyN, layouts.energyLine, orbitals.occupiedCount,
              orbitals.energyN);
  writeVector(result, statement::ResultVectorN, layouts.coefficients, vectors.orbitalN,
              orbitals.rowCount);
  writeEnergy(result, statement::ResultEnergyNext, layouts.energyLine, orbitals.occupiedCount + 1,
              orbitals.energyNext);
  writeVector(result, statement::ResultVectorNext, layouts.coefficients, vectors.orbitalNext,
              orbitals.rowCount);
}

}  // namespace hlext
