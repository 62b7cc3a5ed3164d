#include "record_io/decimal_to_single.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <compare>
#include <cstdint>

namespace hlext {
namespace {

// The digits are below 10^128 and, for a number that can round to a nonzero single, the power
// of ten that divides them is below 10^174 (578 bits). Scaled against each other for a quotient
// below 2^25, no integer of the rounding reaches 600 bits.
constexpr std::size_t LimbCapacity = 20;

constexpr std::array<std::uint32_t, 10> PowersOfTen = {
    1, 10, 100, 1'000, 10'000, 100'000, 1'000'000, 10'000'000, 100'000'000, 1'000'000'000};
constexpr int DigitsPerLimb = 9;

// A non-negative integer of up to LimbCapacity 32-bit limbs, least significant limb first.
// The top limb in use is never zero and the limbs above it are always zero.
class BigUnsigned {
 public:
  explicit BigUnsigned(std::uint32_t value) {
    if (value != 0) push(value);
  }

  int bitLength() const {
    if (size_ == 0) return 0;
    return static_cast<int>(32 * (size_ - 1)) + static_cast<int>(std::bit_width(limbs_[size_ - 1]));
  }

  // *this = *this * factor + addend
  void multiplyAdd(std::uint32_t factor, std::uint32_t addend) {
    std::uint64_t carry = addend;
    for (std::size_t i = 0; i < size_; ++i) {
      const std::uint64_t product = std::uint64_t{limbs_[i]} * factor + carry;
      limbs_[i] = static_cast<std::uint32_t>(product);
      carry = product >> 32;
    }
    if (carry != 0) push(static_cast<std::uint32_t>(carry));
  }

  void multiplyByPowerOfTen(int power) {
    for (; power >= DigitsPerLimb; power -= DigitsPerLimb) multiplyAdd(PowersOfTen.back(), 0);
    multiplyAdd(PowersOfTen[static_cast<std::size_t>(power)], 0);
  }

  void shiftLeft(int bits) {
    if (size_ == 0) return;
    const auto limbShift = static_cast<std::size_t>(bits / 32);
    const auto bitShift = static_cast<unsigned>(bits % 32);
    assert(size_ + limbShift < LimbCapacity);
    // From the top down, so that every limb is read before anything is written over it.
    limbs_[size_ + limbShift] = 0;
    for (std::size_t i = size_; i-- > 0;) {
      const std::uint64_t wide = std::uint64_t{limbs_[i]} << bitShift;
      limbs_[i + limbShift + 1] |= static_cast<std::uint32_t>(wide >> 32);
      limbs_[i + limbShift] = static_cast<std::uint32_t>(wide);
    }
    std::fill_n(limbs_.begin(), limbShift, 0U);
    size_ += limbShift + 1;
    trim();
  }

  // *this -= other, where other is at most *this.
  void subtract(const BigUnsigned& other) {
    std::uint64_t borrow = 0;
    for (std::size_t i = 0; i < size_; ++i) {
      const std::uint64_t subtrahend = std::uint64_t{other.limbs_[i]} + borrow;
      borrow = limbs_[i] < subtrahend ? 1 : 0;
      limbs_[i] = static_cast<std::uint32_t>(limbs_[i] - subtrahend);
    }
    assert(borrow == 0);
    trim();
  }

  friend std::strong_ordering operator<=>(const BigUnsigned& a, const BigUnsigned& b) {
    if (a.size_ != b.size_) return a.size_ <=> b.size_;
    for (std::size_t i = a.size_; i-- > 0;)
      if (a.limbs_[i] != b.limbs_[i]) return a.limbs_[i] <=> b.limbs_[i];
    return std::strong_ordering::equal;
  }

 private:
  void push(std::uint32_t limb) {
    assert(size_ < LimbCapacity);
    limbs_[size_++] = limb;
  }
  void trim() {
    while (size_ > 0 && limbs_[size_ - 1] == 0) --size_;
  }

  std::array<std::uint32_t, LimbCapacity> limbs_{};
  std::size_t size_ = 0;
};

// The digits of a decimal integer, nine at a time.
BigUnsigned integerFromDigits(std::string_view digits) {
  BigUnsigned value(0);
  while (!digits.empty()) {
    const std::size_t count = std::min<std::size_t>(DigitsPerLimb, digits.size());
    std::uint32_t chunk = 0;
    for (const char c : digits.substr(0, count))
      chunk = chunk * 10 + static_cast<std::uint32_t>(c - '0');
    value.multiplyAdd(PowersOfTen[count], chunk);
    digits.remove_prefix(count);
  }
  return value;
}

// Significant bits of a single, with the hidden bit.
constexpr int MantissaBits = 24;
// The least subnormal is 2^-149: no single has a bit below it.
constexpr int LeastSubnormalShift = 149;
constexpr std::uint32_t SignBit = 0x8000'0000;
constexpr std::uint32_t InfinityBits = 0x7f80'0000;

// n significant digits times 10^exponent lie in [10^(n+exponent-1), 10^(n+exponent)). From
// 10^39 on that is above 2^128; below 10^-46 it is below 2^-150, half the least subnormal, so
// it rounds to zero. Between the two the exact rounding decides.
constexpr long long MaxDecimalOrder = 39;
constexpr long long MinDecimalOrder = -45;

float signedZero(bool negative) { return negative ? -0.0F : 0.0F; }

// floor(numerator * 2^shift / denominator), and the remainder against half the denominator.
struct ScaledQuotient {
  std::uint32_t quotient;
  std::strong_ordering restAgainstHalf;
};

// The quotient must be below 2^25. Bit by bit, as in long division: it has no more bits than
// a single's mantissa and two more.
ScaledQuotient divideScaled(BigUnsigned numerator, BigUnsigned denominator, int shift) {
  constexpr int QuotientBits = MantissaBits + 1;
  if (shift > 0)
    numerator.shiftLeft(shift);
  else
    denominator.shiftLeft(-shift);
  std::uint32_t quotient = 0;
  for (int bit = QuotientBits - 1; bit >= 0; --bit) {
    BigUnsigned part = denominator;
    part.shiftLeft(bit);
    if (numerator >= part) {
      numerator.subtract(part);
      quotient |= std::uint32_t{1} << bit;
    }
  }
  BigUnsigned twiceRest = numerator;
  twiceRest.shiftLeft(1);
  return {quotient, twiceRest <=> denominator};
}

// To nearest, ties to even.
bool roundsUp(const ScaledQuotient& scaled) {
  if (scaled.restAgainstHalf != std::strong_ordering::equal)
    return scaled.restAgainstHalf == std::strong_ordering::greater;
  return (scaled.quotient & 1) != 0;
}

// mantissa * 2^-shift as a single. The mantissa is at most 2^24, and below 2^23 only at the
// subnormal shift.
SingleValue encodeSingle(bool negative, std::uint32_t mantissa, int shift) {
  // A mantissa in [2^23, 2^24) has the biased exponent 150 - shift, and its hidden bit, added
  // at bit 23, supplies one of that. A subnormal mantissa leaves the exponent field 0, and one
  // rounded up to 2^24 (or to 2^23 from below) carries into the field by itself.
  const std::uint64_t magnitude =
      (static_cast<std::uint64_t>(LeastSubnormalShift - shift) << (MantissaBits - 1)) + mantissa;
  if (magnitude >= InfinityBits) return {};
  const auto bits = static_cast<std::uint32_t>(magnitude) | (negative ? SignBit : 0);
  return {std::bit_cast<float>(bits), true};
}

// numerator / denominator rounded once to the nearest single.
SingleValue roundQuotient(bool negative, const BigUnsigned& numerator,
                          const BigUnsigned& denominator) {
  // This shift puts the scaled quotient in [2^23, 2^25); a subnormal keeps no bit below 2^-149.
  int shift =
      std::min(MantissaBits - numerator.bitLength() + denominator.bitLength(), LeastSubnormalShift);
  ScaledQuotient scaled = divideScaled(numerator, denominator, shift);
  if (scaled.quotient >= std::uint32_t{1} << MantissaBits) {
    --shift;
    scaled = divideScaled(numerator, denominator, shift);
  }
  const std::uint32_t mantissa = scaled.quotient + (roundsUp(scaled) ? 1 : 0);
  return encodeSingle(negative, mantissa, shift);
}

}  // namespace

SingleValue decimalToSingle(bool negative, std::string_view digits, int exponent) {
  digits.remove_prefix(std::min(digits.find_first_not_of('0'), digits.size()));
  if (digits.empty()) return {signedZero(negative), true};
  if (digits.size() > MaxSignificantDigits) return {};
  const long long order = static_cast<long long>(digits.size()) + exponent;
  if (order > MaxDecimalOrder) return {};
  if (order < MinDecimalOrder) return {signedZero(negative), true};
  // Within these orders the exponent lies in [-173, 38].
  BigUnsigned numerator = integerFromDigits(digits);
  BigUnsigned denominator(1);
  if (exponent >= 0)
    numerator.multiplyByPowerOfTen(exponent);
  else
    denominator.multiplyByPowerOfTen(-exponent);
  return roundQuotient(negative, numerator, denominator);
}

}  // namespace hlext
