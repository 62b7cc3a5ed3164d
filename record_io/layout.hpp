// A layout string such as "(4X,A4,4X,I5,7(7X,I5))", parsed into a flat list of items with
// every repeat count and group expanded, so that reading and writing walk it front to back.
// The parser is constexpr: Layout::parse<"...">() parses its string when the program is
// compiled into constant items, so that a malformed layout stops the build and a run neither
// parses nor allocates for its layouts.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <string_view>

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
  int width = 0;             // columns of a field, or of a skip
  int decimals = 0;          // d of Fw.d
  std::string_view literal;  // characters of a literal, within the layout string

  constexpr bool isData() const {
    return kind == LayoutItemKind::Text || kind == LayoutItemKind::Integer ||
           kind == LayoutItemKind::Real;
  }
  constexpr bool operator==(const LayoutItem&) const = default;
};

// Why a layout string is malformed and at which offset; `why` is null when it is well formed.
struct LayoutFault {
  const char* why = nullptr;
  std::size_t offset = 0;

  constexpr explicit operator bool() const { return why != nullptr; }
};

namespace layout_grammar {

constexpr LayoutItem item(LayoutItemKind kind, int width = 0, std::string_view literal = {}) {
  LayoutItem made;
  made.kind = kind;
  made.width = width;
  made.literal = literal;
  return made;
}

// Hands every item of a layout string to `emit`, repeat counts and groups expanded, and stops
// at the first fault. A group is parsed once per repeat, so that nothing is read back.
template <typename Emit>
class Parser {
 public:
  constexpr Parser(std::string_view text, Emit emit) : text_(text), emit_(emit) {}

  // layout := '(' list ')'
  constexpr LayoutFault parse() {
    expect('(');
    appendList();
    expect(')');
    if (pos_ != text_.size()) fault("text after the closing parenthesis");
    return fault_;
  }

 private:
  // list := element { [','] element }   (the comma may be left out next to a slash)
  constexpr void appendList() {
    while (!fault_) {
      const bool slash = peek() == '/';
      appendElement();
      if (peek() == ')') return;
      if (peek() == ',')
        ++pos_;
      else if (!slash && peek() != '/')
        fault("expected ',' or ')'");
    }
  }

  // element := '/' | literal | [count] ( 'X' | 'A' w | 'I' w | 'F' w '.' d | '(' list ')' )
  constexpr void appendElement() {
    if (peek() == '/') {
      ++pos_;
      emit(item(LayoutItemKind::RecordBreak));
      return;
    }
    if (peek() == '\'') return appendLiteral();
    const int count = isDigit(peek()) ? parseNumber() : 1;
    if (count < 1) return fault("a repeat count must be at least 1");
    const char letter = next();
    if (letter == 'X') return emit(item(LayoutItemKind::Skip, count));
    if (letter == '(') return appendGroup(count);
    const LayoutItem field = parseField(letter);
    for (int i = 0; i < count; ++i) emit(field);
  }

  constexpr void appendGroup(int count) {
    const std::size_t start = pos_;
    for (int i = 0; i < count && !fault_; ++i) {
      pos_ = start;
      appendList();
      expect(')');
    }
  }

  // field := 'A' w | 'I' w | 'F' w '.' d
  constexpr LayoutItem parseField(char letter) {
    LayoutItem field = item(LayoutItemKind::Text);
    if (letter == 'I')
      field.kind = LayoutItemKind::Integer;
    else if (letter == 'F')
      field.kind = LayoutItemKind::Real;
    else if (letter != 'A')
      fault("unknown item");
    field.width = parseNumber();
    if (field.width < 1) fault("a field must be at least one column wide");
    if (field.kind != LayoutItemKind::Real) return field;
    expect('.');
    field.decimals = parseNumber();
    return field;
  }

  // literal := "'" characters "'"
  // The closing quote is sought by hand: GCC's null-pointer sanitizer makes the pointer test
  // inside string_view::find no constant expression, and the sanitized build would not compile.
  constexpr void appendLiteral() {
    expect('\'');
    std::size_t end = pos_;
    while (end < text_.size() && text_[end] != '\'') ++end;
    if (end == text_.size()) return fault("unterminated literal");
    emit(item(LayoutItemKind::Literal, 0, text_.substr(pos_, end - pos_)));
    pos_ = end + 1;
  }

  constexpr int parseNumber() {
    if (!isDigit(peek())) fault("expected a number");
    int value = 0;
    while (isDigit(peek()) && value < 10000) value = value * 10 + (next() - '0');
    if (isDigit(peek())) fault("number too large");
    return value;
  }

  static constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }
  constexpr char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
  constexpr char next() {
    if (pos_ < text_.size()) return text_[pos_++];
    fault("unexpected end");
    return '\0';
  }
  constexpr void expect(char c) {
    if (next() != c) fault("unexpected character");
  }
  constexpr void emit(const LayoutItem& made) {
    if (!fault_) emit_(made);
  }
  constexpr void fault(const char* why) {
    if (!fault_) fault_ = {why, pos_};
  }

  std::string_view text_;
  Emit emit_;
  std::size_t pos_ = 0;
  LayoutFault fault_;
};

}  // namespace layout_grammar

// What is wrong with a layout string, if anything; usable when compiling.
constexpr LayoutFault layoutFault(std::string_view text) {
  return layout_grammar::Parser(text, [](const LayoutItem&) {}).parse();
}

// A layout string as a template argument, so that it can be parsed when compiled.
template <std::size_t Size>
struct LayoutString {
  consteval LayoutString(const char (&text)[Size]) { std::copy_n(text, Size, chars); }
  constexpr std::string_view view() const { return {chars, Size - 1}; }

  char chars[Size] = {};
};

namespace layout_grammar {

constexpr std::size_t itemCount(std::string_view text) {
  std::size_t count = 0;
  Parser(text, [&count](const LayoutItem&) { ++count; }).parse();
  return count;
}

template <std::size_t Count>
constexpr std::array<LayoutItem, Count> itemsOf(std::string_view text) {
  std::array<LayoutItem, Count> items{};
  std::size_t next = 0;
  Parser(text, [&](const LayoutItem& made) { items[next++] = made; }).parse();
  return items;
}

// The items of a layout of the program, as constant data; their literals view the string
// held by the template argument, which lives as long as the program.
template <LayoutString Text>
inline constexpr std::array<LayoutItem, itemCount(Text.view())> compiledItems =
    itemsOf<itemCount(Text.view())>(Text.view());

}  // namespace layout_grammar

// A parsed layout: a view of its string and items, which live as long as the program, so a
// Layout is copied freely.
class Layout {
 public:
  // A layout of the program, parsed when compiled: a malformed string does not compile.
  template <LayoutString Text>
  static constexpr Layout parse() {
    static_assert(!layoutFault(Text.view()), "malformed layout string");
    return Layout(Text.view(), layout_grammar::compiledItems<Text>);
  }

  constexpr std::span<const LayoutItem> items() const { return items_; }
  constexpr std::string_view text() const { return text_; }
  constexpr int dataItemCount() const { return dataItemCount_; }
  // The last column a single record can be read or written at under this layout.
  constexpr int reach() const { return reach_; }
  // The first column of the label, when the first data item is a four-column text field with
  // only skips before it, so that it stands in the same columns of every record; else 0.
  constexpr int labelColumn() const { return labelColumn_; }

  // The layout `text` whose parsed items are `items`; the caller keeps both for as long as the
  // layout is used (the tests' run-time parser, tests/support/parsed_layout.hpp).
  constexpr Layout(std::string_view text, std::span<const LayoutItem> items)
      : text_(text),
        items_(items),
        dataItemCount_(static_cast<int>(std::count_if(
            items.begin(), items.end(), [](const LayoutItem& each) { return each.isData(); }))),
        reach_(reachOf(items)),
        labelColumn_(labelColumnOf(items)) {}

 private:
  static constexpr int reachOf(std::span<const LayoutItem> items) {
    int reach = 0;
    int column = 0;
    for (const LayoutItem& each : items) {
      if (each.kind == LayoutItemKind::RecordBreak)
        column = 0;
      else if (each.kind == LayoutItemKind::Literal)
        column += static_cast<int>(each.literal.size());
      else
        column += each.width;
      reach = std::max(reach, column);
    }
    return reach;
  }

  // The first column of a four-column text field that only skips stand before; 0 when the
  // layout does not begin so.
  static constexpr int labelColumnOf(std::span<const LayoutItem> items) {
    int column = 1;
    for (const LayoutItem& each : items) {
      if (each.kind != LayoutItemKind::Skip)
        return each.kind == LayoutItemKind::Text && each.width == 4 ? column : 0;
      column += each.width;
    }
    return 0;
  }

  std::string_view text_;
  std::span<const LayoutItem> items_;
  int dataItemCount_ = 0;
  int reach_ = 0;
  int labelColumn_ = 0;
};

}  // namespace hlext
