// The layouts eigenvector blocks are printed in, and how a block header tells them apart: the
// "ROOT NO." layout of six orbitals to a block, and three "Root No." layouts of eight, whose
// first orbital number ends in column 16, 17 or 19.
#pragma once

#include <string_view>

#include "record_io/items.hpp"
#include "record_io/layout.hpp"

namespace hlext {

inline constexpr int MostBlockOrbitals = 8;

struct BlockLayout {
  std::string_view name;        // as diagnostics name it
  Layout header;                // two texts ("ROOT", " NO."), then the orbital numbers
  Layout energies;              // one record
  Layout row;                   // page mark (first layout only), label, element, atom, values
  int orbitals = 0;             // to a block
  bool pageMarks = false;       // rows begin with a page mark, atom groups are parted by blanks
  bool symmetryRecord = false;  // a record of symmetry labels stands between header and energies
  Text4 pShellMarker{};         // the label of a p shell's x function
};

inline constexpr BlockLayout SixColumnLayout = {"six orbitals to a block",
                                                Layout::parse<"(4X,2A4,I5,5I12)">(),
                                                Layout::parse<"(8X,6F12.5)">(),
                                                Layout::parse<"(I1,A2,A3,I4,6F12.5)">(),
                                                6,
                                                true,
                                                false,
                                                text4("PX  ")};

// The later layouts: eight orbitals to a block, a symmetry record, no page marks, "Px".
constexpr BlockLayout eightOrbitals(std::string_view name, Layout header, Layout energies,
                                    Layout row) {
  return {name, header, energies, row, 8, false, true, text4("Px  ")};
}

inline constexpr BlockLayout EightColumnLayout =
    eightOrbitals("eight orbitals to a block, F8.4", Layout::parse<"(3X,2A4,I5,7I8)">(),
                  Layout::parse<"(10X,8F8.3)">(), Layout::parse<"(2X,A2,1X,A2,I3,8F8.4)">());

inline constexpr BlockLayout EightColumnShiftedLayout = eightOrbitals(
    "eight orbitals to a block, F8.4, one column right", Layout::parse<"(3X,2A4,I6,7I8)">(),
    Layout::parse<"(11X,8F8.3)">(), Layout::parse<"(2X,A2,1X,A2,I4,8F8.4)">());

inline constexpr BlockLayout EightColumnWideLayout =
    eightOrbitals("eight orbitals to a block, F10.4", Layout::parse<"(3X,2A4,I8,7I10)">(),
                  Layout::parse<"(12X,8F10.3)">(), Layout::parse<"(2X,A2,1X,A2,I5,8F10.4)">());

// The layout whose header `text` is, or null when it is no block header. A "Root No." header
// whose first orbital number ends in another column is no header of a known layout.
const BlockLayout* blockLayoutOf(std::string_view text);

// `text` begins, after blanks, with a block header's words ("ROOT NO." or "Root No.").
bool looksLikeBlockHeader(std::string_view text);

}  // namespace hlext
