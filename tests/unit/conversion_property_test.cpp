// Field conversions against the C library, over generated fields.
//
// Reading: over a million generated numeric fields (digit strings, signs, points, E and D
// exponents and bare-sign exponents, blanks anywhere, commas, foreign characters, widths from
// 1 to 24, short records), read through RecordReader under "(Fw.d,F12.5)" or "(Iw,F12.5)",
// each value must be what strtof / strtoll in the "C" locale make of the same number, or both
// must reject it. The reference is built from what the field means: blanks out, the field cut
// at a comma, implied decimals put in as a decimal point, D made E, a sign after the digits
// made an exponent. The second field checks where a comma leaves the position.
//
// Writing: F10.5 of values chosen by the edges, then of a million generated single-precision
// values, must be printf's exactly rounded "%.5f", right-justified, or ten asterisks when that
// is wider than ten columns.
//
// Fields are built in fixed buffers rather than strings, so that the million cases stay quick
// in unoptimised and sanitized builds.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "record_io/byte_stream.hpp"
#include "record_io/field_conversion.hpp"
#include "record_io/layout.hpp"
#include "record_io/record_reader.hpp"
#include "tests/support/memory_connector.hpp"
#include "tests/support/parsed_layout.hpp"

namespace hlext {
namespace {

constexpr int FieldCount = 1'000'000;
constexpr int OutputCount = 1'000'000;
constexpr int BatchSize = 50'000;
constexpr int MaxWidth = 24;
constexpr int MaxDecimals = 9;
constexpr std::size_t SecondWidth = 12;

bool isSign(char c) { return c == '+' || c == '-'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isExponentLetter(char c) { return c == 'E' || c == 'e' || c == 'D' || c == 'd'; }

// A short text in a fixed buffer.
struct Chars {
  char data[64] = {};
  std::size_t size = 0;

  void push(char c) { data[size++] = c; }
  void append(std::string_view text) {
    std::memcpy(data + size, text.data(), text.size());
    size += text.size();
  }
  void insert(std::size_t at, char c) {
    std::memmove(data + at + 1, data + at, size - at);
    data[at] = c;
    ++size;
  }
  std::string_view view() const { return {data, size}; }
};

// The field up to a comma, without its blanks.
Chars compacted(std::string_view field) {
  Chars text;
  for (char c : field) {
    if (c == ',') break;
    if (c != ' ') text.push(c);
  }
  return text;
}

struct Reference {
  std::optional<float> value;  // nothing: the field does not convert
  bool overflow = false;       // ... because it is too large for a single
};

// The C library's parsers cannot take the field as it stands: it may hold blanks, implied
// decimals, D exponents and exponents without a letter. This makes the plain number out of it;
// strtof must then read that whole text.
Reference referenceReal(std::string_view field, int decimals) {
  const Chars text = compacted(field);
  if (text.size == 0) return {0.0F};
  Chars number;
  std::size_t i = 0;
  if (isSign(text.data[0])) number.push(text.data[i++]);
  const std::size_t mantissaStart = i;
  bool point = false;
  bool digit = false;
  for (; i < text.size && (isDigit(text.data[i]) || text.data[i] == '.'); ++i) {
    point = point || text.data[i] == '.';
    digit = digit || isDigit(text.data[i]);
  }
  if (!digit) return {};
  const std::string_view mantissa(text.data + mantissaStart, i - mantissaStart);
  const auto fraction = static_cast<std::size_t>(decimals);
  if (point) {
    number.append(mantissa);
  } else if (mantissa.size() <= fraction) {
    number.push('.');
    for (std::size_t zeros = fraction - mantissa.size(); zeros > 0; --zeros) number.push('0');
    number.append(mantissa);
  } else {
    number.append(mantissa.substr(0, mantissa.size() - fraction));
    number.push('.');
    number.append(mantissa.substr(mantissa.size() - fraction));
  }
  if (i < text.size) {
    if (isExponentLetter(text.data[i])) {
      number.push('E');
      ++i;
    } else if (isSign(text.data[i])) {
      number.push('E');
    }
    number.append(std::string_view(text.data + i, text.size - i));
  }
  number.push('\0');
  char* end = nullptr;
  errno = 0;
  const float value = std::strtof(number.data, &end);
  if (end != number.data + number.size - 1) return {};
  // Too large for a single; too small is zero or a subnormal, as strtof rounds it.
  if (std::isinf(value)) return {std::nullopt, true};
  return {value};
}

std::optional<std::int32_t> referenceInteger(std::string_view field) {
  Chars text = compacted(field);
  if (text.size == 0) return 0;
  if (text.view().find_first_not_of("+-0123456789") != std::string_view::npos) return std::nullopt;
  text.push('\0');
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text.data, &end, 10);
  if (end != text.data + text.size - 1 || errno == ERANGE) return std::nullopt;
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max())
    return std::nullopt;
  return static_cast<std::int32_t>(value);
}

// True when a digit other than 0 stands before the exponent, if any.
bool nonzeroMantissa(std::string_view field) {
  const Chars text = compacted(field);
  for (std::size_t i = 0; i < text.size; ++i) {
    if (text.data[i] >= '1' && text.data[i] <= '9') return true;
    if (isExponentLetter(text.data[i]) || (i > 0 && isSign(text.data[i]))) return false;
  }
  return false;
}

// Numeric fields from a fixed seed. Most look like numbers a listing holds; many are bent out
// of shape on purpose.
class FieldGenerator {
 public:
  std::uint64_t below(std::uint64_t n) { return engine_() % n; }
  bool chance(int percent) { return below(100) < static_cast<std::uint64_t>(percent); }
  char oneOf(std::string_view chars) { return chars[below(chars.size())]; }

  void digits(Chars& text, std::uint64_t count) {
    for (; count > 0; --count) text.push(static_cast<char>('0' + below(10)));
  }

  // A real as a listing could write it.
  Chars real() {
    Chars text;
    const std::uint64_t shape = below(100);
    if (shape < 8) return nearTie();
    if (shape < 12) return nearMantissaLimit();
    if (chance(35)) text.push(chance(60) ? '-' : '+');
    digits(text, chance(5) ? below(21) : below(8));
    if (chance(60)) {
      text.push('.');
      digits(text, below(8));
    }
    if (chance(25)) {
      const std::uint64_t form = below(3);
      if (form < 2) text.push(oneOf("EeDd"));
      if (form == 2 || chance(50)) text.push(chance(50) ? '-' : '+');
      digits(text, 1 + below(chance(10) ? 4 : 2));
    }
    return text;
  }

  Chars integer() {
    Chars text;
    if (chance(30)) text.push(chance(60) ? '-' : '+');
    digits(text, chance(10) ? below(14) : below(6));
    return text;
  }

  // Blanks inside, now and then a foreign or misplaced character or a comma, and the whole
  // justified in `width` columns (or cut to them) at the end of `record`.
  void field(Chars text, std::size_t width, Chars& record) {
    if (chance(5)) text.size = 0;
    for (int blanks = chance(25) ? 1 + static_cast<int>(below(3)) : 0; blanks > 0; --blanks)
      text.insert(below(text.size + 1), ' ');
    if (chance(10)) {
      const char odd = oneOf("0123456789+-.EeDd xX*\t");
      if (text.size == 0 || chance(50))
        text.insert(below(text.size + 1), odd);
      else
        text.data[below(text.size)] = odd;
    }
    if (chance(8)) text.insert(below(text.size + 1), ',');
    if (text.size >= width) {
      record.append(text.view().substr(0, width));
      return;
    }
    const std::size_t pad = width - text.size;
    const std::uint64_t justify = below(10);
    const std::size_t left = justify < 7 ? pad : justify < 9 ? 0 : pad / 2;
    for (std::size_t i = 0; i < left; ++i) record.push(' ');
    record.append(text.view());
    for (std::size_t i = left; i < pad; ++i) record.push(' ');
  }

 private:
  // A decimal within a few units of its last digit of the midpoint between two neighbouring
  // singles: rounding it through double first would often give the wrong neighbour.
  Chars nearTie() {
    const auto bits = static_cast<std::uint32_t>(below(0x7f000000));
    const float low = std::bit_cast<float>(bits);
    const float high = std::nextafter(low, std::numeric_limits<float>::infinity());
    const double middle = (static_cast<double>(low) + static_cast<double>(high)) / 2;
    Chars text;
    const int length = std::snprintf(text.data, sizeof text.data, "%s%.*e", chance(50) ? "-" : "",
                                     8 + static_cast<int>(below(9)), middle);
    text.size = static_cast<std::size_t>(length);
    return text;
  }

  // Around 2^24, where integers stop being exact singles.
  Chars nearMantissaLimit() {
    Chars text;
    text.append(std::to_string((1 << 24) - 8 + static_cast<int>(below(17))));
    const std::uint64_t point = below(text.size + 2);
    if (point <= text.size) text.insert(point, '.');
    return text;
  }

  std::mt19937_64 engine_{20261208};
};

struct FieldCase {
  bool integer = false;
  int width = 0;
  int decimals = 0;
  Chars record;  // what the listing holds
  Chars padded;  // the record with blanks past its end, as the reader sees it
};

std::string layoutText(bool integer, int width, int decimals) {
  return (integer ? "(I" + std::to_string(width)
                  : "(F" + std::to_string(width) + "." + std::to_string(decimals)) +
         ",F12.5)";
}

std::string describe(const FieldCase& field) {
  return layoutText(field.integer, field.width, field.decimals) + " on \"" +
         std::string(field.record.view()) + '"';
}

std::string bitsOf(float value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.9g (0x%08x)", static_cast<double>(value),
                std::bit_cast<std::uint32_t>(value));
  return text;
}

struct Tally {
  int accepted = 0;
  int rejected = 0;
  int commas = 0;
  int subnormal = 0;
  int underflowToZero = 0;
  int overflow = 0;
  std::vector<std::string> mismatches;

  void mismatch(std::string what) {
    if (mismatches.size() < 20) mismatches.push_back(std::move(what));
  }
};

std::string shown(std::int32_t value) { return "integer " + std::to_string(value); }
std::string shown(float value) { return bitsOf(value); }

// Whether the reference and the reader disagree: one rejects the field and the other does not,
// or their values differ in a bit.
template <typename Value>
bool differ(const std::optional<Value>& expected, bool rejected, Value read) {
  return expected.has_value() == rejected || (expected && std::bit_cast<std::uint32_t>(*expected) !=
                                                              std::bit_cast<std::uint32_t>(read));
}

template <typename Value>
std::string outcomes(const std::optional<Value>& expected, bool rejected, Value read) {
  return (expected ? shown(*expected) : "rejected") + " expected, " +
         (rejected ? "rejected" : shown(read)) + " read";
}

// Checks one statement's outcome against the reference for both of its fields.
void checkRead(const FieldCase& field, const std::optional<FieldFault>& bad, std::int32_t integer,
               float first, float second, Tally& tally) {
  const std::string_view firstText =
      field.padded.view().substr(0, static_cast<std::size_t>(field.width));
  const std::size_t comma = firstText.find(',');
  if (comma != std::string_view::npos) ++tally.commas;
  const bool firstBad = bad && bad->place.firstColumn == 1;
  if (field.integer) {
    const std::optional<std::int32_t> expected = referenceInteger(firstText);
    if (differ(expected, firstBad, integer))
      tally.mismatch(describe(field) + ": " + outcomes(expected, firstBad, integer));
  } else {
    const Reference reference = referenceReal(firstText, field.decimals);
    const std::optional<float>& expected = reference.value;
    if (expected && *expected == 0.0F && nonzeroMantissa(firstText)) ++tally.underflowToZero;
    if (expected && std::fpclassify(*expected) == FP_SUBNORMAL) ++tally.subnormal;
    if (reference.overflow) ++tally.overflow;
    if (differ(expected, firstBad, first))
      tally.mismatch(describe(field) + ": " + outcomes(expected, firstBad, first));
  }
  if (firstBad && bad->kind != (field.integer ? ErrorKind::BadInteger : ErrorKind::BadReal))
    tally.mismatch(describe(field) + ": not a bad " + (field.integer ? "integer" : "real"));
  if (firstBad) {
    ++tally.rejected;
    return;
  }
  ++tally.accepted;
  // The second field starts right after a comma that ended the first one early.
  const std::size_t start = comma != std::string_view::npos ? comma + 1 : firstText.size();
  const std::string_view secondText = field.padded.view().substr(start, SecondWidth);
  const std::optional<float> expected = referenceReal(secondText, 5).value;
  if (differ(expected, bad.has_value(), second))
    tally.mismatch(describe(field) + ", second field \"" + std::string(secondText) +
                   "\": " + outcomes(expected, bad.has_value(), second));
}

class ConversionProperty : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr); }
};

TEST_F(ConversionProperty, ReadFieldsMatchTheCLibrary) {
  // Every layout a case can use, by kind, width and decimals.
  std::vector<Layout> layouts;
  for (const bool integer : {false, true})
    for (int width = 0; width <= MaxWidth; ++width)
      for (int decimals = 0; decimals <= MaxDecimals; ++decimals)
        layouts.push_back(parsedLayout(layoutText(integer, std::max(width, 1), decimals)));
  const auto layoutFor = [&](const FieldCase& field) -> const Layout& {
    return layouts[static_cast<std::size_t>(
        ((field.integer ? 1 : 0) * (MaxWidth + 1) + field.width) * (MaxDecimals + 1) +
        field.decimals)];
  };

  FieldGenerator generate;
  Tally tally;
  std::vector<FieldCase> batch(BatchSize);
  for (int done = 0; done < FieldCount; done += BatchSize) {
    std::string listing;
    for (FieldCase& field : batch) {
      field.integer = generate.chance(15);
      field.width = 1 + static_cast<int>(generate.below(MaxWidth));
      field.decimals = generate.chance(50) ? 5 : static_cast<int>(generate.below(MaxDecimals + 1));
      field.record.size = 0;
      generate.field(field.integer ? generate.integer() : generate.real(),
                     static_cast<std::size_t>(field.width), field.record);
      generate.field(generate.real(), SecondWidth, field.record);
      // Short records: the missing columns read as blanks.
      if (generate.chance(10)) field.record.size = generate.below(field.record.size + 1);
      field.padded = field.record;
      while (field.padded.size < sizeof field.padded.data) field.padded.push(' ');
      listing += field.record.view();
      listing += '\n';
    }
    testing::MemoryConnector connector(listing);
    RecordReader reader(connector.openInput("fields").stream, 4, "fields");
    for (const FieldCase& field : batch) {
      std::int32_t integer = 0;
      float first = 0.0F;
      float second = 0.0F;
      const std::array<ReadItem, 2> items = {field.integer ? ReadItem(&integer) : ReadItem(&first),
                                             &second};
      const std::optional<FieldFault> bad = reader.read(1, layoutFor(field), items);
      checkRead(field, bad, integer, first, second, tally);
    }
  }

  std::string report;
  for (const std::string& line : tally.mismatches) report += line + '\n';
  EXPECT_TRUE(tally.mismatches.empty()) << report;
  // The generator reaches every kind of outcome, often.
  EXPECT_GT(tally.accepted, FieldCount / 2);
  EXPECT_GT(tally.rejected, FieldCount / 20);
  EXPECT_GT(tally.commas, FieldCount / 50);
  EXPECT_GT(tally.subnormal, 100);
  EXPECT_GT(tally.underflowToZero, 1000);
  EXPECT_GT(tally.overflow, 1000);
}

// printf's "%.5f" is exact; a field wider than ten columns is ten asterisks.
std::string referenceF10_5(float value) {
  char text[64];
  const int length = std::snprintf(text, sizeof text, "%10.5f", static_cast<double>(value));
  return length > 10 ? std::string(10, '*') : std::string(text);
}

TEST_F(ConversionProperty, WrittenRealsMatchTheCLibrary) {
  std::mt19937_64 engine(5150);
  const auto below = [&](std::uint64_t n) { return engine() % n; };
  int ties = 0;
  int asterisks = 0;
  std::vector<std::string> mismatches;
  std::string written;
  const auto check = [&](float value) {
    written.clear();
    appendRealField(written, value, 10, 5);
    const std::string expected = referenceF10_5(value);
    if (expected[0] == '*') ++asterisks;
    if (std::fabs(std::fmod(static_cast<double>(value) * 1e5, 1.0)) == 0.5) ++ties;
    if (written != expected && mismatches.size() < 20)
      mismatches.push_back(bitsOf(value) + ": \"" + expected + "\" expected, \"" + written +
                           "\" written");
  };
  // Values by the edges of the field, of zero and of rounding (exact halfway cases go to the
  // even neighbour: 0.015625 to 0.01562), then the generated ones.
  for (const float value :
       {9999.9990234375F, -999.9999389648438F, -1000.0F, 10000.0F, -0.000001F, -0.0F, 0.0F, 0.5F,
        -11.23456F, 0.21034F, 0.015625F, 0.046875F, std::numeric_limits<float>::max(),
        std::numeric_limits<float>::denorm_min(), -std::numeric_limits<float>::denorm_min()})
    check(value);
  for (int i = 0; i < OutputCount; ++i) {
    float value = 0.0F;
    switch (below(4)) {
      case 0:  // any finite single
        do value = std::bit_cast<float>(static_cast<std::uint32_t>(engine()));
        while (!std::isfinite(value));
        break;
      case 1: {  // a coefficient or an energy, about as a listing prints them
        const auto units = static_cast<double>(static_cast<std::int64_t>(below(2'000'000'001)));
        value = static_cast<float>((units - 1e9) / std::pow(10.0, static_cast<double>(below(9))));
        break;
      }
      case 2: {  // an odd multiple of 2^-6 .. 2^-16: exactly halfway cases and their neighbours
        const auto odd =
            static_cast<float>(2 * static_cast<std::int64_t>(below(2'000'001)) - 1'999'999);
        value = std::ldexp(odd, -6 - static_cast<int>(below(11)));
        if (below(2) == 0) value = std::nextafter(value, below(2) == 0 ? 0.0F : 2.0F * value);
        break;
      }
      default: {  // by the edges of the field: 10000 and -1000
        const float edge = below(2) == 0 ? 10000.0F : -1000.0F;
        value = std::bit_cast<float>(std::bit_cast<std::uint32_t>(edge) - 64 +
                                     static_cast<std::uint32_t>(below(128)));
        break;
      }
    }
    check(value);
  }
  std::string report;
  for (const std::string& line : mismatches) report += line + '\n';
  EXPECT_TRUE(mismatches.empty()) << report;
  EXPECT_GT(ties, 1000);
  EXPECT_GT(asterisks, OutputCount / 10);
}

}  // namespace
}  // namespace hlext
