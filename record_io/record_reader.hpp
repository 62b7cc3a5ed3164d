// Reads the records of an input unit under layouts. Only the first RecordReach columns of a
// record are kept (no layout reaches further), so a record of any length costs the same memory.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "record_io/byte_stream.hpp"
#include "record_io/items.hpp"
#include "record_io/layout.hpp"
#include "record_io/record_error.hpp"
#include "record_io/statement.hpp"

namespace hlext {

// A field that did not convert, as found by a tolerant read.
struct BadField {
  ErrorKind kind = ErrorKind::BadInteger;
  Statement statement;
  long long record = 0;
  int firstColumn = 0;
  int lastColumn = 0;
  std::string text;
};

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
  [[nodiscard]] std::optional<BadField> scan(Statement statement, const Layout& layout,
                                             std::span<const ReadItem> items);

  // A search statement: reads at most `limit` records and stops at the first whose label (the
  // layout's first data item, see Layout::labelColumn()) reads `wanted`. That record is read
  // in full as read() does, bad fields raising, and the search gives true. A record with
  // another label is passed over without looking at any other column; records that run out
  // before one matches give false. The end of the input raises as read() does.
  bool search(Statement statement, const Layout& layout, std::span<const ReadItem> items,
              const Text4& wanted, int limit);

  // Raise a RecordError for a bad field found by scan().
  [[noreturn]] void reject(const BadField& field) const;
  // Raise a RecordError of `kind` for item `index` of the last statement: its value converted
  // but the extraction cannot use it.
  [[noreturn]] void rejectItem(Statement statement, std::size_t index, ErrorKind kind) const;
  // Raise a RecordError of `kind` for the last record read.
  [[noreturn]] void rejectRecord(Statement statement, ErrorKind kind, std::string reason) const;

  const std::string& fileName() const { return fileName_; }

  // Records read so far: the line number of the last record read.
  long long recordNumber() const { return record_; }

 private:
  struct FieldSpot {
    long long record = 0;
    int firstColumn = 0;
    int lastColumn = 0;
    std::string_view text;  // valid while the record is current
  };

  std::optional<BadField> walk(Statement statement, const Layout& layout,
                               std::span<const ReadItem> items);
  std::optional<BadField> walkRecord(Statement statement, const Layout& layout,
                                     std::span<const ReadItem> items);
  struct Label;
  int passOverHeld(const Label& label, int most);
  static int passOverByKey(const Label& label, int most, const char*& line, const char* end);
  struct KeyLanding;
  static KeyLanding landingOf(const Label& label, const char* line, const char* key,
                              const char* end);
  std::optional<BadField> convert(Statement statement, const LayoutItem& field,
                                  const ReadItem& item, int& column, std::size_t index);
  void startRecord(Statement statement);
  bool nextRecord();
  bool refill();
  RecordFailure failureAt(Statement statement, ErrorKind kind) const;

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
  std::array<FieldSpot, MaxItems> spots_{};
};

}  // namespace hlext
