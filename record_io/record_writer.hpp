// Writes records to an output unit under layouts. Each statement is handed to its sink in
// full and flushed, so a failing console is noticed at the statement that met it; the result
// file's sink gathers the records and commits them at close, which names the last statement.
#pragma once

#include <functional>
#include <span>
#include <string>

#include "record_io/byte_stream.hpp"
#include "record_io/items.hpp"
#include "record_io/layout.hpp"
#include "record_io/record_error.hpp"
#include "record_io/statement.hpp"

namespace hlext {

class RecordWriter {
 public:
  RecordWriter(ByteSink& sink, int unit, std::string fileName);

  // One write statement. Raises RecordError (write failed) when the output refuses it, or
  // (out of memory) when the memory for it cannot be had.
  void write(Statement statement, const Layout& layout, std::span<const WriteItem> items);

  // Flushes and closes the output; raises RecordError (write failed, or cannot replace when a
  // new result file could not take the old one's place, cannot lock when another process held
  // it too long, or out of memory) on failure, naming the last statement that wrote to it.
  // A warning on the way goes to `warn`, placed as that statement's.
  void close(const std::function<void(const RecordWarning&)>& warn = {});

  // The text one write statement produces, every record ended by a line feed.
  static void format(std::string& out, const Layout& layout, std::span<const WriteItem> items);

 private:
  [[noreturn]] void fail(Statement statement, const FileResult& result) const;

  ByteSink& sink_;
  int unit_;
  std::string fileName_;
  std::string text_;
  Statement lastStatement_;
};

}  // namespace hlext
