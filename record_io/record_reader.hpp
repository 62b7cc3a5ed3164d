// Reads the records of an input unit under layouts. Only the first RecordReach columns of a
// record are kept (no layout reaches further), so a record of any length costs the same memory.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "record_io/byte_stream.hpp"
#include "record_io/items.hpp"
#include "record_io/layout.hpp"
#include "record_io/line_source.hpp"
#include "record_io/record_error.hpp"
#include "record_io/record_search.hpp"
#include "record_io/statement.hpp"

namespace hlext {

// A field that did not convert, as found by a tolerant read.
struct FieldFault {
  ErrorKind kind = ErrorKind::BadInteger;
  Statement statement;
  FieldPlace place;
};

// Where a read statement starts.
enum class ReadFrom { NextRecord, CurrentRecord };

class RecordReader {
 public:
  static constexpr int RecordReach = LineSource::RecordReach;
  static constexpr std::size_t MaxItems = 16;

  RecordReader(std::unique_ptr<ByteSource> source, int unit, std::string fileName);

  // One read statement under `layout`, from the next record on or from the current one (the
  // record a search of searches() stopped at). A field that does not convert ends the statement
  // and is handed back, for reject() or for the caller to judge; the items before it are
  // filled. The end of the input raises.
  [[nodiscard]] std::optional<FieldFault> read(Statement statement, const Layout& layout,
                                               std::span<const ReadItem> items,
                                               ReadFrom from = ReadFrom::NextRecord);

  // The search of the next records for a label.
  RecordSearch& searches() { return search_; }

  // The records beneath the reader: to look ahead, to pass over, to come back to.
  LineSource& lines() { return lines_; }
  const LineSource& lines() const { return lines_; }

  // Raise a RecordError for the end of the input (or its failure) where the next record was
  // wanted, with `note` after the kind; before it, when the input holds no record at all, that
  // it is empty, or was missing and has been created empty.
  [[noreturn]] void rejectEnd(Statement statement, std::string note) const;
  // Raise a RecordError for a bad field that read() handed back, with `note` after the kind.
  [[noreturn]] void reject(const FieldFault& fault, std::string note = {}) const;
  // Raise a RecordError for a value at `place` that converted but that the caller cannot use,
  // under the caller's name for the kind and with its reason, if any.
  [[noreturn]] void rejectAs(Statement statement, std::string_view kind, const FieldPlace& place,
                             std::string reason = {}) const;

  // Where item `index` of the last statement was read from; with its text while its record is
  // the last one read.
  FieldPlace field(std::size_t index) const;
  // The last record read, as a place.
  FieldPlace lastRecord() const { return {lines_.recordNumber(), 0, 0, {}}; }

  // A warning about the listing, placed at `place` of this unit (record 0: at no single record).
  RecordWarning warning(Statement statement, FieldPlace place, std::string message) const;

  // Records read so far: the line number of the last record read.
  long long recordNumber() const { return lines_.recordNumber(); }

 private:
  // The columns an item was read from; its text is in columns_ while the record is current.
  struct ItemColumns {
    long long record = 0;
    int firstColumn = 0;
    int lastColumn = 0;
  };
  std::optional<FieldFault> convert(Statement statement, const LayoutItem& field,
                                    const ReadItem& item, int& column, std::size_t index);
  void startRecord(Statement statement);
  std::optional<FieldFault> misplaced(Statement statement, int column, int width, bool skip) const;
  RecordFailure failureAt(Statement statement, ErrorKind kind, FieldPlace place) const;

  LineSource lines_;
  int unit_;
  std::string fileName_;

  std::array<ItemColumns, MaxItems> itemColumns_{};
  RecordSearch search_{lines_};
};

}  // namespace hlext
