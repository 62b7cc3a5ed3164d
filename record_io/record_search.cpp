#include "record_io/record_search.hpp"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>

namespace hlext {

SearchLabel searchLabel(const Layout& layout, const Text4& text) {
  assert(layout.labelColumn() > 0);  // the layouts searched with say so at compile time
  return {static_cast<std::size_t>(layout.labelColumn() - 1), text};
}

void RecordSearch::lookOutFor(const SearchLabel& label, int limit, LookAlike lookAlike) {
  sightings_.reset(label.offset(), label.text(), lines_.recordNumber() + limit, lookAlike);
}

SearchStop RecordSearch::searchAmong(std::span<const SearchLabel> labels, int limit) {
  assert(!labels.empty());
  int records = 0;
  while (true) {
    records += passOverHeld(labels, limit - records);
    if (records >= limit) return {SearchEnd::Refused};
    // The next record carries a label, or its line feed is not in the buffer: it is read in
    // full and judged by its columns, as a walk would.
    ++records;
    if (!lines_.nextRecord()) return {SearchEnd::InputEnded};
    const auto carried = std::find_if(labels.begin(), labels.end(), [&](const SearchLabel& label) {
      return label.isInColumns(lines_.columns());
    });
    if (carried == labels.begin()) return {SearchEnd::Found, 0};
    sightings_.lookAt(lines_.columns(), static_cast<std::size_t>(lines_.length()),
                      lines_.recordNumber());
    if (carried != labels.end())
      return {SearchEnd::Found, static_cast<std::size_t>(carried - labels.begin())};
  }
}

void RecordSearch::lookOnForLabel() {
  lines_.stopWaiting();
  sightings_.lookPastSearch();
  while (!sightings_.settled() && lines_.nextRecord()) {
    const std::size_t length = static_cast<std::size_t>(lines_.length());
    if (std::memcmp(lines_.columns() + sightings_.offset(), sightings_.label().data(), 4) == 0)
      sightings_.takeOwnColumns(lines_.columns(), length, lines_.recordNumber());
    else
      sightings_.lookAt(lines_.columns(), length, lines_.recordNumber());
  }
}

// Passes over at most `most` records that the buffer holds whole and that carry none of the
// labels, without copying them; gives how many it passed over.
int RecordSearch::passOverHeld(std::span<const SearchLabel> labels, int most) {
  const std::string_view held = lines_.held();
  const char* const begin = held.data();
  const char* const end = held.data() + held.size();
  LabelSightings* sightings =
      sightings_.key() != 0 && !sightings_.settled() ? &sightings_ : nullptr;
  HeldPass pass =
      hlext::passOverHeld(labels[0], begin, end, most, sightings, lines_.recordNumber() + 1);
  // The other labels are looked for only in the lines the first one passed over, which hold no
  // more records than it passed, so the limit is never what stops them.
  for (const SearchLabel& other : labels.subspan(1)) {
    const HeldPass shorter = hlext::passOverHeld(other, begin, pass.next, pass.passed + 1, nullptr,
                                                 lines_.recordNumber() + 1);
    if (shorter.passed < pass.passed) pass = shorter;
  }
  lines_.passHeld(static_cast<std::size_t>(pass.next - begin), pass.passed);
  return pass.passed;
}

}  // namespace hlext
