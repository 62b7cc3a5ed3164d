#include "record_io/field_conversion.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <system_error>

#include "record_io/decimal_to_single.hpp"

namespace hlext {
namespace {

// Fields are at most a record wide; anything longer is not a field of this system.
constexpr std::size_t MaxFieldWidth = 128;
static_assert(MaxFieldWidth <= MaxSignificantDigits, "every digit of a field is converted");
// Exponents are clamped here: far beyond the single range, so the outcome stays the same.
constexpr int ExponentClamp = 100000;

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isSign(char c) { return c == '+' || c == '-'; }
bool isExponentLetter(char c) { return c == 'E' || c == 'e' || c == 'D' || c == 'd'; }

// A cursor over a field that passes over its blanks, so the grammar below sees the field as
// if the blanks had been taken out.
class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) { skipBlanks(); }
  bool atEnd() const { return pos_ == text_.size(); }
  char peek() const { return atEnd() ? '\0' : text_[pos_]; }
  char next() {
    const char c = text_[pos_++];
    skipBlanks();
    return c;
  }

  // sign := '+' | '-'; gives true for a minus.
  bool optionalSign() {
    if (!isSign(peek())) return false;
    return next() == '-';
  }

 private:
  void skipBlanks() {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

// The pieces of a real field: value = (-1)^negative * digits * 10^exponent. Only the first
// digitCount characters of digits are set.
struct DecimalNumber {
  bool negative = false;
  std::array<char, MaxFieldWidth> digits;
  int digitCount = 0;
  int exponent = 0;
};

// exponent := ('E' | 'D' | 'e' | 'd') [sign] digits | sign digits
bool parseExponent(Scanner& scan, int& exponent) {
  if (isExponentLetter(scan.peek()))
    scan.next();
  else if (!isSign(scan.peek()))
    return false;
  const bool negative = scan.optionalSign();
  if (!isDigit(scan.peek())) return false;
  int value = 0;
  while (isDigit(scan.peek())) value = std::min(ExponentClamp, value * 10 + (scan.next() - '0'));
  exponent = negative ? -value : value;
  return scan.atEnd();
}

// real := [sign] mantissa [exponent];  mantissa := digits ['.' [digits]] | '.' digits
bool parseDecimal(Scanner& scan, int impliedDecimals, DecimalNumber& number) {
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

// Integers up to 2^24 are exact as singles.
constexpr std::uint64_t ExactMantissaLimit = std::uint64_t{1} << 24;

#if FLT_EVAL_METHOD == 0
// Powers of ten that are exact as singles: 10^10 = 2^10 * 5^10 and 5^10 is below 2^24.
constexpr std::array<float, 11> ExactPowersOfTen = {1e0F, 1e1F, 1e2F, 1e3F, 1e4F, 1e5F,
                                                    1e6F, 1e7F, 1e8F, 1e9F, 1e10F};

// mantissa * 10^exponent when both factors are exact as singles: one single-precision
// multiplication or division then rounds the exact value once, to nearest, ties to even,
// which is the value wanted. Gives false when they are not.
bool roundExactFactors(bool negative, std::uint64_t mantissa, int exponent, float& value) {
  constexpr int limit = static_cast<int>(ExactPowersOfTen.size()) - 1;
  if (mantissa > ExactMantissaLimit || exponent < -limit || exponent > limit) return false;
  const auto single = static_cast<float>(mantissa);
  const float power = ExactPowersOfTen[static_cast<std::size_t>(std::abs(exponent))];
  const float magnitude = exponent < 0 ? single / power : single * power;
  value = negative ? -magnitude : magnitude;
  return true;
}
#else
// Arithmetic in a wider format would round twice; only the general conversion is exact.
bool roundExactFactors(bool, std::uint64_t, int, float&) { return false; }
#endif

// The shape nearly every real field of a listing has: leading blanks, an optional sign and
// digits with at most one decimal point, with nothing after them; at most ten decimals and a
// value of at most 2^24 units of the last digit (so "    -0.57435" and "   -20.70181" qualify).
// Gives false, leaving the field to the general way, for anything else.
bool parsePlainReal(std::string_view field, int impliedDecimals, RealField& result) {
  // Nineteen digits always fit the mantissa; a wider field is never plain enough anyway.
  constexpr std::size_t MaxPlainWidth = 19;
  if (field.size() > MaxPlainWidth) return false;
  const char* p = field.data();
  const char* const end = p + field.size();
  while (p != end && *p == ' ') ++p;
  bool negative = false;
  if (p != end && isSign(*p)) negative = *p++ == '-';
  const char* const digitsBegin = p;
  const char* point = nullptr;
  std::uint64_t mantissa = 0;
  for (; p != end; ++p) {
    const auto digit = static_cast<unsigned char>(*p - '0');
    if (digit <= 9) {
      mantissa = mantissa * 10 + digit;
    } else if (*p == '.' && point == nullptr) {
      point = p;
    } else {
      return false;
    }
  }
  const auto characters = static_cast<int>(end - digitsBegin);
  if (characters == (point != nullptr ? 1 : 0)) return false;  // no digit at all
  if (mantissa == 0) {
    result = {signedZero(negative), true};
    return true;
  }
  const int exponent = point != nullptr ? -static_cast<int>(end - point - 1) : -impliedDecimals;
  float value = 0.0F;
  if (!roundExactFactors(negative, mantissa, exponent, value)) return false;
  result = {value, true};
  return true;
}

RealField roundToSingle(const DecimalNumber& number) {
  const SingleValue single = decimalToSingle(
      number.negative,
      std::string_view(number.digits.data(), static_cast<std::size_t>(number.digitCount)),
      number.exponent);
  return {single.value, single.ok};
}

}  // namespace

Text4 textFromField(std::string_view field) {
  Text4 text = text4("    ");
  if (field.size() > text.size()) field.remove_prefix(field.size() - text.size());
  for (std::size_t i = 0; i < field.size(); ++i) text[i] = field[i];
  return text;
}

IntegerField parseIntegerField(std::string_view field) {
  if (field.size() > MaxFieldWidth) return {};
  constexpr std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  bool sign = false;
  bool negative = false;
  bool digits = false;
  std::int64_t magnitude = 0;
  for (const char c : field) {
    if (c == ' ') continue;
    if (isDigit(c)) {
      digits = true;
      magnitude = magnitude * 10 + (c - '0');
      if (magnitude > limit) return {};
    } else if (isSign(c) && !sign && !digits) {
      sign = true;
      negative = c == '-';
    } else {
      return {};
    }
  }
  if (!digits) return sign ? IntegerField{} : IntegerField{0, true};
  if (magnitude == limit && !negative) return {};
  return {static_cast<std::int32_t>(negative ? -magnitude : magnitude), true};
}

RealField parseRealField(std::string_view field, int decimals) {
  if (field.size() > MaxFieldWidth) return {};
  if (RealField plain; parsePlainReal(field, decimals, plain)) return plain;
  Scanner scan(field);
  if (scan.atEnd()) return {0.0F, true};
  DecimalNumber number;
  if (!parseDecimal(scan, decimals, number)) return {};
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

namespace {

// Powers of ten a mantissa below 2^24 can be scaled by within 64 bits (2^24 * 10^9 < 2^54).
constexpr std::array<std::uint64_t, 10> DecimalScales = {
    1, 10, 100, 1'000, 10'000, 100'000, 1'000'000, 10'000'000, 100'000'000, 1'000'000'000};
constexpr int MaxScaledDecimals = static_cast<int>(DecimalScales.size()) - 1;
constexpr int ScaledBits = 63;

// The finite single value * 10^decimals rounded to an integer, to nearest and ties to even,
// worked out from its exact binary value mantissa * 2^exponent. Gives false when the integer
// would not fit in 63 bits.
bool scaleExactly(std::uint32_t bits, int decimals, std::uint64_t& scaled) {
  const auto biased = static_cast<int>((bits >> 23) & 0xff);
  std::uint64_t mantissa = bits & 0x7f'ffff;
  int exponent = -149;  // subnormals
  if (biased != 0) {
    mantissa |= 0x80'0000;
    exponent = biased - 150;
  }
  const std::uint64_t product = mantissa * DecimalScales[static_cast<std::size_t>(decimals)];
  if (exponent >= 0) {
    if (static_cast<int>(std::bit_width(product)) + exponent > ScaledBits) return false;
    scaled = product << exponent;
    return true;
  }
  const int shift = -exponent;
  if (shift > ScaledBits) {
    scaled = 0;  // the product is below 2^54, far below half of 2^shift
    return true;
  }
  const std::uint64_t quotient = product >> shift;
  const std::uint64_t rest = product & ((std::uint64_t{1} << shift) - 1);
  const std::uint64_t half = std::uint64_t{1} << (shift - 1);
  const bool up = rest > half || (rest == half && (quotient & 1) != 0);
  scaled = quotient + (up ? 1 : 0);
  return true;
}

void appendJustified(std::string& out, const char* text, std::size_t length, int width) {
  if (length > static_cast<std::size_t>(width)) {
    out.append(static_cast<std::size_t>(width), '*');
    return;
  }
  out.append(static_cast<std::size_t>(width) - length, ' ');
  out.append(text, length);
}

// Writes scaled / 10^decimals with exactly `decimals` fraction digits, the point after the
// integer digits also when there are none.
void appendScaled(std::string& out, bool negative, std::uint64_t scaled, int width, int decimals) {
  std::array<char, 32> text{};
  char* const end = text.data() + text.size();
  char* first = end;
  std::uint64_t whole = scaled / DecimalScales[static_cast<std::size_t>(decimals)];
  std::uint64_t fraction = scaled % DecimalScales[static_cast<std::size_t>(decimals)];
  for (int digit = 0; digit < decimals; ++digit, fraction /= 10)
    *--first = static_cast<char>('0' + fraction % 10);
  *--first = '.';
  do *--first = static_cast<char>('0' + whole % 10);
  while ((whole /= 10) != 0);
  if (negative) *--first = '-';
  appendJustified(out, first, static_cast<std::size_t>(end - first), width);
}

}  // namespace

void appendRealField(std::string& out, float value, int width, int decimals) {
  const auto bits = std::bit_cast<std::uint32_t>(value);
  std::uint64_t scaled = 0;
  if (std::isfinite(value) && decimals >= 0 && decimals <= MaxScaledDecimals &&
      scaleExactly(bits, decimals, scaled)) {
    appendScaled(out, (bits >> 31) != 0, scaled, width, decimals);
    return;
  }
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
