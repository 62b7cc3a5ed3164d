#include "record_io/record_reader.hpp"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>

#include "record_io/field_conversion.hpp"

namespace hlext {
namespace {

[[noreturn]] void layoutFault(const Layout& layout, const char* why) {
  std::fprintf(stderr, "hlext1: internal error: layout \"%.*s\": %s\n",
               static_cast<int>(layout.text().size()), layout.text().data(), why);
  std::abort();
}

}  // namespace

RecordReader::RecordReader(std::unique_ptr<ByteSource> source, int unit, std::string fileName)
    : source_(std::move(source)),
      unit_(unit),
      fileName_(std::move(fileName)),
      canReadAgain_(source_->canReadAgain()) {
  columns_.fill(' ');
}

void RecordReader::read(Statement statement, const Layout& layout,
                        std::span<const ReadItem> items) {
  if (auto bad = walk(statement, layout, items)) reject(*bad);
}

std::optional<FieldFault> RecordReader::scan(Statement statement, const Layout& layout,
                                             std::span<const ReadItem> items) {
  return walk(statement, layout, items);
}

std::optional<FieldFault> RecordReader::walk(Statement statement, const Layout& layout,
                                             std::span<const ReadItem> items) {
  assert(items.size() <= MaxItems);
  assert(items.size() <= static_cast<std::size_t>(layout.dataItemCount()));
  assert(layout.reach() <= RecordReach);
  startRecord(statement);
  return walkRecord(statement, layout, items);
}

// Walks the layout from the current record on.
std::optional<FieldFault> RecordReader::walkRecord(Statement statement, const Layout& layout,
                                                   std::span<const ReadItem> items) {
  int column = 0;
  std::size_t next = 0;
  for (const LayoutItem& item : layout.items()) {
    if (item.isData()) {
      // Once every item is filled the walk goes on only to the next data item.
      if (next == items.size()) break;
      if (auto bad = convert(statement, item, items[next], column, next)) return bad;
      ++next;
    } else if (item.kind == LayoutItemKind::Skip) {
      column += item.width;
    } else if (item.kind == LayoutItemKind::RecordBreak) {
      startRecord(statement);
      column = 0;
    }
  }
  return std::nullopt;
}

SearchLabel searchLabel(const Layout& layout, const Text4& text) {
  if (layout.labelColumn() == 0) layoutFault(layout, "a search needs a label in fixed columns");
  return {static_cast<std::size_t>(layout.labelColumn() - 1), text};
}

SearchEnd RecordReader::search(Statement statement, const Layout& layout,
                               std::span<const ReadItem> items, const Text4& wanted, int limit) {
  assert(layout.reach() <= RecordReach);
  const std::array<SearchLabel, 1> labels = {searchLabel(layout, wanted)};
  lookOutFor(labels[0], limit);
  const SearchStop stop = searchAmong(labels, limit);
  if (stop.end == SearchEnd::Found) readCurrent(statement, layout, items);
  return stop.end;
}

// Most searches succeed. Where the input can be read again, a search only notes where it
// starts, and its records are looked at again only if sighting() is asked for.
void RecordReader::lookOutFor(const SearchLabel& label, int limit) {
  lookOut_ = {bufferOffset_ + bufferBegin_,
              record_ + 1,
              record_ + limit,
              label.offset(),
              label.text(),
              canReadAgain_};
  if (!canReadAgain_) sightings_.reset(label.offset(), label.text(), record_ + limit);
}

SearchStop RecordReader::searchAmong(std::span<const SearchLabel> labels, int limit) {
  assert(!labels.empty());
  int records = 0;
  while (true) {
    records += passOverHeld(labels, limit - records);
    if (records >= limit) return {SearchEnd::Refused};
    // The next record carries a label, or its line feed is not in the buffer: it is read in
    // full and judged by its columns, as a walk would.
    ++records;
    if (!nextRecord()) return {SearchEnd::InputEnded};
    const auto carried = std::find_if(labels.begin(), labels.end(), [&](const SearchLabel& label) {
      return label.isInColumns(columns_.data());
    });
    if (carried == labels.begin()) return {SearchEnd::Found, 0};
    if (!lookOut_.readAgain)
      sightings_.lookAt(columns_.data(), static_cast<std::size_t>(length_), record_);
    if (carried != labels.end())
      return {SearchEnd::Found, static_cast<std::size_t>(carried - labels.begin())};
  }
}

void RecordReader::readCurrent(Statement statement, const Layout& layout,
                               std::span<const ReadItem> items) {
  if (auto bad = walkRecord(statement, layout, items)) reject(*bad);
}

std::optional<FieldFault> RecordReader::scanCurrent(Statement statement, const Layout& layout,
                                                    std::span<const ReadItem> items) {
  return walkRecord(statement, layout, items);
}

const LabelSighting& RecordReader::sighting() {
  if (lookOut_.readAgain) lookAgain();
  return sightings_.nearest();
}

// Reads the records of the search again, from its first up to the last one it read, looking
// at each for the label, and goes back to where the reader was. The reader's buffer is the
// only memory the look takes.
void RecordReader::lookAgain() {
  lookOut_.readAgain = false;
  sightings_.reset(lookOut_.labelOffset, lookOut_.label, lookOut_.lastRecord);
  const long long last = std::min(record_, lookOut_.lastRecord);
  if (sightings_.key() == 0 || last < lookOut_.firstRecord) return;
  const Place here = place();
  if (!readAgainFrom(lookOut_.offset, lookOut_.firstRecord - 1)) return;
  while (record_ < last && !sightings_.settled() && nextRecord())
    sightings_.lookAt(columns_.data(), static_cast<std::size_t>(length_), record_);
  goBackTo(here);
}

RecordReader::Place RecordReader::place() const {
  return {bufferOffset_ + bufferBegin_, record_, columns_, length_, recordHasComma_, inputEnded_};
}

// Makes the input's byte `offset` the start of the record after `recordBefore`.
bool RecordReader::readAgainFrom(std::uint64_t offset, long long recordBefore) {
  if (!source_->readAgainFrom(offset)) return false;
  bufferOffset_ = offset;
  bufferBegin_ = 0;
  bufferEnd_ = 0;
  inputEnded_ = false;
  record_ = recordBefore;
  return true;
}

// Where the input cannot be read from `place` again, it ends there.
void RecordReader::goBackTo(const Place& place) {
  const bool back = readAgainFrom(place.offset, place.record);
  record_ = place.record;
  columns_ = place.columns;
  length_ = place.length;
  recordHasComma_ = place.hasComma;
  inputEnded_ = place.inputEnded || !back;
  if (!back) bufferBegin_ = bufferEnd_;
}

void RecordReader::lookOnForLabel() {
  if (lookOut_.readAgain) lookAgain();
  sightings_.lookPastSearch();
  while (!sightings_.settled() && nextRecord()) {
    const std::size_t length = static_cast<std::size_t>(length_);
    if (std::memcmp(columns_.data() + sightings_.offset(), sightings_.label().data(), 4) == 0)
      sightings_.takeOwnColumns(columns_.data(), length, record_);
    else
      sightings_.lookAt(columns_.data(), length, record_);
  }
}

// Passes over at most `most` records that the buffer holds whole and that carry none of the
// labels, without copying them; gives how many it passed over.
int RecordReader::passOverHeld(std::span<const SearchLabel> labels, int most) {
  const char* const begin = buffer_.data() + bufferBegin_;
  const char* const end = buffer_.data() + bufferEnd_;
  LabelSightings* sightings =
      !lookOut_.readAgain && sightings_.key() != 0 && !sightings_.settled() ? &sightings_ : nullptr;
  HeldPass pass = hlext::passOverHeld(labels[0], begin, end, most, sightings, record_ + 1);
  // The other labels are looked for only in the lines the first one passed over, which hold no
  // more records than it passed, so the limit is never what stops them.
  for (const SearchLabel& other : labels.subspan(1)) {
    const HeldPass shorter =
        hlext::passOverHeld(other, begin, pass.next, pass.passed + 1, nullptr, record_ + 1);
    if (shorter.passed < pass.passed) pass = shorter;
  }
  bufferBegin_ = static_cast<std::size_t>(pass.next - buffer_.data());
  record_ += pass.passed;
  return pass.passed;
}

std::optional<FieldFault> RecordReader::convert(Statement statement, const LayoutItem& field,
                                                const ReadItem& item, int& column,
                                                std::size_t index) {
  std::string_view text(columns_.data() + column, static_cast<std::size_t>(field.width));
  int advance = field.width;
  if (field.kind != LayoutItemKind::Text && recordHasComma_) {
    // A comma ends a numeric field early; the next field starts right after it.
    const std::size_t comma = text.find(',');
    if (comma != std::string_view::npos) {
      text = text.substr(0, comma);
      advance = static_cast<int>(comma) + 1;
    }
  }
  itemColumns_[index] = {record_, column + 1, column + static_cast<int>(text.size())};
  column += advance;

  ErrorKind failure = ErrorKind::BadInteger;
  bool ok = true;
  if (field.kind == LayoutItemKind::Text) {
    assert(std::holds_alternative<Text4*>(item));
    *std::get<Text4*>(item) = textFromField(text);
  } else if (field.kind == LayoutItemKind::Integer) {
    assert(std::holds_alternative<std::int32_t*>(item));
    const IntegerField value = parseIntegerField(text);
    *std::get<std::int32_t*>(item) = value.value;
    ok = value.ok;
  } else {
    assert(std::holds_alternative<float*>(item));
    const RealField value = parseRealField(text, field.decimals);
    *std::get<float*>(item) = value.value;
    ok = value.ok;
    failure = ErrorKind::BadReal;
  }
  if (ok) return std::nullopt;
  const ItemColumns& columns = itemColumns_[index];
  return FieldFault{failure,
                    statement,
                    {columns.record, columns.firstColumn, columns.lastColumn, std::string(text)}};
}

FieldPlace RecordReader::field(std::size_t index) const {
  assert(index < MaxItems);
  const ItemColumns& columns = itemColumns_[index];
  FieldPlace place{columns.record, columns.firstColumn, columns.lastColumn, {}};
  if (columns.record == record_)
    place.text.assign(columns_.data() + columns.firstColumn - 1,
                      static_cast<std::size_t>(columns.lastColumn - columns.firstColumn + 1));
  return place;
}

RecordWarning RecordReader::warning(Statement statement, FieldPlace place,
                                    std::string message) const {
  return {statement, unit_, fileName_, std::move(place), std::move(message)};
}

void RecordReader::reject(const FieldFault& fault) const {
  raiseRecordError(failureAt(fault.statement, fault.kind, fault.place));
}

void RecordReader::rejectAs(Statement statement, std::string_view kind, const FieldPlace& place,
                            std::string reason) const {
  RecordFailure failure = failureAt(statement, ErrorKind::Unusable, place);
  failure.unusableAs = kind;
  failure.reason = std::move(reason);
  raiseRecordError(std::move(failure));
}

RecordFailure RecordReader::failureAt(Statement statement, ErrorKind kind, FieldPlace place) const {
  return {kind, {}, statement, unit_, fileName_, std::move(place), {}, {}};
}

void RecordReader::startRecord(Statement statement) {
  if (!nextRecord()) rejectEnd(statement, {});
}

void RecordReader::rejectEnd(Statement statement, std::string note) const {
  // The record that was wanted and is not there.
  RecordFailure failure = failureAt(statement, ErrorKind::EndOfFile, {record_ + 1, 0, 0, {}});
  failure.reason = source_->failure();
  if (!failure.reason.empty()) {
    failure.kind = ErrorKind::ReadFailed;
  } else {
    failure.note = std::move(note);
    // Not one record: the listing is empty, most often because it was not there.
    if (record_ == 0) {
      const char* state =
          source_->createdEmpty() ? " was missing and has been created empty" : " is empty";
      failure.note.insert(0, "; " + fileName_ + state);
    }
  }
  raiseRecordError(std::move(failure));
}

// Reads the next line into columns_, keeping at most RecordReach characters of it. A carriage
// return directly before the line feed is part of the terminator; a last line without a line
// feed is a record too.
bool RecordReader::nextRecord() {
  const int previousLength = length_;
  length_ = 0;
  long long lineLength = 0;
  char lastChar = '\0';
  bool lineFeed = false;
  while (!lineFeed) {
    if (bufferBegin_ == bufferEnd_ && !refill()) break;
    const char* begin = buffer_.data() + bufferBegin_;
    const std::size_t available = bufferEnd_ - bufferBegin_;
    const void* found = std::memchr(begin, '\n', available);
    const std::size_t chunk =
        found != nullptr ? static_cast<std::size_t>(static_cast<const char*>(found) - begin)
                         : available;
    const std::size_t room = static_cast<std::size_t>(RecordReach - length_);
    const std::size_t kept = std::min(chunk, room);
    std::memcpy(columns_.data() + length_, begin, kept);
    length_ += static_cast<int>(kept);
    if (chunk > 0) lastChar = begin[chunk - 1];
    lineLength += static_cast<long long>(chunk);
    lineFeed = found != nullptr;
    bufferBegin_ += chunk + (lineFeed ? 1 : 0);
  }
  if (!lineFeed && lineLength == 0) {
    length_ = previousLength;
    return false;
  }
  // The carriage return was copied in with the line; its column reads as a blank again, also
  // when the record before was no longer than this one.
  if (lineFeed && lastChar == '\r' && lineLength <= RecordReach)
    columns_[static_cast<std::size_t>(--length_)] = ' ';
  if (length_ < previousLength)
    std::fill(columns_.begin() + length_, columns_.begin() + previousLength, ' ');
  // Most records hold no comma; one look spares every numeric field its own.
  recordHasComma_ = std::memchr(columns_.data(), ',', static_cast<std::size_t>(length_)) != nullptr;
  ++record_;
  return true;
}

bool RecordReader::refill() {
  if (inputEnded_) return false;
  bufferOffset_ += bufferEnd_;
  bufferBegin_ = 0;
  bufferEnd_ = source_->read(buffer_);
  if (bufferEnd_ == 0) inputEnded_ = true;
  return bufferEnd_ > 0;
}

}  // namespace hlext
