// Fuzz target: the record reader on its own, under the layouts the extraction reads with.
//
// Input: byte 0 sets how many bytes the source hands over per read (1 to 64, so that records
// and line ends straddle refills) and, with bit 6, whether that source can be read again as a
// file on disk can (the source that hands over everything at once can when it cannot), bytes
// 1-4 are a program of up to four statements, bytes 5-8 a label, byte 9 how searches run, and
// the rest is the unit's input. Each program byte picks a layout, how many of its data items
// the statement fills, and whether a bad field raises or is handed back. A statement that
// would hand back a bad field of at least one item under a layout that begins with a label
// (the search layouts) is a search instead: it looks for the label of its own search, or for the label of
// bytes 5-8 when bit i of byte 9 says so for statement i, in at most 1 + 8 * (byte 9 / 16)
// records. The program repeats until the input ends.
//
// The program runs three times: on the chunked source, on a source that hands over everything
// at once, and on the chunked source again with every search made the general way, a read of
// each record and a look at its label; all three must see the same records and values, so a
// search passes over the same records, stops at the same one and fails in the same way as a
// walk over every record would. Every search also looks out for the occupied-count label, as the
// heading search does, and must see the same last record carrying it as the walk; a search
// that fails must name the same record holding its label elsewhere as the walk finds, on a
// source that can be read again and on one that cannot.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "extract/statements.hpp"
#include "extract/unit_table.hpp"
#include "record_io/byte_stream.hpp"
#include "record_io/record_error.hpp"
#include "record_io/record_reader.hpp"
#include "tests/support/lines.hpp"
#include "tests/support/memory_input.hpp"
#include "tests/support/read_items.hpp"

namespace {

using hlext::testing::chunkedReader;
using hlext::testing::Items;
using hlext::testing::MemorySource;
using hlext::testing::readOrReject;

hlext::RecordReader readerOf(std::string_view input, std::size_t chunk, bool readAgain) {
  return {std::make_unique<MemorySource>(input, std::vector{chunk}, "", readAgain),
          hlext::ListingUnit, "hlext.dat"};
}

[[noreturn]] void finding(const char* what) {
  std::fprintf(stderr, "record_reader_fuzzer: %s\n", what);
  std::abort();
}

const hlext::StatementLayouts& systemLayouts() {
  static const hlext::StatementLayouts layouts;
  return layouts;
}

// The layouts the extraction reads the listing with.
const std::array<const hlext::Layout*, 7>& readLayouts() {
  const hlext::StatementLayouts& all = systemLayouts();
  static const std::array<const hlext::Layout*, 7> layouts = {
      &all.occupiedCount, &all.heading,           &all.firstHeader, &all.header,
      &all.blockEnergies, &all.nextBlockEnergies, &all.row};
  return layouts;
}

// Records a read of `count` items consumes: the current one and every record break met before
// the walk stops at the data item after the last one filled, or at the end of the layout.
long long recordsConsumed(const hlext::Layout& layout, std::size_t count) {
  long long records = 1;
  std::size_t filled = 0;
  for (const hlext::LayoutItem& item : layout.items()) {
    if (item.isData()) {
      if (filled == count) break;
      ++filled;
    } else if (item.kind == hlext::LayoutItemKind::RecordBreak) {
      ++records;
    }
  }
  return records;
}

// The label each search layout is looked through for.
hlext::Text4 ownLabel(const hlext::Layout* layout) {
  if (layout == &systemLayouts().occupiedCount) return hlext::text4("RHF ");
  if (layout == &systemLayouts().heading) return hlext::text4("EIGE");
  return hlext::text4("ROOT");
}

struct Statement {
  const hlext::Layout* layout;
  std::size_t count;
  bool tolerant;
  bool search;
  hlext::Text4 label;  // what a search looks for
  int limit;           // the records a search may read
};

enum class SearchBy { Reader, Walk };

// A record as a look-out for the occupied-count label reads it.
struct CountView {
  bool carries = false;  // "RHF " in columns 11-14
  std::string seen;      // its label and count, or the text of a count that does not convert
  std::string text;      // its first RecordReach characters, without the line end
};

// The records of the input as a read keeps them, split here without the reader.
std::vector<std::string> recordTexts(std::string_view input) {
  std::vector<std::string> texts = hlext::testing::splitLines(input);
  for (std::size_t i = 0; i < texts.size(); ++i) {
    // A carriage return is part of the line end only before a line feed.
    if (texts[i].ends_with('\r') && (i + 1 < texts.size() || input.ends_with('\n')))
      texts[i].pop_back();
    texts[i].resize(std::min<std::size_t>(texts[i].size(), hlext::RecordReader::RecordReach));
  }
  return texts;
}

std::string countSeen(const Items& items, const std::optional<hlext::FieldFault>& bad) {
  if (bad) return "bad " + bad->place.text;
  return items.rendered();
}

// Every record of the input read under the occupied-count layout; index 0 stands for none.
std::vector<CountView> countViews(std::string_view input) {
  const hlext::Layout& layout = systemLayouts().occupiedCount;
  hlext::RecordReader reader = chunkedReader(input, {input.size() + 1});
  std::vector<CountView> views(1);
  const std::vector<std::string> texts = recordTexts(input);
  try {
    while (true) {
      Items items(layout, 2);
      const auto bad = reader.read(1, layout, items.list());
      const auto record = static_cast<std::size_t>(reader.recordNumber());
      if (record > texts.size()) finding("a record the split does not hold");
      views.push_back(
          {items.text(0) == hlext::text4("RHF "), countSeen(items, bad), texts[record - 1]});
    }
  } catch (const hlext::RecordError&) {
    // The end of the input.
  }
  if (views.size() != texts.size() + 1) finding("the split and the reader count other records");
  return views;
}

void checkBadField(const hlext::FieldFault& bad, long long before, long long after) {
  if (bad.place.record <= before || bad.place.record > after)
    finding("a bad field outside the records the statement read");
  if (bad.place.firstColumn < 1 || bad.place.lastColumn > hlext::RecordReader::RecordReach ||
      static_cast<int>(bad.place.text.size()) != bad.place.lastColumn - bad.place.firstColumn + 1)
    finding("a bad field whose columns do not match its text");
}

std::string said(const hlext::LabelSighting& sighting) {
  if (sighting.record == 0) return " sighted none";
  return " sighted " + std::to_string(sighting.record) + ' ' + std::to_string(sighting.column);
}

// Where a failed search's label stands in the records it passed over: the first record whose
// text begins with it (after blanks), else the first holding it anywhere, never in its own
// columns.
struct WalkSighting {
  std::size_t offset = 0;
  hlext::Text4 label{};
  std::array<long long, 2> record{};  // of the first marker line, of the first mention
  std::array<std::size_t, 2> column{};

  void look(const std::string& text, long long number) {
    if (label[0] == ' ' || label[0] == '\n' || label[0] == '\0' || record[0] != 0) return;
    const std::string_view wanted(label.data(), label.size());
    std::size_t at = text.find(wanted);
    if (at == offset) at = text.find(wanted, at + 1);
    if (at == std::string::npos) return;
    const std::size_t kind = text.find_first_not_of(' ') == at ? 0 : 1;
    if (record[kind] != 0) return;
    record[kind] = number;
    column[kind] = at + 1;
  }
  hlext::LabelSighting sighting() const {
    const std::size_t kind = record[0] != 0 ? 0 : 1;
    return {record[kind], static_cast<int>(column[kind]), false, {}};
  }
};

// A search made the general way: every record read in full, then judged by its label. The
// last record passed over that carries the occupied-count label goes to `watched`.
bool walkSearch(hlext::RecordReader& reader, const Statement& statement, Items& items,
                const std::vector<CountView>& views, long long& watched, WalkSighting& sighting) {
  for (int records = 0; records < statement.limit; ++records) {
    const long long before = reader.recordNumber();
    std::optional<hlext::FieldFault> bad;
    try {
      bad = reader.read(1, *statement.layout, items.list());
    } catch (const hlext::RecordError& error) {
      if (error.kind() != hlext::ErrorKind::EndOfFile) throw;
      reader.rejectEnd(1, said(sighting.sighting()));
    }
    const auto record = static_cast<std::size_t>(reader.recordNumber());
    if (record >= views.size()) finding("a record the count views do not hold");
    if (items.text(0) != statement.label) {
      if (views[record].carries) watched = reader.recordNumber();
      sighting.look(views[record].text, reader.recordNumber());
      continue;
    }
    if (bad) {
      checkBadField(*bad, before, reader.recordNumber());
      reader.reject(*bad);
    }
    return true;
  }
  return false;
}

// Runs one search and gives what it saw: the record it stopped at and, when one matched, the
// values it filled; then the last record it passed over with the occupied-count label.
std::string runSearch(hlext::RecordReader& reader, const Statement& statement, Items& items,
                      SearchBy by, const std::vector<CountView>& views) {
  const long long before = reader.recordNumber();
  Items countItems(systemLayouts().occupiedCount, 2);
  std::optional<hlext::FieldFault> countBad;
  long long watched = 0;
  bool found = false;
  std::string sighted;
  if (by == SearchBy::Reader) {
    // As the heading search does: stop at the occupied-count label too, keep the last such
    // record, and go on within the same limit.
    const std::array<hlext::SearchLabel, 2> labels = {
        hlext::searchLabel(*statement.layout, statement.label),
        hlext::searchLabel(systemLayouts().occupiedCount, hlext::text4("RHF "))};
    reader.searches().lookOutFor(labels[0], statement.limit);
    while (true) {
      const auto left = statement.limit - static_cast<int>(reader.recordNumber() - before);
      if (left == 0) break;
      const hlext::SearchStop stop = reader.searches().searchAmong(labels, left);
      if (stop.end == hlext::SearchEnd::InputEnded)
        reader.rejectEnd(1, said(reader.searches().sighting()));
      if (stop.end == hlext::SearchEnd::Refused) break;
      if (stop.label == 0) {
        if (auto bad =
                reader.read(1, *statement.layout, items.list(), hlext::ReadFrom::CurrentRecord))
          reader.reject(*bad);
        found = true;
        break;
      }
      countBad = reader.read(1, systemLayouts().occupiedCount, countItems.list(),
                             hlext::ReadFrom::CurrentRecord);
      watched = reader.recordNumber();
    }
    if (!found) sighted = said(reader.searches().sighting());
  } else {
    WalkSighting sighting{static_cast<std::size_t>(statement.layout->labelColumn() - 1),
                          statement.label};
    found = walkSearch(reader, statement, items, views, watched, sighting);
    sighted = said(sighting.sighting());
  }
  const long long read = reader.recordNumber() - before;
  if (read < 1 || read > statement.limit || (!found && read != statement.limit))
    finding("a search read the wrong number of records");
  std::string trace = (found ? "found " : "none ") + std::to_string(reader.recordNumber()) + ':';
  if (found) trace += items.rendered();
  if (!found) trace += sighted;
  trace += " watched " + std::to_string(watched) + ' ';
  if (watched > 0)
    trace += by == SearchBy::Reader ? countSeen(countItems, countBad)
                                    : views[static_cast<std::size_t>(watched)].seen;
  return trace + '\n';
}

// Runs the program over the input and gives a trace of everything the statements saw.
std::string runProgram(std::span<const Statement> program, std::string_view input,
                       std::size_t chunk, bool readAgain, SearchBy searchBy,
                       const std::vector<CountView>& views) {
  hlext::RecordReader reader = readerOf(input, chunk, readAgain);
  std::string trace;
  // Each statement reads at least one record, so the input ends within this many statements.
  const std::size_t limit = input.size() + 2;
  for (std::size_t step = 0; step < limit; ++step) {
    const Statement& statement = program[step % program.size()];
    Items items(*statement.layout, statement.count);
    const long long before = reader.recordNumber();
    try {
      if (statement.search) {
        trace += runSearch(reader, statement, items, searchBy, views);
        continue;
      }
      if (statement.tolerant) {
        if (const auto bad = reader.read(1, *statement.layout, items.list())) {
          checkBadField(*bad, before, reader.recordNumber());
          trace += "bad " + std::to_string(bad->place.record) + ' ' + bad->place.text + '\n';
          continue;
        }
      } else {
        readOrReject(reader, 1, *statement.layout, items.list());
      }
      if (reader.recordNumber() - before != recordsConsumed(*statement.layout, statement.count))
        finding("a read consumed the wrong number of records");
    } catch (const hlext::RecordError& error) {
      trace += error.diagnostic() + '\n';
      if (error.kind() == hlext::ErrorKind::EndOfFile) return trace;
      if (statement.tolerant && !statement.search) finding("a tolerant read raised for a field");
      continue;
    }
    trace += std::to_string(reader.recordNumber()) + ':';
    trace += items.rendered();
    trace += '\n';
  }
  finding("the input did not end");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t ProgramBytes = 4;
  constexpr std::size_t HeaderBytes = 1 + ProgramBytes + 4 + 1;
  if (size < HeaderBytes) return 0;
  const std::size_t chunk = 1 + data[0] % 64;
  const bool chunkedReadAgain = (data[0] & 0x40U) != 0;
  const hlext::Text4 otherLabel = {static_cast<char>(data[5]), static_cast<char>(data[6]),
                                   static_cast<char>(data[7]), static_cast<char>(data[8])};
  const unsigned searchByte = data[9];
  std::array<Statement, ProgramBytes> program{};
  for (std::size_t i = 0; i < ProgramBytes; ++i) {
    const unsigned byte = data[1 + i];
    const hlext::Layout* layout = readLayouts()[byte % readLayouts().size()];
    const auto dataItems = static_cast<std::size_t>(layout->dataItemCount());
    const std::size_t count =
        std::min(byte / readLayouts().size() % (dataItems + 1), hlext::RecordReader::MaxItems);
    const bool tolerant = (byte & 0x80U) != 0;
    const bool search = tolerant && count >= 1 && layout->labelColumn() != 0;
    const bool other = (searchByte >> i & 1U) != 0;
    program[i] = {layout,
                  count,
                  tolerant,
                  search,
                  other ? otherLabel : ownLabel(layout),
                  1 + 8 * static_cast<int>(searchByte >> 4)};
  }
  const std::string_view input(reinterpret_cast<const char*>(data) + HeaderBytes,
                               size - HeaderBytes);
  // An exception other than the RecordErrors the program expects goes through, uncaught, and
  // ends the run as a finding.
  const std::vector<CountView> views = countViews(input);
  const std::string chunked =
      runProgram(program, input, chunk, chunkedReadAgain, SearchBy::Reader, views);
  const std::string whole =
      runProgram(program, input, input.size() + 1, !chunkedReadAgain, SearchBy::Reader, views);
  if (chunked != whole) finding("chunked and whole input read differently");
  const std::string walked = runProgram(program, input, chunk, false, SearchBy::Walk, views);
  if (chunked != walked) finding("a search and a walk over every record read differently");
  return 0;
}
