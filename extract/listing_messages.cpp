#include "extract/listing_messages.hpp"

namespace hlext {
namespace {

std::string quoted(const Text4& label) { return "\"" + std::string(view(label)) + "\""; }

// "columns 11-14": the four columns of a layout's label.
std::string labelColumns(const Layout& layout) {
  const int first = layout.labelColumn();
  return "columns " + std::to_string(first) + "-" + std::to_string(first + 3);
}

}  // namespace

std::string tooManyRowsReason(int rowCapacity) {
  return "an eigenvector block holds at most " + std::to_string(rowCapacity) + " rows";
}

std::string laterJobWarning(const Layout& countLayout, std::optional<std::int32_t> laterCount,
                            std::int32_t count, long long countRecord, long long headingRecord) {
  const std::string seen = laterCount ? "count " + std::to_string(*laterCount) : "this count";
  return "\"RHF \" in " + labelColumns(countLayout) + " with " + seen + ", after the count " +
         std::to_string(count) + " of record " + std::to_string(countRecord) +
         " and before the heading of record " + std::to_string(headingRecord) +
         ": the eigenvectors found may belong to a later job";
}

std::string nextColumnWarning(std::int32_t n, int blockColumn, std::int32_t listed, bool blank) {
  const std::string next = std::to_string(n + 1);
  const std::string holds =
      blank ? "is blank (read as 0)" : "lists orbital " + std::to_string(listed);
  return "after orbital " + std::to_string(n) + " in block column " + std::to_string(blockColumn) +
         ", block column " + std::to_string(blockColumn + 1) + " " + holds + ", not orbital " +
         next + ": the energy and coefficients given for orbital " + next +
         " in fort.50 are that column's";
}

std::string rowCountWarning(std::int32_t n, std::int32_t rowCount, std::int32_t nextRowCount) {
  const std::string rows = std::to_string(rowCount);
  return "orbital " + std::to_string(n) + "'s block has " + rows + " rows and orbital " +
         std::to_string(n + 1) + "'s block " + std::to_string(nextRowCount) +
         ", ending at this record: \"Eigenvectors are not found\" heads fort.50 for this, and "
         "both orbitals are written with " +
         rows + " rows";
}

std::string refusalWarning(const Layout& layout, const Text4& label, long long first,
                           long long last, std::int32_t seekingOrbital) {
  std::string message = "no " + quoted(label) + " in " + labelColumns(layout) + " of records " +
                        std::to_string(first) + "-" + std::to_string(last);
  if (seekingOrbital > 0)
    message += ", seeking the block header of orbital " + std::to_string(seekingOrbital);
  return message;
}

}  // namespace hlext
