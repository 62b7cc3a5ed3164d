#include "tests/support/read_items.hpp"

#include <cstdio>
#include <variant>

namespace hlext::testing {

Items::Items(const Layout& layout, std::size_t count) {
  for (const LayoutItem& item : layout.items()) {
    if (list_.size() == count || list_.size() == RecordReader::MaxItems) break;
    const std::size_t i = list_.size();
    if (item.kind == LayoutItemKind::Text) list_.emplace_back(&texts_[i]);
    if (item.kind == LayoutItemKind::Integer) list_.emplace_back(&integers_[i]);
    if (item.kind == LayoutItemKind::Real) list_.emplace_back(&reals_[i]);
  }
}

std::string Items::rendered() const {
  std::string out;
  for (std::size_t i = 0; i < list_.size(); ++i) {
    if (i > 0) out += '|';
    if (std::holds_alternative<Text4*>(list_[i])) out += view(texts_[i]);
    if (std::holds_alternative<std::int32_t*>(list_[i])) out += std::to_string(integers_[i]);
    if (std::holds_alternative<float*>(list_[i])) {
      char text[32];
      std::snprintf(text, sizeof text, "%.9g", static_cast<double>(reals_[i]));
      out += text;
    }
  }
  return out;
}

}  // namespace hlext::testing
