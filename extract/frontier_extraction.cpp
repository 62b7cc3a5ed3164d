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
  if (blockColumn_ < BlockColumns) checkNextColumn();
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

// Another "RHF " record before the heading starts a later job of the same listing, whose
// eigenvectors the heading may be; the search looks out for one without reading it otherwise.
bool FrontierExtraction::findEigenvectors() {
  const std::array<ReadItem, 1> items = {&label_};
  Text4 laterLabel{};
  std::int32_t laterCount = 0;
  const std::array<ReadItem, 2> laterItems = {&laterLabel, &laterCount};
  WatchedLabel laterJob{layouts_.occupiedCount, OccupiedCountLabel, laterItems};
  const long long countRecord = units_.reader(ListingUnit).recordNumber();
  if (!search(statement::HeadingSearch, layouts_.heading, items, EigenvectorHeading, &laterJob))
    return false;
  if (laterJob.record > 0) warnOfLaterJob(laterJob, laterCount, countRecord);
  return true;
}

void FrontierExtraction::warnOfLaterJob(const WatchedLabel& laterJob, std::int32_t laterCount,
                                        long long countRecord) {
  const std::string heading = std::to_string(units_.reader(ListingUnit).recordNumber());
  const std::string count = laterJob.bad ? "this count" : "count " + std::to_string(laterCount);
  const std::string message = "\"RHF \" in columns 11-14 with " + count + ", after the count " +
                              std::to_string(occupiedCount_) + " of record " +
                              std::to_string(countRecord) + " and before the heading of record " +
                              heading + ": the eigenvectors found may belong to a later job";
  if (!laterJob.bad) return warn(statement::HeadingSearch, laterJob.record, message);
  const ReadField field{laterJob.record, laterJob.bad->firstColumn, laterJob.bad->lastColumn,
                        laterJob.bad->text};
  warn(statement::HeadingSearch, laterJob.record, message, &field);
}

// The first block header stands five records after the heading, whatever its label.
void FrontierExtraction::readFirstHeader() {
  auto& o = blockOrbitals_;
  const std::array<ReadItem, 6> items = {&o[0], &o[1], &o[2], &o[3], &o[4], &o[5]};
  units_.reader(ListingUnit).read(statement::FirstHeader, layouts_.firstHeader, items);
  headerStatement_ = statement::FirstHeader;
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
  headerStatement_ = statement::HeaderSearch;
  return search(statement::HeaderSearch, layouts_.header, items, BlockHeaderLabel);
}

// Orbital N+1 is taken from the block column after orbital N's, whatever orbital the header
// lists there (blank reads 0 when N is the header's last orbital). Called while the header is
// the last record read.
void FrontierExtraction::checkNextColumn() {
  const std::int32_t listed = blockOrbitals_[static_cast<std::size_t>(blockColumn_)];
  const std::int32_t next = occupiedCount_ + 1;
  if (listed == next) return;
  // The header search reads the header's label before its orbitals.
  const bool labelled = headerStatement_.number == statement::HeaderSearch.number;
  const ReadField field =
      units_.reader(ListingUnit).field(static_cast<std::size_t>(blockColumn_) + (labelled ? 1 : 0));
  const bool blank = field.text.find_first_not_of(' ') == std::string::npos;
  const std::string holds =
      blank ? "is blank (read as 0)" : "lists orbital " + std::to_string(listed);
  warn(headerStatement_, field.record,
       "after orbital " + std::to_string(occupiedCount_) + " in block column " +
           std::to_string(blockColumn_) + ", block column " + std::to_string(blockColumn_ + 1) +
           " " + holds + ", not orbital " + std::to_string(next) +
           ": the energy and coefficients given for orbital " + std::to_string(next) +
           " in fort.50 are that column's",
       &field);
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
  if (nextRowCount == rowCount) return rowCount;
  const std::string n = std::to_string(occupiedCount_);
  const std::string next = std::to_string(occupiedCount_ + 1);
  warn(statement::RowCountMismatch, listing.recordNumber(),
       "orbital " + n + "'s block has " + std::to_string(rowCount) + " rows and orbital " + next +
           "'s block " + std::to_string(nextRowCount) +
           ", ending at this record: \"Eigenvectors are not found\" heads fort.50 for this, and "
           "both orbitals are written with " +
           std::to_string(rowCount) + " rows");
  units_.writer(ResultUnit).write(statement::RowCountMismatch, layouts_.notFound, {});
  return rowCount;
}

// Reads at most ScanLimit records and stops at the first whose label (always the first item)
// is `wanted`. Records with another label are passed over whatever their other fields hold; a
// matching record must convert in full.
bool FrontierExtraction::search(Statement statement, const Layout& layout,
                                std::span<const ReadItem> items, const Text4& wanted,
                                WatchedLabel* watched) {
  RecordReader& listing = units_.reader(ListingUnit);
  lastSearch_ = {&layout, wanted, listing.recordNumber() + 1};
  return listing.search(statement, layout, items, wanted, ScanLimit, watched);
}

// The result file holds the one message, whichever search was refused; once it is written,
// standard error says which label was missing from which records.
void FrontierExtraction::refuse(Statement statement) {
  const int column = lastSearch_.layout->labelColumn();
  const Text4& label = lastSearch_.wanted;
  std::string message = "no \"" + std::string(label.begin(), label.end()) + "\" in columns " +
                        std::to_string(column) + "-" + std::to_string(column + 3) + " of records " +
                        std::to_string(lastSearch_.firstRecord) + "-" +
                        std::to_string(units_.reader(ListingUnit).recordNumber());
  if (statement.number == statement::HeaderRefused.number)
    message += ", seeking the block header of orbital " + std::to_string(occupiedCount_);
  units_.writer(ResultUnit).write(statement, layouts_.notFound, {});
  units_.stopRun();
  warn(statement, 0, std::move(message));
}

void FrontierExtraction::warn(Statement statement, long long record, std::string message,
                              const ReadField* field) {
  RecordWarning warning = units_.reader(ListingUnit).warning(statement, record, std::move(message));
  if (field != nullptr) {
    warning.firstColumn = field->firstColumn;
    warning.lastColumn = field->lastColumn;
    warning.fieldText = field->text;
  }
  units_.warn(warning);
}

void FrontierExtraction::echo(Statement statement, std::int32_t value) {
  const std::array<WriteItem, 1> items = {value};
  units_.writer(ConsoleUnit).write(statement, layouts_.count, items);
}

}  // namespace hlext
