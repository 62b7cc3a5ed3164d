// The look for a search's label among the records a buffer holds whole: a label in fixed
// columns, judged on a line as a read of the line would read those columns, and the pass over
// the lines that do not carry it. Most lines are only counted, not looked at one by one.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "record_io/items.hpp"
#include "record_io/label_sighting.hpp"

namespace hlext {

class SearchLabel {
 public:
  // The label `text` in columns offset+1 to offset+4.
  SearchLabel(std::size_t offset, const Text4& text);

  std::size_t offset() const { return offset_; }
  const Text4& text() const { return text_; }
  // A line held whole, `length` characters without its line feed, carries the label.
  bool isIn(const char* line, std::size_t length) const;
  // The columns of a record as a read keeps them (blank past its end) carry the label.
  bool isInColumns(const char* columns) const;

  // A character a line must hold itself to carry the label: the label's first non-blank one, at
  // keyOffset() from the line's start. Zero when a pass goes line by line instead: for a blank
  // label, which short lines carry, and for a line feed or a NUL.
  char key() const { return key_; }
  std::size_t keyOffset() const { return keyOffset_; }

 private:
  std::size_t offset_ = 0;
  Text4 text_{};
  std::uint32_t wanted_ = 0;  // its four characters
  std::size_t shortest_ = 0;  // a shorter line reads a blank where the label has none
  char key_ = 0;
  std::size_t keyOffset_ = 0;
};

// Finds any of a few phrases in held text by the rarest character of each, so that most of
// the text is passed over by memchr alone, once for all phrases that share that character.
class PhraseFinder {
 public:
  static constexpr std::size_t MostPhrases = 4;

  explicit PhraseFinder(std::span<const std::string_view> phrases);
  // Where the first of the phrases to stand in `text` starts; npos when none does.
  std::size_t in(std::string_view text) const;

 private:
  std::size_t inByKey(std::string_view text, char key) const;

  std::span<const std::string_view> phrases_;
  std::array<std::size_t, MostPhrases> keyOffsets_{};
};

// The number of line feeds in [begin, end). Sixty-four byte-wide counts, one for each byte of
// a 64-byte step, fit four 16-byte vector registers; they are summed before any can pass 255.
inline std::size_t lineFeedsIn(const char* begin, const char* end) {
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

// How far a pass over held lines went.
struct HeldPass {
  const char* next;  // the start of the first line not passed over
  int passed;        // the lines passed over
};

// Passes over at most `most` lines of [begin, end) held whole, with their line feed, that do
// not carry `label`. It stops before a line that carries it or is not held whole (it reaches
// past `end`). With `sightings`, the lines passed over are looked at for the label elsewhere,
// `record` being the number of the line at `begin`.
HeldPass passOverHeld(const SearchLabel& label, const char* begin, const char* end, int most,
                      LabelSightings* sightings, long long record);

}  // namespace hlext
