// Where a search's label stands in the records a search passed over without finding it in its
// own columns: the first record that holds it as a marker line is printed (the label begins
// the line's text) and the first that holds it inside other text. Only the first RecordReach
// columns of a record are looked at, as a read keeps no more of it.
#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

#include "record_io/items.hpp"

namespace hlext {

// Whether a record (`text`) that holds a search's label at `at`, outside the label's own
// columns, is a look-alike of the record the search wants, worth naming.
using LookAlike = bool (*)(std::string_view text, std::size_t at);

struct LabelSighting {
  long long record = 0;     // 0 while no record holds the label
  int column = 0;           // the label's first column
  bool startsText = false;  // only blanks stand before it
  std::string from;         // the record from the label on, as far as a read keeps it
};

class LabelSightings {
 public:
  static constexpr std::size_t Reach = 128;

  // Starts over for a search that wants the label at columns offset+1 to offset+4, in records
  // up to `lastRecord`; with `lookAlike`, only the records it accepts are taken.
  void reset(std::size_t offset, const Text4& label, long long lastRecord,
             LookAlike lookAlike = nullptr);

  // Looks at record `record`, `length` characters without its line terminator; the label in
  // its own columns is not a sighting.
  void lookAt(const char* chars, std::size_t length, long long record);
  // True once nothing a later record holds can be named instead.
  bool settled() const { return marker_.record != 0; }
  char key() const { return key_; }
  std::size_t offset() const { return offset_; }
  const Text4& label() const { return label_; }
  // The marker line if a record holds one, else the first record holding the label at all.
  const LabelSighting& nearest() const { return marker_.record != 0 ? marker_ : mention_; }
  // Lets records past the search's last one be looked at, as a refused search reads on.
  void lookPastSearch() { lastRecord_ = std::numeric_limits<long long>::max(); }
  // A line held whole in a buffer, [lineStart, lineFeed), as record `record`.
  void lookAtLine(const char* lineStart, const char* lineFeed, long long record);
  // The place `at` of a buffer that holds the label's first character, where a search passes
  // over the lines; `recordStart` starts record `record` at or before `at`, and `end` ends the
  // bytes held. The records between are counted only when the line is taken.
  void lookAtKey(const char* recordStart, long long record, const char* at, const char* end);
  // lookAtKey() for every place of [at, upTo) that holds the label's first character.
  void lookAtKeys(const char* recordStart, long long record, const char* at, const char* upTo,
                  const char* end);
  // Counts a record that holds the label in its own columns, as a marker line.
  void takeOwnColumns(const char* chars, std::size_t length, long long record);

 private:
  // The label's first column in the record outside its own columns, from 0; npos if none.
  std::size_t find(std::string_view text) const;
  bool accepts(std::string_view text, std::size_t at) const {
    return lookAlike_ == nullptr || lookAlike_(text, at);
  }
  template <typename RecordOf>
  void look(const char* chars, std::size_t length, RecordOf recordOf);
  void take(LabelSighting& into, const char* chars, std::size_t length, std::size_t at,
            long long record, bool startsText);

  std::size_t offset_ = 0;
  Text4 label_{};
  char key_ = 0;  // the label's first character; 0 when it is blank: no sightings then
  long long lastRecord_ = 0;
  LookAlike lookAlike_ = nullptr;
  LabelSighting marker_;
  LabelSighting mention_;
};

}  // namespace hlext
