#include "extract/frontier_extraction.hpp"

#include <algorithm>

#include "extract/coefficient_pass.hpp"
#include "extract/final_set.hpp"
#include "extract/listing_messages.hpp"
#include "extract/listing_texts.hpp"

namespace hlext {
namespace {

constexpr Text4 OccupiedCountLabel = text4("RHF ");
constexpr Text4 EigenvectorHeading = text4("EIGE");
constexpr Text4 BlockHeaderLabel = text4("ROOT");
// The newer layouts' block header, looked out for while the block header search passes over
// records.
constexpr Text4 NewLayoutHeaderLabel = text4("Root");
constexpr int BlockColumns = 6;
// The records the first block header read passes over, its header among them.
constexpr std::size_t FirstHeaderRecords = 5;

bool isNewLayoutHeader(std::string_view text) {
  return isNewLayoutHeaderAt(text, text.find_first_not_of(' '));
}

// The statement that makes each search and the one that refuses the listing when it fails.
struct SearchStatements {
  Statement search;
  Statement refusal;
};
SearchStatements statementsOf(FrontierSearch kind) {
  using namespace statement;
  if (kind == FrontierSearch::OccupiedCount) return {OccupiedCountSearch, OccupiedCountRefused};
  if (kind == FrontierSearch::Heading) return {HeadingSearch, HeadingRefused};
  return {HeaderSearch, HeaderRefused};
}

}  // namespace

FrontierExtraction::FrontierExtraction(UnitConnector& connector) : run_(connector) {}

void FrontierExtraction::run() {
  run_.open();
  if (!findOccupiedCount()) return refuse(FrontierSearch::OccupiedCount);
  checkOpenShell();
  run_.echo(statement::EchoOccupiedCount, occupiedCount_);
  orbitals_.occupiedCount = occupiedCount_;
  if (!findEigenvectors()) return refuse(FrontierSearch::Heading);
  noteIteration();
  readFirstHeader();
  if (!locateBlock()) return refuse(FrontierSearch::BlockHeader);
  if (blockColumn_ < BlockColumns) checkNextColumn();
  readBlockEnergies(statement::BlockEnergies, layouts_.blockEnergies);
  orbitals_.rowCount = blockColumn_ < BlockColumns ? gatherSameBlock() : gatherSplit();
  reorderPShells(rows_, orbitals_.rowCount, vectors_);
  writeResult(run_.result(), layouts_, orbitals_, vectors_);
  warnOfIteration();
  run_.stop();
}

// The "RHF " record gives N in columns 59-61. A count below 1 names no orbital.
bool FrontierExtraction::findOccupiedCount() {
  const std::array<ReadItem, 2> items = {&label_, &occupiedCount_};
  if (!search(FrontierSearch::OccupiedCount, layouts_.occupiedCount, items, OccupiedCountLabel,
              {OccupiedCountLabel, isCountLookAlike}))
    return false;
  if (occupiedCount_ < 1)
    listing().rejectAs(statement::OccupiedCountSearch, BadOccupiedCount, listing().field(1));
  return true;
}

// A line of an open-shell calculation right after the count line: orbital N+1 is then not the
// lowest unoccupied orbital, whatever the run writes.
void FrontierExtraction::checkOpenShell() {
  if (const auto line = run_.openShellLine())
    run_.warn(statement::OccupiedCountSearch, {listing().recordNumber(), 0, 0, {}},
              openShellWarning(line->record, line->text, occupiedCount_));
}

// Another "RHF " record before the heading starts a later job of the same listing, whose
// eigenvectors the heading may be. The search stops at such a record too, keeps the last one
// and goes on, reading at most ScanLimit records in all.
bool FrontierExtraction::findEigenvectors() {
  RecordReader& reader = listing();
  const long long countRecord = reader.recordNumber();
  const std::array<SearchLabel, 2> labels = {
      searchLabel(layouts_.heading, EigenvectorHeading),
      searchLabel(layouts_.occupiedCount, OccupiedCountLabel)};
  lastSearch_ = {&layouts_.heading, EigenvectorHeading, countRecord + 1};
  reader.searches().lookOutFor(labels[0], ScanLimit, isHeadingLookAlike);
  LaterJob laterJob;
  while (true) {
    const auto read = static_cast<int>(reader.recordNumber() - countRecord);
    if (read == ScanLimit) return false;
    const SearchStop stop = reader.searches().searchAmong(labels, ScanLimit - read);
    if (stop.end == SearchEnd::Refused) return false;
    if (stop.end == SearchEnd::InputEnded) endSearch(FrontierSearch::Heading);
    if (stop.label == 0) break;
    laterJob = readLaterJob();
  }
  const std::array<ReadItem, 1> items = {&label_};
  if (auto bad =
          reader.read(statement::HeadingSearch, layouts_.heading, items, ReadFrom::CurrentRecord))
    reader.reject(*bad);
  if (laterJob.place.record > 0) warnOfLaterJob(laterJob, countRecord);
  return true;
}

// The heading just read may head the vectors of an SCF iteration rather than the final ones.
void FrontierExtraction::noteIteration() {
  const std::string_view heading = listing().lines().currentText();
  if (const auto iteration = iterationOf(heading))
    iterationSet_ = {listing().recordNumber(), *iteration, std::string(heading)};
}

// The count record the heading search stopped at, as the occupied-count search reads it; a
// count that does not convert is kept as it stands.
FrontierExtraction::LaterJob FrontierExtraction::readLaterJob() {
  Text4 laterLabel{};
  std::int32_t laterCount = 0;
  const std::array<ReadItem, 2> items = {&laterLabel, &laterCount};
  const auto bad = listing().read(statement::HeadingSearch, layouts_.occupiedCount, items,
                                  ReadFrom::CurrentRecord);
  if (bad) return {bad->place, std::nullopt};
  return {listing().lastRecord(), laterCount};
}

void FrontierExtraction::warnOfLaterJob(const LaterJob& laterJob, long long countRecord) {
  const long long heading = listing().recordNumber();
  run_.warn(statement::HeadingSearch, laterJob.place,
            laterJobWarning(layouts_.occupiedCount, laterJob.count, occupiedCount_, countRecord,
                            heading));
}

// The first block header stands five records after the heading, whatever its label. A
// "Root No." header among those records is a block of another layout.
void FrontierExtraction::readFirstHeader() {
  RecordReader& reader = listing();
  std::array<std::string_view, FirstHeaderRecords> ahead;
  const std::size_t shown = reader.lines().peek(ahead);
  const auto header =
      std::find_if(ahead.begin(), ahead.begin() + static_cast<long>(shown), isNewLayoutHeader);
  if (header != ahead.begin() + static_cast<long>(shown))
    newLayoutHeader_ = reader.recordNumber() + (header - ahead.begin()) + 1;
  auto& o = blockOrbitals_;
  const std::array<ReadItem, 6> items = {&o[0], &o[1], &o[2], &o[3], &o[4], &o[5]};
  headerSearched_ = false;
  const auto bad = reader.read(statement::FirstHeader, layouts_.firstHeader, items);
  if (bad) reader.reject(*bad, newLayoutHeader_ > 0 ? newLayoutNote(newLayoutHeader_) : "");
  if (newLayoutHeader_ > 0)
    run_.warn(statement::FirstHeader, {newLayoutHeader_, 0, 0, {}},
              newLayoutWarning(newLayoutHeader_));
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
  headerSearched_ = true;
  return search(FrontierSearch::BlockHeader, layouts_.header, items, BlockHeaderLabel,
                {NewLayoutHeaderLabel, isNewLayoutHeaderAt});
}

// Orbital N+1 is taken from the block column after orbital N's, whatever orbital the header
// lists there (blank reads 0 when N is the header's last orbital). Called while the header is
// the last record read.
void FrontierExtraction::checkNextColumn() {
  const std::int32_t listed = blockOrbitals_[static_cast<std::size_t>(blockColumn_)];
  const std::int32_t next = occupiedCount_ + 1;
  if (listed == next) return;
  // The header search reads the header's label before its orbitals.
  const std::size_t labelItems = headerSearched_ ? 1 : 0;
  FieldPlace field = listing().field(static_cast<std::size_t>(blockColumn_) + labelItems);
  const bool blank = field.text.find_first_not_of(' ') == std::string::npos;
  run_.warn(headerSearched_ ? statement::HeaderSearch : statement::FirstHeader, std::move(field),
            nextColumnWarning(occupiedCount_, blockColumn_, listed, blank));
}

void FrontierExtraction::readBlockEnergies(Statement statement, const Layout& layout) {
  auto& e = blockEnergies_;
  const std::array<ReadItem, 6> items = {&e[0], &e[1], &e[2], &e[3], &e[4], &e[5]};
  if (auto bad = listing().read(statement, layout, items)) listing().reject(*bad);
}

std::int32_t FrontierExtraction::gatherSameBlock() {
  const auto column = static_cast<std::size_t>(blockColumn_ - 1);
  orbitals_.energyN = blockEnergies_[column];
  orbitals_.energyNext = blockEnergies_[column + 1];
  const CoefficientPass pass(PassKind::SameBlock, statement::SameBlockPass, blockColumn_);
  const std::int32_t rowCount = pass.run(listing(), layouts_.row, rows_);
  run_.echo(statement::EchoRowCount, rowCount);
  return rowCount;
}

// Orbital N is the last column of its block and N+1 the first column of the next one. When
// the two blocks count different rows the result file is headed by a warning.
std::int32_t FrontierExtraction::gatherSplit() {
  orbitals_.energyN = blockEnergies_[BlockColumns - 1];
  const CoefficientPass first(PassKind::SplitFirst, statement::SplitFirstPass);
  const std::int32_t rowCount = first.run(listing(), layouts_.row, rows_);
  readBlockEnergies(statement::NextBlockEnergies, layouts_.nextBlockEnergies);
  orbitals_.energyNext = blockEnergies_[0];
  const CoefficientPass second(PassKind::SplitSecond, statement::SplitSecondPass);
  const std::int32_t nextRowCount = second.run(listing(), layouts_.row, rows_);
  if (nextRowCount == rowCount) return rowCount;
  run_.warn(statement::RowCountMismatch, listing().lastRecord(),
            rowCountWarning(occupiedCount_, rowCount, nextRowCount));
  run_.result().write(statement::RowCountMismatch, layouts_.notFound, {});
  return rowCount;
}

// Reads at most ScanLimit records and stops at the first whose label (always the first item)
// is `wanted`. Records with another label are passed over whatever their other fields hold; a
// matching record must convert in full.
bool FrontierExtraction::search(FrontierSearch kind, const Layout& layout,
                                std::span<const ReadItem> items, const Text4& wanted,
                                const LookOut& lookOut) {
  RecordReader& reader = listing();
  lastSearch_ = {&layout, wanted, reader.recordNumber() + 1};
  const std::array<SearchLabel, 1> labels = {searchLabel(layout, wanted)};
  reader.searches().lookOutFor(searchLabel(layout, lookOut.label), ScanLimit, lookOut.lookAlike);
  const SearchStop stop = reader.searches().searchAmong(labels, ScanLimit);
  if (stop.end == SearchEnd::InputEnded) endSearch(kind);
  if (stop.end == SearchEnd::Refused) return false;
  const Statement statement = statementsOf(kind).search;
  if (auto bad = reader.read(statement, layout, items, ReadFrom::CurrentRecord))
    reader.reject(*bad);
  return true;
}

// The end of the listing during a search: the diagnostic says where its label does stand, if
// anywhere.
void FrontierExtraction::endSearch(FrontierSearch kind) {
  listing().rejectEnd(statementsOf(kind).search, sightingNote(kind, false));
}

// Where a failed search's look-alike stands: its label in other columns, or for the block
// header search a header of another layout (unless the first header's warning named one).
std::string FrontierExtraction::sightingNote(FrontierSearch kind, bool afterRefusal) {
  const LabelSighting& sighting = listing().searches().sighting();
  if (kind == FrontierSearch::BlockHeader)
    return sighting.record > 0 && newLayoutHeader_ == 0 ? newLayoutNote(sighting.record)
                                                        : std::string();
  const bool count = kind == FrontierSearch::OccupiedCount;
  return afterRefusal ? sightingAfterRefusal(sighting, count)
                      : sightingAtEnd(*lastSearch_.layout, lastSearch_.wanted, sighting, count);
}

// The result file holds the one message, whichever search was refused; once it is written,
// standard error says which label was missing from which records and where it does stand.
void FrontierExtraction::refuse(FrontierSearch kind) {
  const bool header = kind == FrontierSearch::BlockHeader;
  if (header) warnOfIteration();
  std::string message =
      refusalWarning(*lastSearch_.layout, lastSearch_.wanted, lastSearch_.firstRecord,
                     listing().recordNumber(), header ? occupiedCount_ : 0);
  listing().searches().lookOnForLabel();
  message += sightingNote(kind, true);
  run_.refuse(statementsOf(kind).refusal, std::move(message));
}

// Vectors of an SCF iteration are not what the run is for. Where the listing can be read
// again, the rest of it is looked through for the final set hlext1 --final would take (the
// last of this job, else of the first later job that prints one), and the reader goes back.
void FrontierExtraction::warnOfIteration() {
  if (!iterationSet_) return;
  RecordReader& reader = listing();
  FinalSetSighting found;
  const bool look = reader.lines().canReadAgain();
  if (look) {
    const LineSource::Place here = reader.lines().place();
    const std::array<std::string_view, 2> phrases = {CountLinePhrase, EigenvectorsHeading};
    FinalSet set;
    long long job = 0;  // the count line of a later job, if the look has reached one
    while (reader.lines().seekText(phrases)) {
      const std::string_view text = reader.lines().currentText();
      if (countLineAt(text)) {
        if (found.headingRecord > 0) break;
        job = reader.recordNumber();
      } else if (isFinalHeading(text)) {
        FinalSetReader setReader(reader, occupiedCount_, FinalSetReader::Faults::EndTheSet);
        if (setReader.read(set)) found = {set.headingRecord, job};
      }
    }
    reader.lines().goBackTo(here);
  }
  run_.warn(statement::HeadingSearch, {iterationSet_->headingRecord, 0, 0, {}},
            iterationWarning(iterationSet_->heading, iterationSet_->iteration, found, look));
}

}  // namespace hlext
