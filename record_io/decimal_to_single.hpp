// The exact rounding of a decimal number to a single. It never throws and uses neither the
// locale nor the floating-point environment: the result depends on the digits alone.
#pragma once

#include <cstddef>
#include <string_view>

namespace hlext {

struct SingleValue {
  float value = 0.0F;
  bool ok = false;
};

// The longest digit string decimalToSingle takes: a field holds no more characters than this.
inline constexpr std::size_t MaxSignificantDigits = 128;

// (-1)^negative * digits * 10^exponent, rounded once to the nearest single, ties to even.
// `digits` holds decimal digits only, at most MaxSignificantDigits once leading zeros are
// dropped. A value that rounds to 2^128 or beyond comes back with ok false; one that rounds
// below the least subnormal is a zero with the sign of the number, as is a number without
// nonzero digits.
SingleValue decimalToSingle(bool negative, std::string_view digits, int exponent);

}  // namespace hlext
