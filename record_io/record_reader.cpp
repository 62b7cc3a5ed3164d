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

// A numeric field of an aligned statement: blank, or one piece with no blank inside it.
bool standsAsOnePiece(std::string_view field) {
  const std::size_t first = field.find_first_not_of(' ');
  if (first == std::string_view::npos) return true;
  return field.find(' ', first) > field.find_last_not_of(' ');
}

}  // namespace

RecordReader::RecordReader(std::unique_ptr<ByteSource> source, int unit, std::string fileName)
    : lines_(std::move(source)), unit_(unit), fileName_(std::move(fileName)) {}

std::optional<FieldFault> RecordReader::read(Statement statement, const Layout& layout,
                                             std::span<const ReadItem> items, ReadFrom from) {
  assert(items.size() <= MaxItems);
  assert(items.size() <= static_cast<std::size_t>(layout.dataItemCount()));
  assert(layout.reach() <= RecordReach);
  if (from == ReadFrom::NextRecord) startRecord(statement);
  int column = 0;
  std::size_t next = 0;
  for (const LayoutItem& item : layout.items()) {
    if (item.isData()) {
      // Once every item is filled the walk goes on only to the next data item.
      if (next == items.size()) break;
      if (statement.aligned && item.kind != LayoutItemKind::Text)
        if (auto bad = misplacedValue(statement, column, item.width)) return bad;
      if (auto bad = convert(statement, item, items[next], column, next)) return bad;
      ++next;
    } else if (item.kind == LayoutItemKind::Skip) {
      if (statement.aligned)
        if (auto bad = misplacedSkip(statement, column, item.width)) return bad;
      column += item.width;
    } else if (item.kind == LayoutItemKind::RecordBreak) {
      startRecord(statement);
      column = 0;
    }
  }
  return std::nullopt;
}

std::optional<FieldFault> RecordReader::convert(Statement statement, const LayoutItem& field,
                                                const ReadItem& item, int& column,
                                                std::size_t index) {
  std::string_view text(lines_.columns() + column, static_cast<std::size_t>(field.width));
  int advance = field.width;
  if (field.kind != LayoutItemKind::Text && lines_.hasComma()) {
    // A comma ends a numeric field early; the next field starts right after it.
    const std::size_t comma = text.find(',');
    if (comma != std::string_view::npos) {
      text = text.substr(0, comma);
      advance = static_cast<int>(comma) + 1;
    }
  }
  itemColumns_[index] = {lines_.recordNumber(), column + 1, column + static_cast<int>(text.size())};
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
  if (columns.record == lines_.recordNumber())
    place.text.assign(lines_.columns() + columns.firstColumn - 1,
                      static_cast<std::size_t>(columns.lastColumn - columns.firstColumn + 1));
  return place;
}

RecordWarning RecordReader::warning(Statement statement, FieldPlace place,
                                    std::string message) const {
  return {statement, unit_, fileName_, std::move(place), std::move(message)};
}

void RecordReader::reject(const FieldFault& fault, std::string note) const {
  RecordFailure failure = failureAt(fault.statement, fault.kind, fault.place);
  failure.note = std::move(note);
  raiseRecordError(std::move(failure));
}

// A value of an aligned statement stands in its field as one piece.
std::optional<FieldFault> RecordReader::misplacedValue(Statement statement, int column,
                                                       int width) const {
  const std::string_view text(lines_.columns() + column, static_cast<std::size_t>(width));
  if (standsAsOnePiece(text)) return std::nullopt;
  return FieldFault{ErrorKind::Misplaced,
                    statement,
                    {lines_.recordNumber(), column + 1, column + width, std::string(text)}};
}

// A skip of an aligned statement passes over blank columns only; the first non-blank stretch
// is the fault.
std::optional<FieldFault> RecordReader::misplacedSkip(Statement statement, int column,
                                                      int width) const {
  const std::string_view skipped(lines_.columns() + column, static_cast<std::size_t>(width));
  const std::size_t first = skipped.find_first_not_of(' ');
  if (first == std::string_view::npos) return std::nullopt;
  const std::size_t last = skipped.find_last_not_of(' ');
  const std::string_view text = skipped.substr(first, last - first + 1);
  const int firstColumn = column + static_cast<int>(first) + 1;
  return FieldFault{ErrorKind::Misplaced,
                    statement,
                    {lines_.recordNumber(), firstColumn,
                     firstColumn + static_cast<int>(text.size()) - 1, std::string(text)}};
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
  if (!lines_.nextRecord()) rejectEnd(statement, {});
}

void RecordReader::rejectEnd(Statement statement, std::string note) const {
  // The record that was wanted and is not there.
  const FieldPlace wanted{lines_.recordNumber() + 1, 0, 0, {}};
  const FileResult read = lines_.failure();
  if (read.failed()) {
    RecordFailure failure = recordFailureOf(read.failure(), statement, unit_, fileName_);
    failure.place = wanted;
    raiseRecordError(std::move(failure));
  }
  RecordFailure failure = failureAt(statement, ErrorKind::EndOfFile, wanted);
  failure.note = std::move(note);
  // Not one record: the listing is empty, most often because it was not there.
  if (lines_.recordNumber() == 0) {
    const char* state =
        lines_.createdEmpty() ? " was missing and has been created empty" : " is empty";
    failure.note.insert(0, "; " + fileName_ + state);
  }
  raiseRecordError(std::move(failure));
}

}  // namespace hlext
