#include "extract/frontier_extraction.hpp"

#include <algorithm>

#include "extract/coefficient_pass.hpp"
#include "extract/listing_messages.hpp"

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
  // Replacing the result would destroy the listing, or a run would read its own result.
  if (units_.sameFile(ListingFileName, ResultFileName))
    raiseStreamError(ErrorKind::CannotOpen, statement::OpenResult, ResultUnit, ResultFileName,
                     std::string("the same file as the listing ") + ListingFileName);
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
  RecordReader& listing = units_.reader(ListingUnit);
  if (occupiedCount_ < 1)
    listing.rejectAs(statement::OccupiedCountSearch, BadOccupiedCount, listing.field(1));
  return true;
}

// Another "RHF " record before the heading starts a later job of the same listing, whose
// eigenvectors the heading may be. The search stops at such a record too, keeps the last one
// and goes on, reading at most ScanLimit records in all.
bool FrontierExtraction::findEigenvectors() {
  RecordReader& listing = units_.reader(ListingUnit);
  const long long countRecord = listing.recordNumber();
  const std::array<SearchLabel, 2> labels = {
      searchLabel(layouts_.heading, EigenvectorHeading),
      searchLabel(layouts_.occupiedCount, OccupiedCountLabel)};
  lastSearch_ = {&layouts_.heading, EigenvectorHeading, countRecord + 1};
  listing.lookOutFor(labels[0], ScanLimit);
  LaterJob laterJob;
  while (true) {
    const auto read = static_cast<int>(listing.recordNumber() - countRecord);
    if (read == ScanLimit) return false;
    const SearchStop stop = listing.searchAmong(labels, ScanLimit - read);
    if (stop.end == SearchEnd::Refused) return false;
    if (stop.end == SearchEnd::InputEnded) endSearch(statement::HeadingSearch);
    if (stop.label == 0) break;
    laterJob = readLaterJob();
  }
  const std::array<ReadItem, 1> items = {&label_};
  listing.readCurrent(statement::HeadingSearch, layouts_.heading, items);
  if (laterJob.place.record > 0) warnOfLaterJob(laterJob, countRecord);
  return true;
}

// The count record the heading search stopped at, as the occupied-count search reads it; a
// count that does not convert is kept as it stands.
FrontierExtraction::LaterJob FrontierExtraction::readLaterJob() {
  RecordReader& listing = units_.reader(ListingUnit);
  Text4 laterLabel{};
  std::int32_t laterCount = 0;
  const std::array<ReadItem, 2> items = {&laterLabel, &laterCount};
  const auto bad = listing.scanCurrent(statement::HeadingSearch, layouts_.occupiedCount, items);
  if (bad) return {bad->place, std::nullopt};
  return {listing.lastRecord(), laterCount};
}

void FrontierExtraction::warnOfLaterJob(const LaterJob& laterJob, long long countRecord) {
  const long long heading = units_.reader(ListingUnit).recordNumber();
  warn(statement::HeadingSearch, laterJob.place,
       laterJobWarning(layouts_.occupiedCount, laterJob.count, occupiedCount_, countRecord,
                       heading));
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
  FieldPlace field =
      units_.reader(ListingUnit).field(static_cast<std::size_t>(blockColumn_) + (labelled ? 1 : 0));
  const bool blank = field.text.find_first_not_of(' ') == std::string::npos;
  warn(headerStatement_, std::move(field),
       nextColumnWarning(occupiedCount_, blockColumn_, listed, blank));
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
  warn(statement::RowCountMismatch, listing.lastRecord(),
       rowCountWarning(occupiedCount_, rowCount, nextRowCount));
  units_.writer(ResultUnit).write(statement::RowCountMismatch, layouts_.notFound, {});
  return rowCount;
}

// Reads at most ScanLimit records and stops at the first whose label (always the first item)
// is `wanted`. Records with another label are passed over whatever their other fields hold; a
// matching record must convert in full.
bool FrontierExtraction::search(Statement statement, const Layout& layout,
                                std::span<const ReadItem> items, const Text4& wanted) {
  RecordReader& listing = units_.reader(ListingUnit);
  lastSearch_ = {&layout, wanted, listing.recordNumber() + 1};
  const SearchEnd end = listing.search(statement, layout, items, wanted, ScanLimit);
  if (end == SearchEnd::InputEnded) endSearch(statement);
  return end == SearchEnd::Found;
}

// The end of the listing during a search. The occupied-count and heading searches say where
// their label does stand, if anywhere; the block header search does not, as the header of
// orbital N is missing rather than misplaced.
void FrontierExtraction::endSearch(Statement statement) {
  RecordReader& listing = units_.reader(ListingUnit);
  const bool count = statement.number == statement::OccupiedCountSearch.number;
  const bool sayWhere = count || statement.number == statement::HeadingSearch.number;
  const std::string note =
      sayWhere ? sightingAtEnd(*lastSearch_.layout, lastSearch_.wanted, listing.sighting(), count)
               : std::string();
  listing.rejectEnd(statement, note);
}

// The result file holds the one message, whichever search was refused; once it is written,
// standard error says which label was missing from which records and where it does stand.
void FrontierExtraction::refuse(Statement statement) {
  RecordReader& listing = units_.reader(ListingUnit);
  const bool header = statement.number == statement::HeaderRefused.number;
  std::string message =
      refusalWarning(*lastSearch_.layout, lastSearch_.wanted, lastSearch_.firstRecord,
                     listing.recordNumber(), header ? occupiedCount_ : 0);
  listing.lookOnForLabel();
  const bool count = statement.number == statement::OccupiedCountRefused.number;
  message += sightingAfterRefusal(listing.sighting(), count);
  units_.writer(ResultUnit).write(statement, layouts_.notFound, {});
  units_.stopRun();
  warn(statement, {}, std::move(message));
}

void FrontierExtraction::warn(Statement statement, FieldPlace place, std::string message) {
  units_.warn(units_.reader(ListingUnit).warning(statement, std::move(place), std::move(message)));
}

void FrontierExtraction::echo(Statement statement, std::int32_t value) {
  const std::array<WriteItem, 1> items = {value};
  units_.writer(ConsoleUnit).write(statement, layouts_.count, items);
}

}  // namespace hlext
