#include "record_io/label_sighting.hpp"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace hlext {

void LabelSightings::reset(std::size_t offset, const Text4& label, long long lastRecord,
                           LookAlike lookAlike) {
  offset_ = offset;
  label_ = label;
  lastRecord_ = lastRecord;
  lookAlike_ = lookAlike;
  // A label that starts with a blank or a line end could stand anywhere in blank text.
  key_ = label[0] != ' ' && label[0] != '\n' && label[0] != '\0' ? label[0] : '\0';
  marker_.record = 0;
  mention_.record = 0;
}

std::size_t LabelSightings::find(std::string_view text) const {
  std::size_t at = text.find(view(label_));
  if (at == offset_) at = text.find(view(label_), at + 1);
  return at;
}

// Takes the record at `chars` if it holds the label as a marker line, or as the first mention;
// its number, from `recordOf`, is counted only then.
template <typename RecordOf>
void LabelSightings::look(const char* chars, std::size_t length, RecordOf recordOf) {
  if (key_ == 0 || settled()) return;
  const std::string_view text(chars, std::min(length, Reach));
  const std::size_t at = find(text);
  if (at == std::string_view::npos || !accepts(text, at)) return;
  const bool marker = text.find_first_not_of(' ') == at;
  if (!marker && mention_.record != 0) return;
  const long long record = recordOf();
  if (record <= lastRecord_)
    take(marker ? marker_ : mention_, chars, text.size(), at, record, marker);
}

void LabelSightings::lookAt(const char* chars, std::size_t length, long long record) {
  look(chars, length, [record] { return record; });
}

void LabelSightings::lookAtLine(const char* lineStart, const char* lineFeed, long long record) {
  std::size_t length = static_cast<std::size_t>(lineFeed - lineStart);
  if (length > 0 && lineStart[length - 1] == '\r') --length;
  lookAt(lineStart, length, record);
}

void LabelSightings::lookAtKey(const char* recordStart, long long record, const char* at,
                               const char* end) {
  if (end - at < 4 || std::memcmp(at, label_.data(), label_.size()) != 0 || settled()) return;
  const auto* lineFeed =
      static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
  if (lineFeed == nullptr) return;  // the line is read in full later, and looked at then
  const std::string_view lead(recordStart, static_cast<std::size_t>(at - recordStart));
  const std::size_t previous = lead.rfind('\n');
  const char* lineStart =
      previous == std::string_view::npos ? recordStart : recordStart + previous + 1;
  std::size_t length = static_cast<std::size_t>(lineFeed - lineStart);
  if (length > 0 && lineStart[length - 1] == '\r') --length;
  look(lineStart, length, [&] { return record + std::count(recordStart, lineStart, '\n'); });
}

void LabelSightings::lookAtKeys(const char* recordStart, long long record, const char* at,
                                const char* upTo, const char* end) {
  while (at != nullptr && !settled()) {
    lookAtKey(recordStart, record, at, end);
    if (++at >= upTo) return;
    at = static_cast<const char*>(std::memchr(at, key_, static_cast<std::size_t>(upTo - at)));
  }
}

void LabelSightings::takeOwnColumns(const char* chars, std::size_t length, long long record) {
  if (key_ == 0 || settled()) return;
  const std::size_t kept = std::min(length, Reach);
  const std::string_view text(chars, kept);
  if (!accepts(text, offset_)) return;
  take(marker_, chars, kept, offset_, record, text.find_first_not_of(' ') == offset_);
}

void LabelSightings::take(LabelSighting& into, const char* chars, std::size_t length,
                          std::size_t at, long long record, bool startsText) {
  into.record = record;
  into.column = static_cast<int>(at) + 1;
  into.startsText = startsText;
  into.from.assign(chars + at, length - std::min(at, length));
}

}  // namespace hlext
