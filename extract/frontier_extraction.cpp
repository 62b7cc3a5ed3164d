#include "extract/frontier_extraction.hpp"

#include <algorithm>

#include "extract/coefficient_pass.hpp"

namespace hlext {
namespace {

constexpr Text4 OccupiedCountLabel = text4("RHF ");
constexpr Text4 EigenvectorHeading = text4("EIGE");
constexpr Text4 BlockHeaderLabel = text4("ROOT");
constexpr int BlockColumns = 6;

}  // namespace

FrontierExtraction::FrontierExtraction(UnitConnector& connector) : units_(connector) {}

void FrontierExtraction::run() {
  units_.open(statement::OpenListing, ListingUnit, ListingFileName);
  units_.open(statement::OpenResult, ResultUnit, ResultFileName);
  if (!findOccupiedCount()) return refuse(statement::OccupiedCountRefused);
  echo(statement::EchoOccupiedCount, occupiedCount_);
  orbitals_.occupiedCount = occupiedCount_;
  if (!findEigenvectors()) return refuse(statement::HeadingRefused);
  readFirstHeader();
  if (!locateBlock()) return refuse(statement::HeaderRefused);
  readBlockEnergies(statement::BlockEnergies, layouts_.blockEnergies);
  orbitals_.rowCount = blockColumn_ < BlockColumns ? gatherSameBlock() : gatherSplit();
  reorderPShells(rows_, orbitals_.rowCount, vectors_);
  writeResult(units_.writer(ResultUnit), layouts_, orbitals_, vectors_);
  units_.stopRun();
}

// The "RHF " record gives N in columns 59-61. A count below 1 names no orbital.
bool FrontierExtraction::findOccupiedCount() {
  const std::array<ReadItem, 2> items = {&label_, &occupiedCount_};
  if (!search(statement::OccupiedCountSearch, layouts_.occupiedCount, items, OccupiedCountLabel))
    return false;
  if (occupiedCount_ < 1)
    units_.reader(ListingUnit)
        .rejectItem(statement::OccupiedCountSearch, 1, ErrorKind::BadOccupiedCount);
  return true;
}

bool FrontierExtraction::findEigenvectors() {
  const std::array<ReadItem, 1> items = {&label_};
  return search(statement::HeadingSearch, layouts_.heading, items, EigenvectorHeading);
}

// The first block header stands five records after the heading, whatever its label.
void FrontierExtraction::readFirstHeader() {
  auto& o = blockOrbitals_;
  const std::array<ReadItem, 6> items = {&o[0], &o[1], &o[2], &o[3], &o[4], &o[5]};
  units_.reader(ListingUnit).read(statement::FirstHeader, layouts_.firstHeader, items);
}

// Moves from header to header until one holds orbital N; blockColumn_ is then its column.
bool FrontierExtraction::locateBlock() {
  while (true) {
    const auto found = std::find(blockOrbitals_.begin(), blockOrbitals_.end(), occupiedCount_);
    if (found != blockOrbitals_.end()) {
      blockColumn_ = static_cast<int>(found - blockOrbitals_.begin()) + 1;
      return true;
    }
    if (!findNextHeader()) return false;
  }
}

bool FrontierExtraction::findNextHeader() {
  auto& o = blockOrbitals_;
  const std::array<ReadItem, 7> items = {&label_, &o[0], &o[1], &o[2], &o[3], &o[4], &o[5]};
  return search(statement::HeaderSearch, layouts_.header, items, BlockHeaderLabel);
}

void FrontierExtraction::readBlockEnergies(Statement statement, const Layout& layout) {
  auto& e = blockEnergies_;
  const std::array<ReadItem, 6> items = {&e[0], &e[1], &e[2], &e[3], &e[4], &e[5]};
  units_.reader(ListingUnit).read(statement, layout, items);
}

std::int32_t FrontierExtraction::gatherSameBlock() {
  const auto column = static_cast<std::size_t>(blockColumn_ - 1);
  orbitals_.energyN = blockEnergies_[column];
  orbitals_.energyNext = blockEnergies_[column + 1];
  const CoefficientPass pass(PassKind::SameBlock, statement::SameBlockPass, blockColumn_);
  const std::int32_t rowCount = pass.run(units_.reader(ListingUnit), layouts_.row, rows_);
  echo(statement::EchoRowCount, rowCount);
  return rowCount;
}

// Orbital N is the last column of its block and N+1 the first column of the next one. When
// the two blocks count different rows the result file is headed by a warning.
std::int32_t FrontierExtraction::gatherSplit() {
  RecordReader& listing = units_.reader(ListingUnit);
  orbitals_.energyN = blockEnergies_[BlockColumns - 1];
  const CoefficientPass first(PassKind::SplitFirst, statement::SplitFirstPass);
  const std::int32_t rowCount = first.run(listing, layouts_.row, rows_);
  readBlockEnergies(statement::NextBlockEnergies, layouts_.nextBlockEnergies);
  orbitals_.energyNext = blockEnergies_[0];
  const CoefficientPass second(PassKind::SplitSecond, statement::SplitSecondPass);
  const std::int32_t nextRowCount = second.run(listing, layouts_.row, rows_);
  if (nextRowCount != rowCount)
    units_.writer(ResultUnit).write(statement::RowCountMismatch, layouts_.notFound, {});
  return rowCount;
}

// Reads at most ScanLimit records and stops at the first whose label (always the first item)
// is `wanted`. Records with another label are passed over whatever their other fields hold; a
// matching record must convert in full.
bool FrontierExtraction::search(Statement statement, const Layout& layout,
                                std::span<const ReadItem> items, const Text4& wanted) {
  return units_.reader(ListingUnit).search(statement, layout, items, wanted, ScanLimit);
}

void FrontierExtraction::refuse(Statement statement) {
  units_.writer(ResultUnit).write(statement, layouts_.notFound, {});
  units_.stopRun();
}

void FrontierExtraction::echo(Statement statement, std::int32_t value) {
  const std::array<WriteItem, 1> items = {value};
  units_.writer(ConsoleUnit).write(statement, layouts_.count, items);
}

}  // namespace hlext
