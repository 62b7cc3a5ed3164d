// A layout string such as "(4X,A4,4X,I5,7(7X,I5))", parsed into a flat list of items with
// every repeat count and group expanded, so that reading and writing walk it front to back.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace hlext {

enum class LayoutItemKind {
  Skip,         // nX
  Text,         // Aw
  Integer,      // Iw
  Real,         // Fw.d
  RecordBreak,  // /
  Literal,      // 'text'
};

struct LayoutItem {
  LayoutItemKind kind = LayoutItemKind::Skip;
  int width = 0;        // columns of a field, or of a skip
  int decimals = 0;     // d of Fw.d
  std::string literal;  // characters of a literal

  bool isData() const {
    return kind == LayoutItemKind::Text || kind == LayoutItemKind::Integer ||
           kind == LayoutItemKind::Real;
  }
  bool operator==(const LayoutItem&) const = default;
};

class Layout {
 public:
  // A malformed layout string is a programming error: it aborts with a message.
  static Layout parse(std::string_view text);

  std::span<const LayoutItem> items() const { return items_; }
  std::string_view text() const { return text_; }
  int dataItemCount() const { return dataItemCount_; }
  // The last column a single record can be read or written at under this layout.
  int reach() const { return reach_; }
  // The first column of the label, when the first data item is a four-column text field with
  // only skips before it, so that it stands in the same columns of every record; else 0.
  int labelColumn() const { return labelColumn_; }

 private:
  Layout() = default;

  std::string text_;
  std::vector<LayoutItem> items_;
  int dataItemCount_ = 0;
  int reach_ = 0;
  int labelColumn_ = 0;
};

}  // namespace hlext
