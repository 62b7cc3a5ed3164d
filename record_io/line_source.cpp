#include "record_io/line_source.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

#include "record_io/label_search.hpp"

namespace hlext {

LineSource::LineSource(std::unique_ptr<ByteSource> source)
    : source_(std::move(source)), canReadAgain_(source_->canReadAgain()) {
  columns_.fill(' ');
}

void LineSource::passHeld(std::size_t bytes, int lines) {
  bufferBegin_ += bytes;
  record_ += lines;
}

std::size_t LineSource::peek(std::span<std::string_view> records) {
  while (heldLineFeeds(records.size()) < records.size() && holdMore()) {
  }
  const char* line = buffer_.data() + bufferBegin_;
  const char* const end = buffer_.data() + bufferEnd_;
  std::size_t shown = 0;
  while (shown < records.size() && line != end) {
    const auto* lineFeed =
        static_cast<const char*>(std::memchr(line, '\n', static_cast<std::size_t>(end - line)));
    // A line without its line feed is a whole record only at the end of the input.
    if (lineFeed == nullptr && !inputEnded_) break;
    std::size_t length = static_cast<std::size_t>((lineFeed != nullptr ? lineFeed : end) - line);
    if (lineFeed != nullptr && length > 0 && line[length - 1] == '\r') --length;
    records[shown++] = {line, std::min(length, static_cast<std::size_t>(RecordReach))};
    if (lineFeed == nullptr) break;
    line = lineFeed + 1;
  }
  return shown;
}

std::size_t LineSource::heldLineFeeds(std::size_t most) const {
  const char* at = buffer_.data() + bufferBegin_;
  const char* const end = buffer_.data() + bufferEnd_;
  std::size_t count = 0;
  while (count < most && at != end) {
    at = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
    if (at == nullptr) break;
    ++count;
    ++at;
  }
  return count;
}

bool LineSource::seekText(std::span<const std::string_view> phrases) {
  const PhraseFinder finder(phrases);
  const auto holdsOne = [&](std::string_view text) {
    return std::any_of(phrases.begin(), phrases.end(),
                       [&](std::string_view phrase) { return text.find(phrase) != text.npos; });
  };
  while (true) {
    if (bufferBegin_ == bufferEnd_ && !holdMore()) return false;
    const std::string_view held(buffer_.data() + bufferBegin_, bufferEnd_ - bufferBegin_);
    const std::size_t hit = finder.in(held);
    // Every line before the one the phrase stands in, or every whole line held, is passed over.
    const std::size_t lineFeed = held.rfind('\n', hit);
    const std::size_t upTo = lineFeed == held.npos ? 0 : lineFeed + 1;
    record_ += static_cast<long long>(lineFeedsIn(held.data(), held.data() + upTo));
    bufferBegin_ += upTo;
    // A line not yet held whole is held with more of the input, unless the buffer is full of it
    // or the input ends with it: it is then read as it stands.
    if (hit == held.npos && holdMore()) continue;
    if (!nextRecord()) return false;
    if (holdsOne(currentText())) return true;
  }
}

bool LineSource::passToBlank() {
  while (true) {
    const char* line = buffer_.data() + bufferBegin_;
    const char* const end = buffer_.data() + bufferEnd_;
    while (line != end) {
      const char* character = line;
      while (character != end && *character == ' ') ++character;
      const bool blank = character != end && (*character == '\n' || *character == '\r');
      const auto* lineFeed = static_cast<const char*>(
          std::memchr(character, '\n', static_cast<std::size_t>(end - character)));
      if (lineFeed == nullptr) break;
      if (blank && (*character == '\n' || character + 1 == lineFeed)) return true;
      ++record_;
      line = lineFeed + 1;
      bufferBegin_ = static_cast<std::size_t>(line - buffer_.data());
    }
    // A line not held whole: held with more of the input, or else read as it stands.
    if (holdMore()) continue;
    if (!nextRecord()) return false;
  }
}

// Moves the bytes not yet read to the front of the buffer and reads more of the input behind
// them; false when the buffer is full or the input has ended.
bool LineSource::holdMore() {
  if (inputEnded_) return false;
  if (bufferBegin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + bufferBegin_, bufferEnd_ - bufferBegin_);
    bufferOffset_ += bufferBegin_;
    bufferEnd_ -= bufferBegin_;
    bufferBegin_ = 0;
  }
  if (bufferEnd_ == buffer_.size()) return false;
  const std::size_t read = source_->read(std::span<char>(buffer_).subspan(bufferEnd_));
  if (read == 0) inputEnded_ = true;
  bufferEnd_ += read;
  return read > 0;
}

// Reads the next line into columns_, keeping at most RecordReach characters of it. A carriage
// return directly before the line feed is part of the terminator; a last line without a line
// feed is a record too.
bool LineSource::nextRecord() {
  const int previousLength = length_;
  length_ = 0;
  long long lineLength = 0;
  char lastChar = '\0';
  bool lineFeed = false;
  while (!lineFeed) {
    if (bufferBegin_ == bufferEnd_ && !holdMore()) break;
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

LineSource::Place LineSource::place() const {
  return {bufferOffset_ + bufferBegin_, record_, columns_, length_, recordHasComma_, inputEnded_};
}

// Where the input cannot be read from `place` again, it ends there.
void LineSource::goBackTo(const Place& place) {
  const bool back = source_->readAgainFrom(place.offset);
  bufferOffset_ = place.offset;
  bufferBegin_ = 0;
  bufferEnd_ = 0;
  record_ = place.record;
  columns_ = place.columns;
  length_ = place.length;
  recordHasComma_ = place.hasComma;
  inputEnded_ = place.inputEnded || !back;
}

}  // namespace hlext
