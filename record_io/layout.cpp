#include "record_io/layout.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace hlext {
namespace {

LayoutItem makeItem(LayoutItemKind kind, int width = 0) {
  LayoutItem item;
  item.kind = kind;
  item.width = width;
  return item;
}

class LayoutParser {
 public:
  explicit LayoutParser(std::string_view text) : text_(text) {}

  // layout := '(' list ')'
  std::vector<LayoutItem> parseLayout() {
    expect('(');
    std::vector<LayoutItem> items;
    items.reserve(TypicalItems);
    appendList(items);
    expect(')');
    if (pos_ != text_.size()) fault("text after the closing parenthesis");
    return items;
  }

 private:
  // Room for the items of every layout a run uses, so that parsing them seldom reallocates.
  static constexpr std::size_t TypicalItems = 24;

  // list := element { [','] element }   (the comma may be left out next to a slash)
  void appendList(std::vector<LayoutItem>& items) {
    bool afterSlash = false;
    while (true) {
      bool slash = peek() == '/';
      appendElement(items);
      if (peek() == ')') return;
      if (peek() == ',') {
        ++pos_;
        afterSlash = false;
        continue;
      }
      afterSlash = slash;
      if (!afterSlash && peek() != '/') fault("expected ',' or ')'");
    }
  }

  // element := '/' | literal | [count] ( 'X' | 'A' w | 'I' w | 'F' w '.' d | '(' list ')' )
  void appendElement(std::vector<LayoutItem>& items) {
    if (peek() == '/') {
      ++pos_;
      items.push_back(makeItem(LayoutItemKind::RecordBreak));
      return;
    }
    if (peek() == '\'') {
      items.push_back(parseLiteral());
      return;
    }
    const int count = isDigit(peek()) ? parseNumber() : 1;
    if (count < 1) fault("a repeat count must be at least 1");
    const char letter = next();
    if (letter == 'X') {
      items.push_back(makeItem(LayoutItemKind::Skip, count));
      return;
    }
    if (letter != '(') {
      items.insert(items.end(), static_cast<std::size_t>(count), parseField(letter));
      return;
    }
    // A group is expanded in place: its items once, then copied count - 1 times.
    const std::size_t first = items.size();
    appendList(items);
    expect(')');
    const std::size_t last = items.size();
    items.reserve(first + (last - first) * static_cast<std::size_t>(count));
    for (int i = 1; i < count; ++i)
      for (std::size_t k = first; k < last; ++k) items.push_back(items[k]);
  }

  // field := 'A' w | 'I' w | 'F' w '.' d
  LayoutItem parseField(char letter) {
    LayoutItem item = makeItem(LayoutItemKind::Text);
    if (letter == 'I')
      item.kind = LayoutItemKind::Integer;
    else if (letter == 'F')
      item.kind = LayoutItemKind::Real;
    else if (letter != 'A')
      fault("unknown item");
    item.width = parseNumber();
    if (item.width < 1) fault("a field must be at least one column wide");
    if (item.kind == LayoutItemKind::Real) {
      expect('.');
      item.decimals = parseNumber();
    }
    return item;
  }

  // literal := "'" characters "'"
  LayoutItem parseLiteral() {
    expect('\'');
    const std::size_t end = text_.find('\'', pos_);
    if (end == std::string_view::npos) fault("unterminated literal");
    LayoutItem item = makeItem(LayoutItemKind::Literal);
    item.literal = std::string(text_.substr(pos_, end - pos_));
    pos_ = end + 1;
    return item;
  }

  int parseNumber() {
    if (!isDigit(peek())) fault("expected a number");
    int value = 0;
    while (isDigit(peek()) && value < 10000) value = value * 10 + (next() - '0');
    if (isDigit(peek())) fault("number too large");
    return value;
  }

  static bool isDigit(char c) { return c >= '0' && c <= '9'; }
  char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
  char next() {
    if (pos_ >= text_.size()) fault("unexpected end");
    return text_[pos_++];
  }
  void expect(char c) {
    if (next() != c) fault("unexpected character");
  }

  [[noreturn]] void fault(const char* why) const {
    std::fprintf(stderr, "hlext1: internal error: layout \"%.*s\" at offset %zu: %s\n",
                 static_cast<int>(text_.size()), text_.data(), pos_, why);
    std::abort();
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

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
  layout.items_ = LayoutParser(text).parseLayout();
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
