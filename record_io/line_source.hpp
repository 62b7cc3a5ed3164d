// The records of an input, one line each: a buffer over the input's bytes, the current record
// as a read keeps it (its first RecordReach columns, so a record of any length costs the same
// memory), record numbers, and going back to a remembered place where the input can be read
// again. Lines the buffer holds whole can be looked at and passed over without copying them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "record_io/byte_stream.hpp"

namespace hlext {

class LineSource {
 public:
  static constexpr int RecordReach = 128;
  static constexpr std::size_t BufferSize = 64 * 1024;

  explicit LineSource(std::unique_ptr<ByteSource> source);

  // Makes the next line the current record; false at the end of the input (or its failure).
  bool nextRecord();
  // Records read so far: the line number of the current record.
  long long recordNumber() const { return record_; }
  // The current record's first RecordReach columns, blank past its end, and how many of them
  // it has.
  const char* columns() const { return columns_.data(); }
  int length() const { return length_; }
  bool hasComma() const { return recordHasComma_; }
  // The current record, as far as a read keeps it.
  std::string_view currentText() const {
    return {columns_.data(), static_cast<std::size_t>(length_)};
  }
  // The system's explanation of a read that failed; empty while reads succeed.
  FileResult failure() const { return source_->failure(); }
  // Whether opening the input created it, empty.
  bool createdEmpty() const { return source_->createdEmpty(); }
  // From now on the input ends where what has arrived ends (see ByteSource::stopWaiting()).
  void stopWaiting() { source_->stopWaiting(); }

  // The bytes held and not yet read: whole lines, and perhaps the start of one more.
  std::string_view held() const {
    return {buffer_.data() + bufferBegin_, bufferEnd_ - bufferBegin_};
  }
  // Passes over the first `bytes` of held(), which are `lines` whole lines.
  void passHeld(std::size_t bytes, int lines);
  // Shows the next records, as many as `records` has room for and the input holds, without
  // reading them: each as the first RecordReach characters of its line, without the line's
  // terminator. The views hold until the next read. Gives how many it shows.
  std::size_t peek(std::span<std::string_view> records);

  // Passes over the records that hold none of `phrases` (at most PhraseFinder::MostPhrases)
  // in their first RecordReach columns and reads the first that holds one, which is then the
  // current record (see currentText()). False at the end of the input.
  bool seekText(std::span<const std::string_view> phrases);

  // Passes over the records before the next blank one (nothing but blanks before its line
  // terminator), which is left unread. False when the input ends first.
  bool passToBlank();

  // Whether the input can be read again, as a file on disk can.
  bool canReadAgain() const { return canReadAgain_; }

  // Where the source stands between two records.
  struct Place {
    std::uint64_t offset = 0;  // the byte after the current record
    long long record = 0;
    std::array<char, RecordReach> columns{};
    int length = 0;
    bool hasComma = false;
    bool inputEnded = false;
  };
  // Where the source stands now, to come back to with goBackTo() on an input that can be read
  // again; where it cannot, going back ends the input there.
  Place place() const;
  void goBackTo(const Place& place);

 private:
  bool holdMore();
  std::size_t heldLineFeeds(std::size_t most) const;

  std::unique_ptr<ByteSource> source_;
  bool canReadAgain_;
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
};

}  // namespace hlext
