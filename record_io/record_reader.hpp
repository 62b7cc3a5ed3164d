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
#include "record_io/label_search.hpp"
#include "record_io/label_sighting.hpp"
#include "record_io/layout.hpp"
#include "record_io/record_error.hpp"
#include "record_io/statement.hpp"

namespace hlext {

// A field that did not convert, as found by a tolerant read.
struct FieldFault {
  ErrorKind kind = ErrorKind::BadInteger;
  Statement statement;
  FieldPlace place;
};

// How a search ended: at a record that carries its label, after reading as many records as it
// may, or at the end of the input.
enum class SearchEnd { Found, Refused, InputEnded };

// Where a search among several labels stopped, and which of them the record carries.
struct SearchStop {
  SearchEnd end = SearchEnd::Found;
  std::size_t label = 0;  // the first of the labels that the record carries, when Found
};

// The label a search for `text` under `layout` looks for: the layout's first data item, see
// Layout::labelColumn(). A layout without one is a programming error.
SearchLabel searchLabel(const Layout& layout, const Text4& text);

class RecordReader {
 public:
  static constexpr int RecordReach = 128;
  static constexpr std::size_t MaxItems = 16;
  static constexpr std::size_t BufferSize = 64 * 1024;

  RecordReader(std::unique_ptr<ByteSource> source, int unit, std::string fileName);

  // One read statement: fills every item or raises RecordError.
  void read(Statement statement, const Layout& layout, std::span<const ReadItem> items);

  // The same, but a field that does not convert ends the statement and is handed back instead
  // of raised; items before it are filled. The end of the input still raises.
  [[nodiscard]] std::optional<FieldFault> scan(Statement statement, const Layout& layout,
                                               std::span<const ReadItem> items);

  // A search statement: reads at most `limit` records and stops at the first whose label (see
  // searchLabel()) reads `wanted`. That record is read in full as read() does, bad fields
  // raising. A record with another label is passed over without looking at any other column,
  // except for where it holds the label (see sighting()). The end of the input ends the
  // search, for the caller to raise with rejectEnd().
  SearchEnd search(Statement statement, const Layout& layout, std::span<const ReadItem> items,
                   const Text4& wanted, int limit);

  // The parts of a search, for a caller that stops at more than one label. lookOutFor()
  // starts noting where `label` stands in the next `limit` records (see sighting());
  // searchAmong() reads at most
  // `limit` records up to the first that carries one of `labels`, passing over the others
  // as search() does, and leaves that record current for readCurrent() or scanCurrent(), which
  // read it under a layout as read() and scan() read the next one.
  void lookOutFor(const SearchLabel& label, int limit);
  SearchStop searchAmong(std::span<const SearchLabel> labels, int limit);
  void readCurrent(Statement statement, const Layout& layout, std::span<const ReadItem> items);
  [[nodiscard]] std::optional<FieldFault> scanCurrent(Statement statement, const Layout& layout,
                                                      std::span<const ReadItem> items);

  // Where the label looked out for stands in the records searched, or after lookOnForLabel():
  // the first record holding it as a marker line, else the first holding it at all. An input
  // that can be read again is not looked at while a search passes over it: the first call
  // after the search reads its records again, and the reader then goes on from where it was.
  const LabelSighting& sighting();
  // After a refused search, reads on to the end of the input or to the first record that holds
  // the label as a marker line or in its own columns. Never raises: a failing input just ends
  // the look.
  void lookOnForLabel();

  // Raise a RecordError for the end of the input (or its failure) where the next record was
  // wanted, with `note` after the kind; before it, when the input holds no record at all, that
  // it is empty, or was missing and has been created empty.
  [[noreturn]] void rejectEnd(Statement statement, std::string note) const;
  // Raise a RecordError for a bad field found by scan().
  [[noreturn]] void reject(const FieldFault& fault) const;
  // Raise a RecordError for a value at `place` that converted but that the caller cannot use,
  // under the caller's name for the kind and with its reason, if any.
  [[noreturn]] void rejectAs(Statement statement, std::string_view kind, const FieldPlace& place,
                             std::string reason = {}) const;

  // Where item `index` of the last statement was read from; with its text while its record is
  // the last one read.
  FieldPlace field(std::size_t index) const;
  // The last record read, as a place.
  FieldPlace lastRecord() const { return {record_, 0, 0, {}}; }

  // A warning about the listing, placed at `place` of this unit (record 0: at no single record).
  RecordWarning warning(Statement statement, FieldPlace place, std::string message) const;

  const std::string& fileName() const { return fileName_; }

  // Records read so far: the line number of the last record read.
  long long recordNumber() const { return record_; }

 private:
  // The columns an item was read from; its text is in columns_ while the record is current.
  struct ItemColumns {
    long long record = 0;
    int firstColumn = 0;
    int lastColumn = 0;
  };
  // The label a search looks out for, and where its records start, to be read again.
  struct LookOut {
    std::uint64_t offset = 0;  // the first byte of its first record
    long long firstRecord = 0;
    long long lastRecord = 0;
    std::size_t labelOffset = 0;
    Text4 label{};
    bool readAgain = false;  // its records are looked at only when sighting() is asked for
  };
  // Where the reader stands between two records.
  struct Place {
    std::uint64_t offset = 0;  // the byte after the current record
    long long record = 0;
    std::array<char, RecordReach> columns{};
    int length = 0;
    bool hasComma = false;
    bool inputEnded = false;
  };

  std::optional<FieldFault> walk(Statement statement, const Layout& layout,
                                 std::span<const ReadItem> items);
  std::optional<FieldFault> walkRecord(Statement statement, const Layout& layout,
                                       std::span<const ReadItem> items);
  int passOverHeld(std::span<const SearchLabel> labels, int most);
  std::optional<FieldFault> convert(Statement statement, const LayoutItem& field,
                                    const ReadItem& item, int& column, std::size_t index);
  void startRecord(Statement statement);
  bool nextRecord();
  bool refill();
  void lookAgain();
  Place place() const;
  bool readAgainFrom(std::uint64_t offset, long long recordBefore);
  void goBackTo(const Place& place);
  RecordFailure failureAt(Statement statement, ErrorKind kind, FieldPlace place) const;

  std::unique_ptr<ByteSource> source_;
  int unit_;
  std::string fileName_;

  // Not cleared: only bytes a read has put there are looked at. Clearing 64 KiB was a third of
  // a run on a small listing.
  std::array<char, BufferSize> buffer_;
  std::uint64_t bufferOffset_ = 0;  // the bytes of the input before buffer_[0]
  std::size_t bufferBegin_ = 0;
  std::size_t bufferEnd_ = 0;
  bool inputEnded_ = false;

  std::array<char, RecordReach> columns_{};
  int length_ = 0;  // characters of the current record kept in columns_
  bool recordHasComma_ = false;
  long long record_ = 0;
  std::array<ItemColumns, MaxItems> itemColumns_{};
  LabelSightings sightings_;
  bool canReadAgain_;
  LookOut lookOut_;
};

}  // namespace hlext
