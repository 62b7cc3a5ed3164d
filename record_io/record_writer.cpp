#include "record_io/record_writer.hpp"

#include <cassert>
#include <utility>

#include "record_io/field_conversion.hpp"
#include "record_io/record_error.hpp"

namespace hlext {
namespace {

void appendField(std::string& out, const LayoutItem& field, const WriteItem& item) {
  switch (field.kind) {
    case LayoutItemKind::Text: {
      assert(std::holds_alternative<Text4>(item));
      const Text4& text = std::get<Text4>(item);
      const auto width = static_cast<std::size_t>(field.width);
      if (width > text.size()) out.append(width - text.size(), ' ');
      out.append(text.data(), std::min(width, text.size()));
      return;
    }
    case LayoutItemKind::Integer:
      assert(std::holds_alternative<std::int32_t>(item));
      appendIntegerField(out, std::get<std::int32_t>(item), field.width);
      return;
    case LayoutItemKind::Real:
      assert(std::holds_alternative<float>(item));
      appendRealField(out, std::get<float>(item), field.width, field.decimals);
      return;
    default: assert(false && "not a data item");
  }
}

}  // namespace

RecordWriter::RecordWriter(ByteSink& sink, int unit, std::string fileName)
    : sink_(sink), unit_(unit), fileName_(std::move(fileName)) {}

void RecordWriter::format(std::string& out, const Layout& layout,
                          std::span<const WriteItem> items) {
  assert(items.empty() || layout.dataItemCount() > 0);
  std::size_t next = 0;
  while (true) {
    for (const LayoutItem& item : layout.items()) {
      if (item.isData()) {
        // Once every item is written the walk goes on only to the next data item.
        if (next == items.size()) {
          out += '\n';
          return;
        }
        appendField(out, item, items[next++]);
      } else if (item.kind == LayoutItemKind::Literal) {
        out += item.literal;
      } else if (item.kind == LayoutItemKind::RecordBreak) {
        out += '\n';
      } else {
        out.append(static_cast<std::size_t>(item.width), ' ');
      }
    }
    out += '\n';
    if (next == items.size()) return;
    // Items remain at the end of the layout: a new record, and the layout from its start.
  }
}

void RecordWriter::write(Statement statement, const Layout& layout,
                         std::span<const WriteItem> items) {
  lastStatement_ = statement;
  runStatement(statement, unit_, fileName_, [&] {
    text_.clear();
    format(text_, layout, items);
    if (FileResult written = sink_.write(text_); written.failed()) fail(statement, written);
    if (FileResult flushed = sink_.flush(); flushed.failed()) fail(statement, flushed);
  });
}

void RecordWriter::close(const std::function<void(const RecordWarning&)>& warn) {
  const OutputWarning placed = [&](const std::string& message) {
    RecordWarning warning;
    warning.statement = lastStatement_;
    warning.unit = unit_;
    warning.fileName = fileName_;
    warning.message = message;
    if (warn) warn(warning);
  };
  runStatement(lastStatement_, unit_, fileName_, [&] {
    if (FileResult closed = sink_.close(placed); closed.failed()) fail(lastStatement_, closed);
  });
}

void RecordWriter::fail(Statement statement, const FileResult& result) const {
  raiseFileFailure(result.failure(), statement, unit_, fileName_);
}

}  // namespace hlext
