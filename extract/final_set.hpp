// One set of eigenvectors, read from its heading to its last block in whichever block layout
// its first header shows, keeping the energies and coefficient columns of orbitals N and N+1.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "extract/block_layouts.hpp"
#include "extract/orbital_row_table.hpp"
#include "record_io/record_reader.hpp"

namespace hlext {

struct FinalSet {
  long long headingRecord = 0;
  const BlockLayout* layout = nullptr;
  std::int32_t firstOrbital = 0;  // the orbitals the set prints, from its headers
  std::int32_t lastOrbital = 0;
  bool holdsN = false;
  bool holdsNext = false;
  bool sameBlock = false;  // N and N+1 stand in one block
  float energyN = 0.0F;
  float energyNext = 0.0F;
  int rowCountN = 0;
  int rowCountNext = 0;
  long long nextRowsEnd = 0;  // the last record of orbital N+1's rows
  OrbitalRowTable rows;       // labels and coefficients of N from N's block, of N+1 from its own
};

class FinalSetReader {
 public:
  // How a record of the set that does not read under its layout is taken: as the end of the
  // run (RecordError), or as the end of a set that is then not taken.
  enum class Faults { Raise, EndTheSet };

  FinalSetReader(RecordReader& listing, std::int32_t occupiedCount, Faults faults);

  // Reads the set whose heading is the record just read. True when it is a set of molecular
  // orbitals: block headers of one layout, each followed by its energies and rows that all
  // carry a shell label. The first record after the set is left unread.
  bool read(FinalSet& set);

 private:
  struct Block;
  bool readBlock(const BlockLayout& layout, FinalSet& set);
  bool readHeader(const BlockLayout& layout, Block& block);
  bool readEnergies(const BlockLayout& layout, Block& block);
  bool readRows(const BlockLayout& layout, const Block& block, FinalSet& set);
  bool storeRow(const Block& block, int row, const Text4& label,
                const std::array<float, MostBlockOrbitals>& values, FinalSet& set);
  void passRows(const BlockLayout& layout);
  void passBlankRecords(bool pageMarks);
  bool passRecord();
  bool readRecord(Statement statement, const Layout& layout, std::span<const ReadItem> items);
  bool nextRecordIsUnderline();
  std::optional<std::string_view> nextRecordText();

  RecordReader& listing_;
  std::int32_t occupiedCount_;
  Faults faults_;
};

}  // namespace hlext
