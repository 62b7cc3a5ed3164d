// The search of a read statement: it passes over the records of a line source up to the first
// that carries one of its labels in their own columns, most of them without copying, and looks
// out on the way for where the label stands elsewhere, to say so when the search fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "record_io/items.hpp"
#include "record_io/label_search.hpp"
#include "record_io/label_sighting.hpp"
#include "record_io/layout.hpp"
#include "record_io/line_source.hpp"

namespace hlext {

// How a search ended: at a record that carries its label, after reading as many records as it
// may, or at the end of the input.
enum class SearchEnd { Found, Refused, InputEnded };

// Where a search among several labels stopped, and which of them the record carries.
struct SearchStop {
  SearchEnd end = SearchEnd::Found;
  std::size_t label = 0;  // the first of the labels that the record carries, when Found
};

// The label a search for `text` under `layout` looks for: the layout's first data item, see
// Layout::labelColumn(), which a layout searched with has.
SearchLabel searchLabel(const Layout& layout, const Text4& text);

class RecordSearch {
 public:
  explicit RecordSearch(LineSource& lines) : lines_(lines) {}

  // Starts noting where `label` stands in the next `limit` records (see sighting()); with
  // `lookAlike`, only in the records it accepts.
  void lookOutFor(const SearchLabel& label, int limit, LookAlike lookAlike = nullptr);
  // Reads at most `limit` records up to the first that carries one of `labels`, which is then
  // the current record; a record with none of them is passed over without looking at any
  // other column, except for where it holds the label looked out for.
  SearchStop searchAmong(std::span<const SearchLabel> labels, int limit);

  // Where the label looked out for stands in the records searched, or after lookOnForLabel():
  // the first record holding it as a marker line, else the first holding it at all.
  const LabelSighting& sighting() const { return sightings_.nearest(); }
  // After a refused search, reads on to the end of the input (of a pipe: of what has arrived,
  // without waiting for more) or to the first record that holds the label as a marker line or
  // in its own columns. Never raises: a failing input just ends the look.
  void lookOnForLabel();

 private:
  int passOverHeld(std::span<const SearchLabel> labels, int most);

  LineSource& lines_;
  LabelSightings sightings_;
};

}  // namespace hlext
