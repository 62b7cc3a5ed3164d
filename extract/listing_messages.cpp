#include "extract/listing_messages.hpp"

#include "extract/listing_texts.hpp"
#include "record_io/record_error.hpp"

namespace hlext {
namespace {

// "11-14": the four columns of a label that starts in column `first`.
std::string labelSpan(int first) { return std::to_string(first) + "-" + std::to_string(first + 3); }

std::string columnsFrom(int first) { return "columns " + labelSpan(first); }

std::string labelColumns(const Layout& layout) { return columnsFrom(layout.labelColumn()); }

// ", with 4 after "="": the integer after the first "=" of the text, blanks between allowed.
std::string countAfterEquals(std::string_view text) {
  const auto count = integerAfterEquals(text);
  if (!count) return {};
  return ", with " + std::string(text.substr(count->at, count->length)) + " after \"=\"";
}

// ", with 4 after "="", and whether hlext1 --final reads the count line.
std::string countOf(const LabelSighting& sighting) {
  std::string note = countAfterEquals(sighting.from);
  if (isReadableCountLine(sighting.from, sighting.column))
    note += ", a count line that hlext1 --final reads";
  return note;
}

std::string holds(const LabelSighting& sighting, std::string_view what, bool withCount) {
  std::string note = "; record " + std::to_string(sighting.record) + " holds " + std::string(what) +
                     " in " + columnsFrom(sighting.column);
  return withCount ? note + countOf(sighting) : note;
}

}  // namespace

std::string sightingAtEnd(const Layout& layout, const Text4& label, const LabelSighting& sighting,
                          bool withCount) {
  if (sighting.record == 0) return {};
  return holds(sighting, quotedField(view(label)), false) + ", not " +
         labelSpan(layout.labelColumn()) + (withCount ? countOf(sighting) : std::string());
}

std::string sightingAfterRefusal(const LabelSighting& sighting, bool withCount) {
  if (sighting.record == 0) return {};
  return holds(sighting, "it", withCount);
}

std::string openShellWarning(long long record, std::string_view line, std::int32_t n) {
  return "record " + std::to_string(record) + " after the count line reads " +
         quotedField(trimmed(line)) + ": an open-shell calculation, whose orbital " +
         std::to_string(n + 1) + " is not the lowest unoccupied orbital of a closed-shell one";
}

std::string iterationWarning(std::string_view heading, std::int32_t iteration,
                             const FinalSetSighting& finalSet, bool looked) {
  std::string message = "the heading reads " + quotedField(trimmed(heading)) +
                        ": these are the vectors of SCF iteration " + std::to_string(iteration) +
                        ", not the final ones; ";
  if (finalSet.headingRecord > 0 && finalSet.laterJobRecord > 0)
    return message + "this job prints no final set, and record " +
           std::to_string(finalSet.headingRecord) + " heads that of the job of record " +
           std::to_string(finalSet.laterJobRecord) + ", which hlext1 --final reads";
  if (finalSet.headingRecord > 0)
    return message + "record " + std::to_string(finalSet.headingRecord) +
           " heads the final set, which hlext1 --final reads";
  if (looked) return message + "the listing prints no final set after them";
  return message + "hlext1 --final reads the final set, where the listing prints one";
}

std::string newLayoutNote(long long record) {
  return "; record " + std::to_string(record) + " is a \"Root No.\" block header: " +
         "the vectors are printed in another layout, which hlext1 --final reads";
}

std::string newLayoutWarning(long long record) {
  return "record " + std::to_string(record) + " is a \"Root No.\" block header: the vectors " +
         "are printed in another layout, which hlext1 --final reads, and fort.50 holds them " +
         "read as six orbitals to a block";
}

std::string noCountLineWarning(std::string_view phrase, long long lastRecord) {
  return "no count line (" + quotedField(phrase) + " and an integer after it) in records 1-" +
         std::to_string(lastRecord);
}

std::string noFinalSetWarning(long long countRecord) {
  return "no final set of eigenvectors after the count line of record " +
         std::to_string(countRecord) +
         " (a heading that reads \"EIGENVECTORS\" alone, followed by blocks of molecular "
         "orbitals)";
}

std::string openShellRefusal(long long record, std::string_view line, long long countRecord) {
  return "record " + std::to_string(record) + " " + quotedField(trimmed(line)) +
         " follows the count line of record " + std::to_string(countRecord) +
         ": an open-shell calculation, whose orbital N+1 is not the lowest unoccupied orbital";
}

std::string orbitalNotPrintedWarning(std::int32_t orbital, long long headingRecord,
                                     std::int32_t first, std::int32_t last) {
  return "the final set of record " + std::to_string(headingRecord) + " prints orbitals " +
         std::to_string(first) + "-" + std::to_string(last) + ", not orbital " +
         std::to_string(orbital);
}

std::string laterJobUsedWarning(long long firstCountRecord, long long headingRecord) {
  return "the job of the count line of record " + std::to_string(firstCountRecord) +
         " prints no final set: the final set of record " + std::to_string(headingRecord) +
         ", in the job of this count line, is taken";
}

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
  std::string message = "no " + quotedField(view(label)) + " in " + labelColumns(layout) +
                        " of records " + std::to_string(first) + "-" + std::to_string(last);
  if (seekingOrbital > 0)
    message += ", seeking the block header of orbital " + std::to_string(seekingOrbital);
  return message;
}

}  // namespace hlext
