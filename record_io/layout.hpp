// A layout string such as "(4X,A4,4X,I5,7(7X,I5))", parsed into a flat list of items with
// every repeat count and group expanded, so that reading and writing walk it front to back.
// The parser is constexpr: Layout::parse<"...">() checks its string when the program is
// compiled, so that a malformed layout stops the build and never a run.
#pragma once

#include <algorithm>
#include <cstddef>
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

// Why a layout string is malformed and at which offset; `why` is null when it is well formed.
struct LayoutFault {
  const char* why = nullptr;
  std::size_t offset = 0;

  constexpr explicit operator bool() const { return why != nullptr; }
};

namespace layout_grammar {

// An item as the parser meets it: a literal's characters stay in the layout string.
struct Token {
  LayoutItemKind kind = LayoutItemKind::Skip;
  int width = 0;
  int decimals = 0;
  std::string_view literal;
};

constexpr Token token(LayoutItemKind kind, int width = 0, std::string_view literal = {}) {
  Token made;
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
      emit(token(LayoutItemKind::RecordBreak));
      return;
    }
    if (peek() == '\'') return appendLiteral();
    const int count = isDigit(peek()) ? parseNumber() : 1;
    if (count < 1) return fault("a repeat count must be at least 1");
    const char letter = next();
    if (letter == 'X') return emit(token(LayoutItemKind::Skip, count));
    if (letter == '(') return appendGroup(count);
    const Token field = parseField(letter);
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
  constexpr Token parseField(char letter) {
    Token field = token(LayoutItemKind::Text);
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
  constexpr void appendLiteral() {
    expect('\'');
    const std::size_t end = text_.find('\'', pos_);
    if (end == std::string_view::npos) return fault("unterminated literal");
    emit(token(LayoutItemKind::Literal, 0, text_.substr(pos_, end - pos_)));
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
  constexpr void emit(const Token& token) {
    if (!fault_) emit_(token);
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
  return layout_grammar::Parser(text, [](const layout_grammar::Token&) {}).parse();
}

// A layout string as a template argument, so that it can be checked when compiled.
template <std::size_t Size>
struct LayoutString {
  consteval LayoutString(const char (&text)[Size]) { std::copy_n(text, Size, chars); }
  constexpr std::string_view view() const { return {chars, Size - 1}; }

  char chars[Size] = {};
};

class Layout {
 public:
  // A layout of the program: a malformed string does not compile.
  template <LayoutString Text>
  static Layout parse() {
    static_assert(!layoutFault(Text.view()), "malformed layout string");
    return parse(Text.view());
  }
  // A layout made at run time: a malformed string gives the items before the fault that
  // layoutFault() names.
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
