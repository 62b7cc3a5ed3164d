#include "record_io/field_conversion.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace hlext {
namespace {

// Fields are at most a record wide; anything longer is not a field of this system.
constexpr std::size_t MaxFieldWidth = 128;
// Exponents are clamped here: far beyond the single range, so the outcome stays the same.
constexpr int ExponentClamp = 100000;

// The field with its blanks removed. A field wider than MaxFieldWidth is rejected.
struct Compact {
  std::array<char, MaxFieldWidth> chars{};
  std::size_t size = 0;
  bool ok = true;
  std::string_view view() const { return {chars.data(), size}; }
};

Compact withoutBlanks(std::string_view field) {
  Compact compact;
  if (field.size() > MaxFieldWidth) {
    compact.ok = false;
    return compact;
  }
  for (char c : field)
    if (c != ' ') compact.chars[compact.size++] = c;
  return compact;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isSign(char c) { return c == '+' || c == '-'; }
bool isExponentLetter(char c) { return c == 'E' || c == 'e' || c == 'D' || c == 'd'; }

// A cursor over the compacted field.
class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}
  bool atEnd() const { return pos_ == text_.size(); }
  char peek() const { return atEnd() ? '\0' : text_[pos_]; }
  char next() { return text_[pos_++]; }

  // sign := '+' | '-'; gives true for a minus.
  bool optionalSign() {
    if (!isSign(peek())) return false;
    return next() == '-';
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

// The pieces of a real field: value = (-1)^negative * digits * 10^exponent.
struct DecimalNumber {
  bool negative = false;
  std::array<char, MaxFieldWidth> digits{};
  int digitCount = 0;
  int exponent = 0;
};

// exponent := ('E' | 'D' | 'e' | 'd') [sign] digits | sign digits
bool parseExponent(Scanner& scan, int& exponent) {
  if (isExponentLetter(scan.peek())) scan.next();
  else if (!isSign(scan.peek())) return false;
  const bool negative = scan.optionalSign();
  if (!isDigit(scan.peek())) return false;
  int value = 0;
  while (isDigit(scan.peek())) value = std::min(ExponentClamp, value * 10 + (scan.next() - '0'));
  exponent = negative ? -value : value;
  return scan.atEnd();
}

// real := [sign] mantissa [exponent];  mantissa := digits ['.' [digits]] | '.' digits
bool parseDecimal(std::string_view text, int impliedDecimals, DecimalNumber& number) {
  Scanner scan(text);
  number.negative = scan.optionalSign();
  bool point = false;
  int fractionDigits = 0;
  int mantissaDigits = 0;
  for (char c = scan.peek(); isDigit(c) || c == '.'; c = scan.peek()) {
    scan.next();
    if (c == '.') {
      if (point) return false;
      point = true;
      continue;
    }
    ++mantissaDigits;
    if (point) ++fractionDigits;
    // Leading zeros carry no value; keeping them out bounds the digit string.
    if (number.digitCount == 0 && c == '0') continue;
    number.digits[static_cast<std::size_t>(number.digitCount++)] = c;
  }
  if (mantissaDigits == 0) return false;
  int exponent = 0;
  if (!scan.atEnd() && !parseExponent(scan, exponent)) return false;
  // Digits already dropped as leading zeros lie left of the significant ones, so the scale
  // depends only on how many fraction digits were written.
  number.exponent = exponent - (point ? fractionDigits : impliedDecimals);
  return true;
}

float signedZero(bool negative) { return negative ? -0.0F : 0.0F; }

RealField roundToSingle(const DecimalNumber& number) {
  if (number.digitCount == 0) return {signedZero(number.negative), true};
  // "<digits>e<exponent>" has no decimal point and no sign, so from_chars reads it exactly.
  std::array<char, MaxFieldWidth + 16> text{};
  char* end = text.data() + number.digitCount;
  std::copy_n(number.digits.data(), number.digitCount, text.data());
  *end++ = 'e';
  end = std::to_chars(end, text.data() + text.size(), number.exponent).ptr;
  float magnitude = 0.0F;
  const auto [ptr, ec] = std::from_chars(text.data(), end, magnitude, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    // from_chars reports both overflow and underflow to zero this way and leaves the value
    // alone. Values of 1 or more can only overflow; smaller ones can only underflow.
    const bool overflow = number.digitCount + number.exponent - 1 >= 0;
    if (overflow) return {0.0F, false};
    return {signedZero(number.negative), true};
  }
  if (ec != std::errc{} || ptr != end) return {0.0F, false};
  return {number.negative ? -magnitude : magnitude, true};
}

}  // namespace

Text4 textFromField(std::string_view field) {
  Text4 text = text4("    ");
  if (field.size() > text.size()) field.remove_prefix(field.size() - text.size());
  std::copy(field.begin(), field.end(), text.begin());
  return text;
}

IntegerField parseIntegerField(std::string_view field) {
  const Compact compact = withoutBlanks(field);
  if (!compact.ok) return {};
  if (compact.size == 0) return {0, true};
  Scanner scan(compact.view());
  const bool negative = scan.optionalSign();
  if (scan.atEnd()) return {};
  std::int64_t magnitude = 0;
  constexpr std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  while (!scan.atEnd()) {
    const char c = scan.next();
    if (!isDigit(c)) return {};
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > limit) return {};
  }
  if (magnitude == limit && !negative) return {};
  return {static_cast<std::int32_t>(negative ? -magnitude : magnitude), true};
}

RealField parseRealField(std::string_view field, int decimals) {
  const Compact compact = withoutBlanks(field);
  if (!compact.ok) return {};
  if (compact.size == 0) return {0.0F, true};
  DecimalNumber number;
  if (!parseDecimal(compact.view(), decimals, number)) return {};
  return roundToSingle(number);
}

void appendIntegerField(std::string& out, std::int32_t value, int width) {
  std::array<char, 16> text{};
  const char* end = std::to_chars(text.data(), text.data() + text.size(), value).ptr;
  const auto length = static_cast<int>(end - text.data());
  if (length > width) {
    out.append(static_cast<std::size_t>(width), '*');
    return;
  }
  out.append(static_cast<std::size_t>(width - length), ' ');
  out.append(text.data(), static_cast<std::size_t>(length));
}

void appendRealField(std::string& out, float value, int width, int decimals) {
  // The largest single is below 2^128 (39 digits); the buffer holds that and any decimals used.
  std::array<char, 96> text{};
  const auto [end, ec] = std::to_chars(text.data(), text.data() + text.size(), value,
                                       std::chars_format::fixed, decimals);
  char* last = end;
  // With no decimals the point still stands, after the integer digits.
  if (ec == std::errc{} && decimals == 0) *last++ = '.';
  const auto length = static_cast<int>(last - text.data());
  if (ec != std::errc{} || length > width) {
    out.append(static_cast<std::size_t>(width), '*');
    return;
  }
  out.append(static_cast<std::size_t>(width - length), ' ');
  out.append(text.data(), static_cast<std::size_t>(length));
}

}  // namespace hlext
