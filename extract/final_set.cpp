#include "extract/final_set.hpp"

#include <algorithm>
#include <array>
#include <optional>

#include "extract/listing_messages.hpp"
#include "extract/listing_texts.hpp"
#include "extract/statements.hpp"

namespace hlext {
namespace {

bool isBlank(std::string_view text) { return trimmed(text).empty(); }

// A page record of the six-column layout: "1" in column 1 and nothing else.
bool isPageRecord(std::string_view text) {
  return !text.empty() && text[0] == '1' && isBlank(text.substr(1));
}

int columnOf(const std::array<std::int32_t, MostBlockOrbitals>& orbitals, int count,
             std::int32_t orbital) {
  const auto end = orbitals.begin() + count;
  const auto found = std::find(orbitals.begin(), end, orbital);
  return found == end || orbital < 1 ? 0 : static_cast<int>(found - orbitals.begin()) + 1;
}

}  // namespace

struct FinalSetReader::Block {
  std::array<std::int32_t, MostBlockOrbitals> orbitals{};
  std::array<float, MostBlockOrbitals> energies{};
  int columnN = 0;  // the block column of orbital N, from 1; 0 when the block lacks it
  int columnNext = 0;
};

FinalSetReader::FinalSetReader(RecordReader& listing, std::int32_t occupiedCount, Faults faults)
    : listing_(listing), occupiedCount_(occupiedCount), faults_(faults) {}

bool FinalSetReader::read(FinalSet& set) {
  set = FinalSet{};
  set.headingRecord = listing_.recordNumber();
  passBlankRecords(false);
  if (nextRecordIsUnderline()) {
    passRecord();
    passBlankRecords(false);
  }
  const std::optional<std::string_view> first = nextRecordText();
  if (!first) return false;
  const BlockLayout* layout = blockLayoutOf(*first);
  if (layout == nullptr) {
    if (faults_ == Faults::Raise && looksLikeBlockHeader(*first)) {
      const std::string header(trimmed(*first));
      const int column = static_cast<int>(first->find_first_not_of(' ')) + 1;
      passRecord();
      listing_.rejectAs(
          statement::FinalHeader, UnknownBlockLayout,
          {listing_.recordNumber(), column, column + static_cast<int>(header.size()) - 1, header});
    }
    return false;
  }
  set.layout = layout;
  do {
    if (!readBlock(*layout, set)) return false;
    passBlankRecords(layout->pageMarks);
    const std::optional<std::string_view> next = nextRecordText();
    if (!next || blockLayoutOf(*next) != layout) return true;
  } while (true);
}

bool FinalSetReader::readBlock(const BlockLayout& layout, FinalSet& set) {
  Block block;
  if (!readHeader(layout, block)) return false;
  for (int column = 0; column < layout.orbitals; ++column) {
    const std::int32_t orbital = block.orbitals[static_cast<std::size_t>(column)];
    if (orbital < 1) continue;
    set.firstOrbital = set.firstOrbital == 0 ? orbital : std::min(set.firstOrbital, orbital);
    set.lastOrbital = std::max(set.lastOrbital, orbital);
  }
  block.columnN = columnOf(block.orbitals, layout.orbitals, occupiedCount_);
  block.columnNext = columnOf(block.orbitals, layout.orbitals, occupiedCount_ + 1);
  passBlankRecords(false);
  if (layout.symmetryRecord) {
    if (!passRecord()) return false;
    passBlankRecords(false);
  }
  if (!readEnergies(layout, block)) return false;
  if (block.columnN != 0) {
    set.holdsN = true;
    set.energyN = block.energies[static_cast<std::size_t>(block.columnN - 1)];
  }
  if (block.columnNext != 0) {
    set.holdsNext = true;
    set.energyNext = block.energies[static_cast<std::size_t>(block.columnNext - 1)];
  }
  set.sameBlock = set.sameBlock || (block.columnN != 0 && block.columnNext != 0);
  passBlankRecords(false);
  return readRows(layout, block, set);
}

bool FinalSetReader::readHeader(const BlockLayout& layout, Block& block) {
  Text4 root{};
  Text4 number{};
  auto& o = block.orbitals;
  const std::array<ReadItem, 2 + MostBlockOrbitals> items = {&root, &number, &o[0], &o[1], &o[2],
                                                             &o[3], &o[4],   &o[5], &o[6], &o[7]};
  const auto count = static_cast<std::size_t>(2 + layout.orbitals);
  return readRecord(statement::FinalHeader, layout.header,
                    std::span<const ReadItem>(items).first(count));
}

bool FinalSetReader::readEnergies(const BlockLayout& layout, Block& block) {
  auto& e = block.energies;
  const std::array<ReadItem, MostBlockOrbitals> items = {&e[0], &e[1], &e[2], &e[3],
                                                         &e[4], &e[5], &e[6], &e[7]};
  const auto count = static_cast<std::size_t>(layout.orbitals);
  return readRecord(statement::FinalEnergies, layout.energies,
                    std::span<const ReadItem>(items).first(count));
}

// Rows up to the block's end: a blank record (two in a row where blanks part the atom
// groups), the next block's header, or the end of the listing. A row without a shell label
// is no basis function: the set is then no set of molecular orbitals. Of a block that holds
// neither orbital, only the first row is read; the others are passed over.
bool FinalSetReader::readRows(const BlockLayout& layout, const Block& block, FinalSet& set) {
  std::int32_t pageMark = 0;
  Text4 label{};
  Text4 element{};
  std::int32_t atom = 0;
  std::array<float, MostBlockOrbitals> v{};
  const std::array<ReadItem, 12> items = {&pageMark, &label, &element, &atom, &v[0], &v[1],
                                          &v[2],     &v[3],  &v[4],    &v[5], &v[6], &v[7]};
  const auto rowItems = layout.pageMarks ? std::span<const ReadItem>(items).first(10)
                                         : std::span<const ReadItem>(items).subspan(1);
  int rows = 0;
  bool separator = true;
  while (true) {
    const std::optional<std::string_view> next = nextRecordText();
    if (!next || blockLayoutOf(*next) == &layout) break;
    if (!layout.pageMarks && isBlank(*next)) break;
    if (rows > 0 && block.columnN == 0 && block.columnNext == 0) {
      passRows(layout);
      break;
    }
    if (!readRecord(statement::FinalRows, layout.row, rowItems)) return false;
    if (layout.pageMarks && pageMark == 1) continue;
    if (layout.pageMarks && atom == 0) {
      if (separator) break;
      separator = true;
      continue;
    }
    if (isBlank(view(label))) return false;
    if (!storeRow(block, ++rows, label, v, set)) return false;
    separator = false;
  }
  if (block.columnN != 0) set.rowCountN = rows;
  if (block.columnNext != 0) {
    set.rowCountNext = rows;
    set.nextRowsEnd = listing_.recordNumber();
  }
  return rows > 0;
}

bool FinalSetReader::storeRow(const Block& block, int row, const Text4& label,
                              const std::array<float, MostBlockOrbitals>& values, FinalSet& set) {
  if (block.columnN == 0 && block.columnNext == 0) return true;
  if (row > RowCapacity) {
    if (faults_ == Faults::Raise)
      listing_.rejectAs(statement::FinalRows, TooManyRows, listing_.lastRecord(),
                        tooManyRowsReason(RowCapacity));
    return false;
  }
  OrbitalRow& stored = set.rows.row(row);
  if (block.columnN != 0) {
    stored.shellLabel = label;
    stored.coefficientN = values[static_cast<std::size_t>(block.columnN - 1)];
  }
  if (block.columnNext != 0)
    stored.coefficientNext = values[static_cast<std::size_t>(block.columnNext - 1)];
  return true;
}

void FinalSetReader::passRows(const BlockLayout& layout) {
  while (listing_.lines().passToBlank()) {
    if (!layout.pageMarks) return;
    passRecord();  // the blank between two atom groups, or the first of two that end the block
    const std::optional<std::string_view> next = nextRecordText();
    if (!next || isBlank(*next) || blockLayoutOf(*next) == &layout) return;
  }
}

void FinalSetReader::passBlankRecords(bool pageMarks) {
  while (true) {
    const std::optional<std::string_view> next = nextRecordText();
    if (!next || !(isBlank(*next) || (pageMarks && isPageRecord(*next)))) return;
    passRecord();
  }
}

bool FinalSetReader::passRecord() {
  return readRecord(statement::FinalPassed, StatementLayouts::anyRecord, {});
}

// In a look that must not end the run, the end of the listing and a record that does not read
// under its layout end the set instead.
bool FinalSetReader::readRecord(Statement statement, const Layout& layout,
                                std::span<const ReadItem> items) {
  if (faults_ == Faults::Raise) {
    if (auto bad = listing_.read(statement, layout, items)) listing_.reject(*bad);
    return true;
  }
  if (!nextRecordText()) return false;
  return !listing_.read(statement, layout, items).has_value();
}

// A heading may be underlined with dashes.
bool FinalSetReader::nextRecordIsUnderline() {
  const std::optional<std::string_view> next = nextRecordText();
  if (!next) return false;
  const std::string_view text = trimmed(*next);
  return !text.empty() && text.find_first_not_of('-') == std::string_view::npos;
}

std::optional<std::string_view> FinalSetReader::nextRecordText() {
  std::array<std::string_view, 1> next;
  if (listing_.lines().peek(next) == 0) return std::nullopt;
  return next[0];
}

}  // namespace hlext
