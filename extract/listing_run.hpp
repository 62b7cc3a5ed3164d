// What every reading of a listing shares: the run's units, opened as every run opens them, the
// console echoes, warnings about the listing, and the two ways a run ends without a failure.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "extract/statements.hpp"
#include "extract/unit_table.hpp"

namespace hlext {

inline constexpr const char* ListingFileName = "hlext.dat";
inline constexpr const char* ResultFileName = "fort.50";

class ListingRun {
 public:
  explicit ListingRun(UnitConnector& connector);

  // Opens the listing on unit 4 and the result file on unit 7; refuses a result file that is
  // the listing itself.
  void open();

  RecordReader& listing() { return units_.reader(ListingUnit); }
  RecordWriter& result() { return units_.writer(ResultUnit); }
  const StatementLayouts& layouts() const { return layouts_; }

  // A line of an open-shell calculation within OpenShellReach records after the count line,
  // which is the last record read: its record and text. The records are looked at, not read.
  struct OpenShellLine {
    long long record = 0;
    std::string text;
  };
  std::optional<OpenShellLine> openShellLine();

  // Writes `value` on the console under "(I5)".
  void echo(Statement statement, std::int32_t value);
  // One warning line about the listing.
  void warn(Statement statement, FieldPlace place, std::string message);
  // The normal end: the result file is committed.
  void stop() { units_.stopRun(); }
  // A refusal: "Eigenvectors are not found" is the whole result file, and once it is committed
  // a warning says why.
  void refuse(Statement statement, std::string why);

 private:
  StatementLayouts layouts_;
  UnitTable units_;
};

}  // namespace hlext
