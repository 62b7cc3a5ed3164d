// Reads the records of an input unit under layouts. Only the first RecordReach columns of a
// record are kept (no layout reaches further), so a record of any length costs the same memory.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "record_io/byte_stream.hpp"
#include "record_io/items.hpp"
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

// A second label a search looks out for in the records it passes over, while it stops only at
// its own: the last such record is read under `layout` (one record, the label its first data
// item) into `items`. Its fields are converted as scan() converts them, a bad one kept, never
// raised, so a search reads, stops and fails exactly as it does without a watch.
struct WatchedLabel {
  WatchedLabel(const Layout& watchedLayout, const Text4& label,
               std::span<const ReadItem> watchedItems)
      : layout(watchedLayout), wanted(label), items(watchedItems) {}

  const Layout& layout;
  Text4 wanted{};
  std::span<const ReadItem> items;
  long long record = 0;  // the line number of that record; 0 while none was passed over
  std::optional<FieldFault> bad;
};

// How a search ended: at a record that carries its label, after reading as many records as it
// may, or at the end of the input.
enum class SearchEnd { Found, Refused, InputEnded };

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

  // A search statement: reads at most `limit` records and stops at the first whose label (the
  // layout's first data item, see Layout::labelColumn()) reads `wanted`. That record is read
  // in full as read() does, bad fields raising. A record with another label is passed over
  // without looking at any other column, except for where it holds the label (sighting()).
  // With `watched`, the records passed over are also looked at for its label. The end of the
  // input ends the search, for the caller to raise with rejectEnd().
  SearchEnd search(Statement statement, const Layout& layout, std::span<const ReadItem> items,
                   const Text4& wanted, int limit, WatchedLabel* watched = nullptr);

  // Where the last search's label stands in the records it passed over, or after it had
  // lookOnForLabel(): the first record holding it as a marker line, else the first at all.
  const LabelSighting& sighting() const { return sightings_.nearest(); }
  // After a refused search, reads on to the end of the input or to the first record that holds
  // the label (`wanted` in the label columns of `layout`) as a marker line or in its own
  // columns. Never raises: a failing input just ends the look.
  void lookOnForLabel(const Layout& layout, const Text4& wanted);

  // Raise a RecordError for the end of the input (or its failure) where the next record was
  // wanted, with `note` after the kind.
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

  std::optional<FieldFault> walk(Statement statement, const Layout& layout,
                                 std::span<const ReadItem> items);
  std::optional<FieldFault> walkRecord(Statement statement, const Layout& layout,
                                       std::span<const ReadItem> items);
  struct Label;
  struct Watch;
  SearchEnd searchFor(Statement statement, const Layout& layout, std::span<const ReadItem> items,
                      const Label& label, int limit, Watch* watch);
  int passOverHeld(const Label& label, int most, Watch* watch);
  static int passOverByKey(const Label& label, int most, const char*& line, const char* end,
                           Watch* watch, LabelSightings* sight, long long base);
  void readWatched(const Watch& watch, long long record);
  struct KeyLanding;
  static KeyLanding landingOf(const Label& label, const char* line, const char* key,
                              const char* end);
  std::optional<FieldFault> convert(Statement statement, const LayoutItem& field,
                                    const ReadItem& item, int& column, std::size_t index);
  void startRecord(Statement statement);
  bool nextRecord();
  bool refill();
  RecordFailure failureAt(Statement statement, ErrorKind kind, FieldPlace place) const;

  std::unique_ptr<ByteSource> source_;
  int unit_;
  std::string fileName_;

  // Not cleared: only bytes a read has put there are looked at. Clearing 64 KiB was a third of
  // a run on a small listing.
  std::array<char, BufferSize> buffer_;
  std::size_t bufferBegin_ = 0;
  std::size_t bufferEnd_ = 0;
  bool inputEnded_ = false;

  std::array<char, RecordReach> columns_{};
  int length_ = 0;  // characters of the current record kept in columns_
  bool recordHasComma_ = false;
  long long record_ = 0;
  std::array<ItemColumns, MaxItems> itemColumns_{};
  LabelSightings sightings_;
};

}  // namespace hlext
