#include "extract/coefficient_pass.hpp"

#include <array>
#include <cassert>
#include <string>

#include "extract/listing_messages.hpp"

namespace hlext {

struct CoefficientPass::RowRecord {
  std::int32_t pageMark = 0;
  Text4 shellLabel{};
  Text4 elementSymbol{};
  std::int32_t atomNumber = 0;
  std::array<float, 6> coefficients{};

  bool isPage() const { return pageMark == 1; }
  bool isSeparator() const { return atomNumber == 0; }
  float column(int blockColumn) const {
    return coefficients[static_cast<std::size_t>(blockColumn - 1)];
  }
};

CoefficientPass::CoefficientPass(PassKind kind, Statement statement, int blockColumn)
    : kind_(kind), statement_(statement), blockColumn_(blockColumn) {
  assert(kind != PassKind::SameBlock || (blockColumn >= 1 && blockColumn <= 5));
}

int CoefficientPass::run(RecordReader& listing, const Layout& rowLayout,
                         OrbitalRowTable& table) const {
  RowRecord record;
  auto& c = record.coefficients;
  const std::array<ReadItem, 10> items = {&record.pageMark,
                                          &record.shellLabel,
                                          &record.elementSymbol,
                                          &record.atomNumber,
                                          &c[0],
                                          &c[1],
                                          &c[2],
                                          &c[3],
                                          &c[4],
                                          &c[5]};
  int rowCount = 0;
  bool separatorFlag = true;
  while (true) {
    if (auto bad = listing.read(statement_, rowLayout, items)) listing.reject(*bad);
    if (record.isPage()) continue;
    if (record.isSeparator()) {
      if (separatorFlag) return rowCount;
      separatorFlag = true;
      continue;
    }
    if (rowCount == RowCapacity)
      listing.rejectAs(statement_, TooManyRows, listing.lastRecord(),
                       tooManyRowsReason(RowCapacity));
    store(record, table.row(++rowCount));
    separatorFlag = false;
  }
}

void CoefficientPass::store(const RowRecord& record, OrbitalRow& row) const {
  switch (kind_) {
    case PassKind::SameBlock:
      row.shellLabel = record.shellLabel;
      row.coefficientN = record.column(blockColumn_);
      row.coefficientNext = record.column(blockColumn_ + 1);
      return;
    case PassKind::SplitFirst:
      row.shellLabel = record.shellLabel;
      row.coefficientN = record.column(6);
      return;
    case PassKind::SplitSecond: row.coefficientNext = record.column(1); return;
  }
}

}  // namespace hlext
