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

std::uint32_t wordOf(const char* chars) {
  std::uint32_t word = 0;
  std::memcpy(&word, chars, sizeof word);
  return word;
}

// The first line feed from `begin` on, or null. Blank records are common between the rows of a
// listing; they are told apart without a call.
const char* lineFeedIn(const char* begin, const char* end) {
  if (begin != end && *begin == '\n') return begin;
  return static_cast<const char*>(std::memchr(begin, '\n', static_cast<std::size_t>(end - begin)));
}

// The number of line feeds in [begin, end). Sixty-four byte-wide counts, one for each byte of
// a 64-byte step, fit four 16-byte vector registers; they are summed before any can pass 255.
std::size_t lineFeedsIn(const char* begin, const char* end) {
  constexpr std::size_t Lanes = 64;
  constexpr std::size_t StepsPerSum = 255;
  std::size_t count = 0;
  while (static_cast<std::size_t>(end - begin) >= Lanes) {
    const std::size_t steps = std::min(StepsPerSum, static_cast<std::size_t>(end - begin) / Lanes);
    std::array<unsigned char, Lanes> lanes{};
    for (std::size_t step = 0; step < steps; ++step, begin += Lanes)
      for (std::size_t i = 0; i < Lanes; ++i)
        lanes[i] = static_cast<unsigned char>(lanes[i] + (begin[i] == '\n'));
    for (const unsigned char lane : lanes) count += lane;
  }
  for (; begin != end; ++begin) count += *begin == '\n';
  return count;
}

// The start of the last line that begins in [line, end) after a line feed, or `line` when
// there is no line feed there: the end of the records held whole from `line` on.
const char* lastLineStart(const char* line, const char* end) {
  const std::string_view held(line, static_cast<std::size_t>(end - line));
  const std::size_t lastLineFeed = held.rfind('\n');
  return lastLineFeed == std::string_view::npos ? line : line + lastLineFeed + 1;
}

// The label of a line held whole (`length` characters, without its line feed) that ends
// within the label's columns, as a walk reads it: a carriage return that ends the line
// belongs to the terminator, and columns beyond the end read blank.
std::uint32_t labelOfShortLine(const char* line, std::size_t length, std::size_t offset) {
  if (length > 0 && line[length - 1] == '\r') --length;
  Text4 label = text4("    ");
  for (std::size_t i = 0; offset + i < length && i < label.size(); ++i) label[i] = line[offset + i];
  return wordOf(label.data());
}

[[noreturn]] void layoutFault(const Layout& layout, const char* why) {
  std::fprintf(stderr, "hlext1: internal error: layout \"%.*s\": %s\n",
               static_cast<int>(layout.text().size()), layout.text().data(), why);
  std::abort();
}

}  // namespace

RecordReader::RecordReader(std::unique_ptr<ByteSource> source, int unit, std::string fileName)
    : source_(std::move(source)), unit_(unit), fileName_(std::move(fileName)) {
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

// What a search looks for, and the test of a line held whole in the buffer against it, which
// gives what a walk over the line would read in the label's columns.
struct RecordReader::Label {
  std::size_t offset = 0;    // columns before the label
  std::uint32_t wanted = 0;  // its four characters
  std::size_t shortest = 0;  // a shorter line reads a blank where `wanted` has none
  // A character a line must hold itself to carry the label: the label's first non-blank one, at
  // `keyOffset` from the line's start. Zero when the search goes line by line instead: for a
  // blank label, which short lines carry, and for a line feed or a NUL.
  char key = 0;
  std::size_t keyOffset = 0;

  Label(std::size_t labelOffset, const Text4& text) : offset(labelOffset) {
    wanted = wordOf(text.data());
    std::size_t kept = text.size();
    while (kept > 0 && text[kept - 1] == ' ') --kept;
    // A blank label is read from every line that ends before it, however short.
    shortest = kept == 0 ? 0 : offset + kept;
    std::size_t first = 0;
    while (first < kept && text[first] == ' ') ++first;
    if (first < kept && text[first] != '\n' && text[first] != '\0') {
      key = text[first];
      keyOffset = offset + first;
    }
  }

  bool isIn(const char* line, std::size_t length) const {
    // The line goes on past the label, so a carriage return ending it is not in the label.
    if (length > offset + 4) return wordOf(line + offset) == wanted;
    if (length < shortest) return false;
    return labelOfShortLine(line, length, offset) == wanted;
  }
};

// Where a look for a search label's key character that found one goes on.
struct RecordReader::KeyLanding {
  const char* lineStart;           // the line the key stands at the key's column of, or null
  const char* next;                // else where the look for the key goes on
  const char* lineFeed = nullptr;  // past the key's column: the line feed of its line, if held
};

// The last line a search passes over that carries a watched label, while it is in the buffer.
struct RecordReader::Watch {
  Label label;
  WatchedLabel& watched;
  Statement statement;
  const char* line = nullptr;  // its start, or null while no line passed over carries it
  std::size_t length = 0;      // without its line feed
  int passedBefore = 0;        // the records passed over before it by the same pass

  Watch(const Label& watchedLabel, WatchedLabel& target, Statement searchStatement)
      : label(watchedLabel), watched(target), statement(searchStatement) {}

  void look(const char* lineStart, std::size_t lineLength, int before) {
    if (!label.isIn(lineStart, lineLength)) return;
    line = lineStart;
    length = lineLength;
    passedBefore = before;
  }

  // Looks at the whole lines of [begin, end), `before` records having been passed over before
  // them. As a search does, it judges only the lines where the label's key character stands at
  // its column, and counts lines only once it has found the last one.
  void lookAcross(const char* begin, const char* end, int before) {
    if (label.key == 0) return lookLineByLine(begin, end, before);
    const char* last = nullptr;
    std::size_t lastLength = 0;
    for (const char* from = begin; from < end;) {
      const char* key = static_cast<const char*>(
          std::memchr(from, label.key, static_cast<std::size_t>(end - from)));
      if (key == nullptr) break;
      const KeyLanding landing = landingOf(label, begin, key, end);
      if (landing.lineStart == nullptr) {
        from = landing.next;
        continue;
      }
      const char* lineFeed = lineFeedIn(landing.lineStart, end);
      const auto lineLength = static_cast<std::size_t>(lineFeed - landing.lineStart);
      if (label.isIn(landing.lineStart, lineLength)) {
        last = landing.lineStart;
        lastLength = lineLength;
      }
      from = lineFeed + 1;
    }
    if (last == nullptr) return;
    line = last;
    length = lastLength;
    // Rare, and kept off lineFeedsIn, whose one caller has it inlined.
    passedBefore = before + static_cast<int>(std::count(begin, last, '\n'));
  }

  void lookLineByLine(const char* begin, const char* end, int before) {
    for (const char* at = begin; at < end; ++before) {
      const char* lineFeed = lineFeedIn(at, end);
      look(at, static_cast<std::size_t>(lineFeed - at), before);
      at = lineFeed + 1;
    }
  }
};

SearchEnd RecordReader::search(Statement statement, const Layout& layout,
                               std::span<const ReadItem> items, const Text4& wanted, int limit,
                               WatchedLabel* watched) {
  if (layout.labelColumn() == 0) layoutFault(layout, "a search needs a label in fixed columns");
  assert(layout.reach() <= RecordReach);
  const Label label(static_cast<std::size_t>(layout.labelColumn() - 1), wanted);
  sightings_.reset(label.offset, wanted, record_ + limit);
  if (watched == nullptr) return searchFor(statement, layout, items, label, limit, nullptr);
  if (watched->layout.labelColumn() == 0)
    layoutFault(watched->layout, "a watched label needs fixed columns");
  Watch watch(Label(static_cast<std::size_t>(watched->layout.labelColumn() - 1), watched->wanted),
              *watched, statement);
  return searchFor(statement, layout, items, label, limit, &watch);
}

SearchEnd RecordReader::searchFor(Statement statement, const Layout& layout,
                                  std::span<const ReadItem> items, const Label& label, int limit,
                                  Watch* watch) {
  int records = 0;
  while (true) {
    records += passOverHeld(label, limit - records, watch);
    if (records >= limit) return SearchEnd::Refused;
    // The next record carries the label, or its line feed is not in the buffer: it is read in
    // full and judged by its columns, as a walk would.
    ++records;
    if (!nextRecord()) return SearchEnd::InputEnded;
    if (wordOf(columns_.data() + label.offset) == label.wanted) break;
    sightings_.lookAt(columns_.data(), static_cast<std::size_t>(length_), record_);
    if (watch != nullptr && wordOf(columns_.data() + watch->label.offset) == watch->label.wanted) {
      WatchedLabel& watched = watch->watched;
      watched.bad = walkRecord(statement, watched.layout, watched.items);
      watched.record = record_;
    }
  }
  if (auto bad = walkRecord(statement, layout, items)) reject(*bad);
  return SearchEnd::Found;
}

void RecordReader::lookOnForLabel(const Layout& layout, const Text4& wanted) {
  const auto offset = static_cast<std::size_t>(layout.labelColumn() - 1);
  sightings_.lookPastSearch();
  while (!sightings_.settled() && nextRecord()) {
    const std::size_t length = static_cast<std::size_t>(length_);
    if (std::memcmp(columns_.data() + offset, wanted.data(), wanted.size()) == 0)
      sightings_.takeOwnColumns(columns_.data(), length, record_);
    else
      sightings_.lookAt(columns_.data(), length, record_);
  }
}

// Passes over at most `most` records that the buffer holds whole, with their line feed, and
// whose label is not the one wanted, without copying them; gives how many it passed over. It
// stops before a record that is not held whole (it reaches past the buffer, or is the last one
// and has no line feed) or that carries the label.
int RecordReader::passOverHeld(const Label& wanted, int most, Watch* watch) {
  const Label label = wanted;  // a copy the loops keep in registers across memchr
  const char* line = buffer_.data() + bufferBegin_;
  const char* const end = buffer_.data() + bufferEnd_;
  int passed = 0;
  LabelSightings* sighting = sightings_.key() != 0 && !sightings_.settled() ? &sightings_ : nullptr;
  if (label.key != 0) passed = passOverByKey(label, most, line, end, watch, sighting, record_);
  for (; passed < most; ++passed) {
    const char* lineFeed = lineFeedIn(line, end);
    if (lineFeed == nullptr || label.isIn(line, static_cast<std::size_t>(lineFeed - line))) break;
    if (watch != nullptr) watch->look(line, static_cast<std::size_t>(lineFeed - line), passed);
    if (sighting != nullptr) sighting->lookAtLine(line, lineFeed, record_ + passed + 1);
    line = lineFeed + 1;
  }
  bufferBegin_ = static_cast<std::size_t>(line - buffer_.data());
  if (watch != nullptr && watch->line != nullptr) {
    readWatched(*watch, record_ + watch->passedBefore + 1);
    watch->line = nullptr;
  }
  record_ += passed;
  return passed;
}

// Reads the watched line, held whole in the buffer, under the watched label's layout as record
// `record`. It is copied into the current record's columns, which a pass over records leaves
// alone: the search reads its next record in full before it looks at any of them.
void RecordReader::readWatched(const Watch& watch, long long record) {
  const char* const line = watch.line;
  std::size_t length = watch.length;
  if (length > 0 && line[length - 1] == '\r') --length;
  const int previousLength = length_;
  length_ = static_cast<int>(std::min(length, static_cast<std::size_t>(RecordReach)));
  std::memcpy(columns_.data(), line, static_cast<std::size_t>(length_));
  if (length_ < previousLength)
    std::fill(columns_.begin() + length_, columns_.begin() + previousLength, ' ');
  recordHasComma_ = std::memchr(columns_.data(), ',', static_cast<std::size_t>(length_)) != nullptr;
  const long long current = record_;
  record_ = record;
  WatchedLabel& watched = watch.watched;
  watched.bad = walkRecord(watch.statement, watched.layout, watched.items);
  watched.record = record;
  record_ = current;
}

// The fast part of passOverHeld: a line whose label columns hold the label has the label's key
// character at the key's column, so only the lines where a search for that character lands
// there are judged; the lines between are counted, not looked at one by one. Moves `line` past
// the records passed over and gives their number. It leaves to the line-by-line loop a line
// it stops at and the records near the limit.
int RecordReader::passOverByKey(const Label& label, int most, const char*& line, const char* end,
                                Watch* watch, LabelSightings* sight, long long base) {
  int passed = 0;
  const char* from = line;  // where the next look for the key starts
  while (true) {
    const char* key = static_cast<const char*>(
        std::memchr(from, label.key, static_cast<std::size_t>(end - from)));
    const char* lineStart = nullptr;
    if (key != nullptr) {
      const KeyLanding landing = landingOf(label, line, key, end);
      if (landing.lineStart == nullptr) {
        from = landing.next;
        if (sight == nullptr) continue;
        // While a search looks out for its label elsewhere, no key character goes unseen: the
        // rest of a line the key stands past the column of, else the next character on.
        const char* lineFeed = landing.lineFeed;
        sight->lookAtKeys(line, base + passed + 1, key, lineFeed != nullptr ? lineFeed : key + 1,
                          end);
        if (lineFeed != nullptr)
          from = lineFeed + 1;
        else if (from != end)
          from = key + 1;
        continue;
      }
      lineStart = landing.lineStart;
    }
    // Every line from `line` up to the candidate (or every whole line left) is passed over.
    const char* upTo = lineStart != nullptr ? lineStart : lastLineStart(line, end);
    const std::size_t lines = lineFeedsIn(line, upTo);
    if (lines >= static_cast<std::size_t>(most - passed)) return passed;
    if (watch != nullptr) watch->lookAcross(line, upTo, passed);
    passed += static_cast<int>(lines);
    line = upTo;
    if (lineStart == nullptr) return passed;
    const char* lineFeed = lineFeedIn(line, end);
    if (lineFeed == nullptr || label.isIn(line, static_cast<std::size_t>(lineFeed - line)) ||
        passed + 1 == most)
      return passed;
    if (watch != nullptr) watch->look(line, static_cast<std::size_t>(lineFeed - line), passed);
    if (sight != nullptr) sight->lookAtLine(line, lineFeed, base + passed + 1);
    ++passed;
    line = lineFeed + 1;
    from = line;
  }
}

// Where a key found at `key` lands: the start of its line when it stands at the key's column,
// or else the first place a later key could stand at the key's column. `line` is a record's
// start at or before `key`.
RecordReader::KeyLanding RecordReader::landingOf(const Label& label, const char* line,
                                                 const char* key, const char* end) {
  const std::size_t before = std::min(label.keyOffset, static_cast<std::size_t>(key - line));
  const std::string_view lead(key - before, before);
  const std::size_t lineFeed = lead.rfind('\n');
  const char* lineStart = nullptr;
  if (lineFeed != std::string_view::npos)
    lineStart = lead.data() + lineFeed + 1;
  else if (lead.data() == line || lead.data()[-1] == '\n')
    lineStart = lead.data();
  if (lineStart != nullptr) {
    if (static_cast<std::size_t>(key - lineStart) == label.keyOffset) return {lineStart, nullptr};
    // The key stands before the key's column of its line, which is yet to come.
    return {nullptr,
            lineStart + std::min(static_cast<std::size_t>(end - lineStart), label.keyOffset)};
  }
  // The key stands past the key's column of its line: the next candidate is on a later line.
  const char* next = lineFeedIn(key, end);
  if (next == nullptr) return {nullptr, end};
  return {nullptr, next + std::min(static_cast<std::size_t>(end - next), 1 + label.keyOffset),
          next};
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
  const ItemColumns columns{record_, column + 1, column + static_cast<int>(text.size())};
  itemColumns_[index] = columns;
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
  if (!failure.reason.empty())
    failure.kind = ErrorKind::ReadFailed;
  else
    failure.note = std::move(note);
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
  bufferBegin_ = 0;
  bufferEnd_ = source_->read(buffer_);
  if (bufferEnd_ == 0) inputEnded_ = true;
  return bufferEnd_ > 0;
}

}  // namespace hlext
