// Conversions between the characters of one fixed-width field and an item value. They never
// throw and never consult the locale; a field that does not convert comes back with ok false.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "record_io/items.hpp"

namespace hlext {

struct IntegerField {
  std::int32_t value = 0;
  bool ok = false;
};

struct RealField {
  float value = 0.0F;
  bool ok = false;
};

// The characters of an Aw field as a 4-character item: short fields are padded with blanks on
// the right, long ones keep their last four characters.
Text4 textFromField(std::string_view field);

// Iw: blanks are ignored; an optional sign and decimal digits; all blanks is 0.
IntegerField parseIntegerField(std::string_view field);

// Fw.d: blanks are ignored; all blanks is 0.0. Without a decimal point the last `decimals`
// digits of the mantissa are the fraction. The decimal value is rounded once to the nearest
// single (ties to even); too large a value is rejected, too small a one becomes a signed zero
// or a subnormal.
RealField parseRealField(std::string_view field, int decimals);

// Iw on output: right-justified, or `width` asterisks when it does not fit.
void appendIntegerField(std::string& out, std::int32_t value, int width);

// Fw.d on output: the exact value rounded to `decimals` places (ties to even), right-justified,
// or `width` asterisks when it does not fit. The minus sign follows the sign bit, so negative
// zero and small negative values print as "-0.00000".
void appendRealField(std::string& out, float value, int width, int decimals);

}  // namespace hlext
