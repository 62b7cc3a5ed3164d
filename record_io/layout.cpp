#include "record_io/layout.hpp"

#include <algorithm>

namespace hlext {
namespace {

// Room for the items of every layout a run uses, so that parsing them seldom reallocates.
constexpr std::size_t TypicalItems = 24;

LayoutItem itemOf(const layout_grammar::Token& token) {
  return {token.kind, token.width, token.decimals, std::string(token.literal)};
}

// The first column of a four-column text field that only skips stand before; 0 when the
// layout does not begin so.
int labelColumnOf(const std::vector<LayoutItem>& items) {
  int column = 1;
  for (const LayoutItem& item : items) {
    if (item.kind != LayoutItemKind::Skip)
      return item.kind == LayoutItemKind::Text && item.width == 4 ? column : 0;
    column += item.width;
  }
  return 0;
}

}  // namespace

Layout Layout::parse(std::string_view text) {
  Layout layout;
  layout.text_ = std::string(text);
  layout.items_.reserve(TypicalItems);
  layout_grammar::Parser(text, [&layout](const layout_grammar::Token& token) {
    layout.items_.push_back(itemOf(token));
  }).parse();
  int column = 0;
  for (const LayoutItem& item : layout.items_) {
    if (item.isData()) ++layout.dataItemCount_;
    if (item.kind == LayoutItemKind::RecordBreak)
      column = 0;
    else if (item.kind == LayoutItemKind::Literal)
      column += static_cast<int>(item.literal.size());
    else
      column += item.width;
    layout.reach_ = std::max(layout.reach_, column);
  }
  layout.labelColumn_ = labelColumnOf(layout.items_);
  return layout;
}

}  // namespace hlext
