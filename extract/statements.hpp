// The numbered statements of a run and the layout strings they use. A statement's number and
// name identify it in diagnostics; the layouts are kept as text and parsed when compiled.
#pragma once

#include "record_io/layout.hpp"
#include "record_io/statement.hpp"

namespace hlext {

namespace statement {
inline constexpr Statement OpenListing{9, "listing open"};
inline constexpr Statement OpenResult{10, "result file open"};
inline constexpr Statement OccupiedCountSearch{13, "occupied-count search"};
inline constexpr Statement OccupiedCountRefused{16, "occupied count not found"};
inline constexpr Statement EchoOccupiedCount{18, "occupied-count echo"};
inline constexpr Statement HeadingSearch{22, "eigenvector heading search"};
inline constexpr Statement HeadingRefused{25, "eigenvector heading not found"};
inline constexpr Statement FirstHeader{27, "first block header"};
inline constexpr Statement HeaderSearch{32, "block header search"};
inline constexpr Statement HeaderRefused{34, "block header not found"};
inline constexpr Statement BlockEnergies{46, "block energies"};
inline constexpr Statement SameBlockPass{57, "coefficient rows"};
inline constexpr Statement EchoRowCount{68, "row-count echo"};
inline constexpr Statement SplitFirstPass{94, "first-block coefficient rows"};
inline constexpr Statement NextBlockEnergies{108, "next-block energies"};
inline constexpr Statement SplitSecondPass{118, "next-block coefficient rows"};
inline constexpr Statement RowCountMismatch{126, "row-count warning"};
inline constexpr Statement ResultRowCount{145, "result row count"};
inline constexpr Statement ResultEnergyN{146, "orbital N energy line"};
inline constexpr Statement ResultVectorN{147, "orbital N coefficients"};
inline constexpr Statement ResultEnergyNext{148, "orbital N+1 energy line"};
inline constexpr Statement ResultVectorNext{149, "orbital N+1 coefficients"};
// hlext1 --final: the final set, in any block layout. Its block records are read aligned.
inline constexpr Statement FinalCountLine{213, "count line"};
inline constexpr Statement FinalRefused{216, "final orbitals not found"};
inline constexpr Statement FinalHeader{227, "final set block header", true};
inline constexpr Statement FinalPassed{230, "final set record passed over"};
inline constexpr Statement FinalEnergies{246, "final set block energies", true};
inline constexpr Statement FinalRows{257, "final set coefficient rows", true};
}  // namespace statement

// Every layout a run uses, as constant data.
struct StatementLayouts {
  static constexpr Layout occupiedCount = Layout::parse<"(10X,A4,44X,I3)">();
  static constexpr Layout heading = Layout::parse<"(16X,2A4)">();
  static constexpr Layout firstHeader = Layout::parse<"(////,5X,6(7X,I5))">();
  static constexpr Layout header = Layout::parse<"(4X,A4,4X,I5,7(7X,I5))">();
  static constexpr Layout blockEnergies = Layout::parse<"(/,8X,6F12.5,//)">();
  static constexpr Layout nextBlockEnergies = Layout::parse<"(////,8X,6F12.5,//)">();
  static constexpr Layout row = Layout::parse<"(I1,A2,A3,I4,6F12.5)">();
  static constexpr Layout count = Layout::parse<"(I5)">();
  static constexpr Layout notFound = Layout::parse<"('Eigenvectors are not found')">();
  static constexpr Layout energyLine = Layout::parse<"(//,'    E (',I3,' ) = ',F10.5)">();
  static constexpr Layout coefficients = Layout::parse<"(12F10.5)">();
  // The count line with "RHF " in columns 7-10 and N within columns 55-59.
  static constexpr Layout leftCountLine = Layout::parse<"(6X,A4,44X,I5)">();
  // Read with no item: passes over one record.
  static constexpr Layout anyRecord = Layout::parse<"(A4)">();
};

// The layouts searched with begin with their label in fixed columns.
static_assert(StatementLayouts::occupiedCount.labelColumn() > 0 &&
              StatementLayouts::heading.labelColumn() > 0 &&
              StatementLayouts::header.labelColumn() > 0);

}  // namespace hlext
