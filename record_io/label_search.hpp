// The look for a search's label among the records a buffer holds whole: a label in fixed
// columns, judged on a line as a read of the line would read those columns, and the pass over
// the lines that do not carry it. Most lines are only counted, not looked at one by one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "record_io/items.hpp"
#include "record_io/label_sighting.hpp"

namespace hlext {

struct HeldPass;
class LabelSightings;

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

 private:
  friend struct HeldLines;
  friend HeldPass passOverHeld(const SearchLabel& label, const char* begin, const char* end,
                               int most, LabelSightings* sightings, long long record);

  std::size_t offset_ = 0;
  Text4 text_{};
  std::uint32_t wanted_ = 0;  // its four characters
  std::size_t shortest_ = 0;  // a shorter line reads a blank where the label has none
  // A character a line must hold itself to carry the label: the label's first non-blank one, at
  // `keyOffset_` from the line's start. Zero when a pass goes line by line instead: for a
  // blank label, which short lines carry, and for a line feed or a NUL.
  char key_ = 0;
  std::size_t keyOffset_ = 0;
};

// The number of line feeds in [begin, end).
std::size_t lineFeedsIn(const char* begin, const char* end);

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
