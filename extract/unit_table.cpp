#include "extract/unit_table.hpp"

#include <cassert>
#include <utility>

#include "extract/diagnostics.hpp"
#include "record_io/record_error.hpp"

namespace hlext {

UnitTable::UnitTable(UnitConnector& connector)
    : connector_(connector), console_(connector.console(), ConsoleUnit, "standard output") {}

void UnitTable::open(Statement statement, int unit, const std::string& fileName) {
  runStatement(statement, unit, fileName, [&] { connect(statement, unit, fileName); });
}

void UnitTable::connect(Statement statement, int unit, const std::string& fileName) {
  assert(unit == ListingUnit || unit == ResultUnit);
  FileResult opening;
  if (unit == ListingUnit) {
    Opened<ByteSource> opened = connector_.openInput(fileName);
    opening = std::move(opened.result);
    if (opened.stream)
      listing_ = std::make_unique<RecordReader>(std::move(opened.stream), unit, fileName);
  } else {
    Opened<ByteSink> opened = connector_.openOutput(fileName);
    opening = std::move(opened.result);
    if (opened.stream) {
      resultSink_ = std::move(opened.stream);
      result_.emplace(*resultSink_, unit, fileName);
    }
  }
  if (opening.failed()) raiseFileFailure(opening.failure(), statement, unit, fileName);
}

RecordReader& UnitTable::reader([[maybe_unused]] int unit) {
  assert(unit == ListingUnit && listing_);
  return *listing_;
}

RecordWriter& UnitTable::writer(int unit) {
  assert(unit == ConsoleUnit || (unit == ResultUnit && result_));
  return unit == ConsoleUnit ? console_ : *result_;
}

bool UnitTable::sameFile(const std::string& first, const std::string& second) {
  return connector_.sameFile(first, second);
}

void UnitTable::warn(const RecordWarning& warning) { connector_.warn(warningLine(warning)); }

void UnitTable::stopRun() {
  const auto warnHere = [this](const RecordWarning& warning) { warn(warning); };
  if (result_) result_->close(warnHere);
  console_.close(warnHere);
}

}  // namespace hlext
