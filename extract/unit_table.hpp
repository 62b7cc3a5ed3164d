// The three units of a run: 4 reads the listing, 7 writes the result file, 6 is standard
// output. The table owns the reader, the writers and the streams behind them.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "record_io/byte_stream.hpp"
#include "record_io/record_reader.hpp"
#include "record_io/record_writer.hpp"
#include "record_io/statement.hpp"

namespace hlext {

inline constexpr int ListingUnit = 4;
inline constexpr int ConsoleUnit = 6;
inline constexpr int ResultUnit = 7;

class UnitTable {
 public:
  explicit UnitTable(UnitConnector& connector);

  // Connects unit 4 or 7 to the named file; raises RecordError (cannot open) on failure, and
  // (out of memory) when the reader's buffer or the streams cannot be had. What unit 7 is
  // given reaches its file only at stopRun(), all of it at once.
  void open(Statement statement, int unit, const std::string& fileName);

  RecordReader& reader(int unit);
  RecordWriter& writer(int unit);

  // True when both names lead to one file.
  bool sameFile(const std::string& first, const std::string& second);

  // Hands a warning on as one line; the run goes on.
  void warn(const RecordWarning& warning);

  // The normal end of a run: the result file is committed, everything written reaches its
  // destination and the files are closed. Raises RecordError (write failed) when an output
  // cannot be completed; the result file then holds what it held before the run.
  void stopRun();

 private:
  void connect(Statement statement, int unit, const std::string& fileName);

  UnitConnector& connector_;
  std::unique_ptr<RecordReader> listing_;
  std::unique_ptr<ByteSink> resultSink_;
  std::optional<RecordWriter> result_;
  RecordWriter console_;
};

}  // namespace hlext
