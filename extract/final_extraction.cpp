#include "extract/final_extraction.hpp"

#include <array>
#include <string_view>
#include <utility>

#include "extract/listing_messages.hpp"
#include "extract/listing_texts.hpp"
#include "extract/result_file.hpp"

namespace hlext {
namespace {

// The forms of the count line: where its phrase starts (from 0), the layout N is read under,
// and the columns (from 0) N must stand within.
struct CountLineForm {
  std::size_t phraseAt;
  const Layout* layout;
  std::size_t countFirst;
  std::size_t countEnd;
};

constexpr std::array<CountLineForm, 2> CountLineForms = {
    CountLineForm{ListedCountAt, &StatementLayouts::occupiedCount, 58, 61},
    CountLineForm{LeftCountAt, &StatementLayouts::leftCountLine, 54, 59}};

const CountLineForm* formAt(std::size_t phraseAt) {
  for (const CountLineForm& form : CountLineForms)
    if (form.phraseAt == phraseAt) return &form;
  return nullptr;
}

FieldPlace placeOf(long long record, std::size_t at, std::string_view text) {
  const int first = static_cast<int>(at) + 1;
  return {record, first, first + static_cast<int>(text.size()) - 1, std::string(text)};
}

}  // namespace

FinalExtraction::FinalExtraction(UnitConnector& connector) : run_(connector) {}

void FinalExtraction::run() {
  run_.open();
  scanListing();
  finish();
}

// Reads the listing up to the end of the job that prints a final set: the next job's count
// line, or the end of the listing.
void FinalExtraction::scanListing() {
  RecordReader& listing = run_.listing();
  const std::array<std::string_view, 2> phrases = {CountLinePhrase, EigenvectorsHeading};
  while (listing.lines().seekText(phrases)) {
    const std::string_view text = listing.lines().currentText();
    if (const auto at = countLineAt(text)) {
      if (chosenJob_) return;
      job_ = readJob(*at);
      if (!firstJob_) firstJob_ = job_;
    } else if (job_ && isFinalHeading(text)) {
      readSet();
    }
  }
}

// The count line just read, with the line of an open-shell calculation that may follow it.
FinalExtraction::Job FinalExtraction::readJob(std::size_t phraseAt) {
  RecordReader& listing = run_.listing();
  Job job;
  job.countRecord = listing.recordNumber();
  const std::string_view text = listing.lines().currentText();
  const CountLineForm* form = formAt(phraseAt);
  const std::optional<IntegerText> count = integerAfterEquals(text, phraseAt);
  if (form == nullptr)
    listing.rejectAs(statement::FinalCountLine, CountLineElsewhere,
                     placeOf(job.countRecord, phraseAt, text.substr(phraseAt, 4)));
  if (count->at < form->countFirst || count->at + count->length > form->countEnd)
    listing.rejectAs(statement::FinalCountLine, CountElsewhere,
                     placeOf(job.countRecord, count->at, text.substr(count->at, count->length)));
  Text4 label{};
  const std::array<ReadItem, 2> items = {&label, &job.occupiedCount};
  if (auto bad =
          listing.read(statement::FinalCountLine, *form->layout, items, ReadFrom::CurrentRecord))
    listing.reject(*bad);
  if (job.occupiedCount < 1)
    listing.rejectAs(statement::FinalCountLine, BadOccupiedCount, listing.field(1));
  if (auto line = run_.openShellLine()) {
    job.openShellRecord = line->record;
    job.openShellLine = std::move(line->text);
  }
  return job;
}

void FinalExtraction::readSet() {
  FinalSetReader reader(run_.listing(), job_->occupiedCount, FinalSetReader::Faults::Raise);
  if (!reader.read(reading_)) return;
  chosen_ = reading_;
  chosenJob_ = job_;
}

void FinalExtraction::finish() {
  if (!firstJob_)
    return run_.refuse(statement::FinalRefused,
                       noCountLineWarning(CountLinePhrase, run_.listing().recordNumber()));
  if (!chosenJob_) {
    run_.echo(statement::EchoOccupiedCount, firstJob_->occupiedCount);
    return run_.refuse(statement::FinalRefused, noFinalSetWarning(firstJob_->countRecord));
  }
  const Job& job = *chosenJob_;
  run_.echo(statement::EchoOccupiedCount, job.occupiedCount);
  if (job.countRecord != firstJob_->countRecord)
    run_.warn(statement::FinalCountLine, {job.countRecord, 0, 0, {}},
              laterJobUsedWarning(firstJob_->countRecord, chosen_.headingRecord));
  if (job.openShellRecord != 0)
    return run_.refuse(statement::FinalRefused,
                       openShellRefusal(job.openShellRecord, job.openShellLine, job.countRecord));
  if (!chosen_.holdsN || !chosen_.holdsNext)
    return run_.refuse(
        statement::FinalRefused,
        orbitalNotPrintedWarning(chosen_.holdsN ? job.occupiedCount + 1 : job.occupiedCount,
                                 chosen_.headingRecord, chosen_.firstOrbital, chosen_.lastOrbital));
  writeOrbitals(job, chosen_);
}

void FinalExtraction::writeOrbitals(const Job& job, const FinalSet& set) {
  const FrontierOrbitals orbitals{job.occupiedCount, set.energyN, set.energyNext, set.rowCountN};
  if (set.sameBlock) run_.echo(statement::EchoRowCount, set.rowCountN);
  if (set.rowCountNext != set.rowCountN) {
    run_.warn(statement::RowCountMismatch, {set.nextRowsEnd, 0, 0, {}},
              rowCountWarning(job.occupiedCount, set.rowCountN, set.rowCountNext));
    run_.result().write(statement::RowCountMismatch, run_.layouts().notFound, {});
  }
  reorderPShells(set.rows, set.rowCountN, vectors_, set.layout->pShellMarker);
  writeResult(run_.result(), run_.layouts(), orbitals, vectors_);
  run_.stop();
}

}  // namespace hlext
