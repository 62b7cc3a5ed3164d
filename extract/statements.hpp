// The numbered statements of a run and the layout strings they use. The numbers identify a
// statement in diagnostics; the layouts are kept as text and parsed when a run starts.
#pragma once

#include "record_io/layout.hpp"

namespace hlext {

namespace statement {
inline constexpr int OpenListing = 9;
inline constexpr int OpenResult = 10;
inline constexpr int OccupiedCountSearch = 13;
inline constexpr int OccupiedCountRefused = 16;
inline constexpr int EchoOccupiedCount = 18;
inline constexpr int HeadingSearch = 22;
inline constexpr int HeadingRefused = 25;
inline constexpr int FirstHeader = 27;
inline constexpr int HeaderSearch = 32;
inline constexpr int HeaderRefused = 34;
inline constexpr int BlockEnergies = 46;
inline constexpr int SameBlockPass = 57;
inline constexpr int EchoRowCount = 68;
inline constexpr int SplitFirstPass = 94;
inline constexpr int NextBlockEnergies = 108;
inline constexpr int SplitSecondPass = 118;
inline constexpr int RowCountMismatch = 126;
inline constexpr int ResultRowCount = 145;
inline constexpr int ResultEnergyN = 146;
inline constexpr int ResultVectorN = 147;
inline constexpr int ResultEnergyNext = 148;
inline constexpr int ResultVectorNext = 149;
}  // namespace statement

// Every layout a run uses, parsed once at its start.
struct StatementLayouts {
  Layout occupiedCount = Layout::parse("(10X,A4,44X,I3)");
  Layout heading = Layout::parse("(16X,2A4)");
  Layout firstHeader = Layout::parse("(////,5X,6(7X,I5))");
  Layout header = Layout::parse("(4X,A4,4X,I5,7(7X,I5))");
  Layout blockEnergies = Layout::parse("(/,8X,6F12.5,//)");
  Layout nextBlockEnergies = Layout::parse("(////,8X,6F12.5,//)");
  Layout row = Layout::parse("(I1,A2,A3,I4,6F12.5)");
  Layout count = Layout::parse("(I5)");
  Layout notFound = Layout::parse("('Eigenvectors are not found')");
  Layout energyLine = Layout::parse("(//,'    E (',I3,' ) = ',F10.5)");
  Layout coefficients = Layout::parse("(12F10.5)");
};

}  // namespace hlext
