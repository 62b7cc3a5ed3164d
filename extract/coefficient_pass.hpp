// One pass over the coefficient rows of an eigenvector block, from the current position of the
// listing to the separator that ends the block.
#pragma once

#include "extract/orbital_row_table.hpp"
#include "record_io/layout.hpp"
#include "record_io/record_reader.hpp"

namespace hlext {

enum class PassKind {
  SameBlock,    // label, block column c as N, block column c+1 as N+1
  SplitFirst,   // label, block column 6 as N
  SplitSecond,  // block column 1 as N+1; labels untouched
};

class CoefficientPass {
 public:
  CoefficientPass(PassKind kind, Statement statement, int blockColumn = 1);

  // Reads row records under `rowLayout` and stores the kept block columns into rows 1, 2, ...
  // of `table`; gives the number of rows stored. A page record (1 in column 1) is passed over;
  // a separator record (atom number 0) ends the pass when no data row has come since the pass
  // began or since the previous separator. Raises RecordError (too many rows) before a row
  // beyond RowCapacity would be stored.
  int run(RecordReader& listing, const Layout& rowLayout, OrbitalRowTable& table) const;

 private:
  struct RowRecord;
  void store(const RowRecord& record, OrbitalRow& row) const;

  PassKind kind_;
  Statement statement_;
  int blockColumn_;
};

}  // namespace hlext
