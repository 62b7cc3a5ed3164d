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
        if (auto bad = misplaced(statement, column, item.width, false)) return bad;
      if (auto bad = convert(statement, item, items[next], column, next)) return bad;
      ++next;
    } else if (item.kind == LayoutItemKind::Skip) {
      if (statement.aligned)
        if (auto bad = misplaced(statement, column, item.width, true)) return bad;
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

// Columns of an aligned statement that do not stand as they should: a value that is not one
// piece (a blank inside it), named by its whole field, or the non-blank stretch of a skip.
std::optional<FieldFault> RecordReader::misplaced(Statement statement, int column, int width,
                                                  bool skip) const {
  const std::string_view field(lines_.columns() + column, static_cast<std::size_t>(width));
  const std::size_t first = field.find_first_not_of(' ');
  if (first == std::string_view::npos) return std::nullopt;
  const std::size_t last = field.find_last_not_of(' ');
  if (!skip && field.find(' ', first) > last) return std::nullopt;
  const std::string_view text = skip ? field.substr(first, last - first + 1) : field;
  const int firstColumn = column + 1 + (skip ? static_cast<int>(first) : 0);
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
