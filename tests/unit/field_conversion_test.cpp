// Field conversions in both directions, one table row per case.
#include "record_io/field_conversion.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

#include "tests/support/lines.hpp"

namespace hlext {
namespace {

struct IntegerCase {
  const char* field;
  bool ok;
  std::int32_t value;
};

void PrintTo(const IntegerCase& row, std::ostream* os) {
  *os << '"' << testing::printable(row.field) << '"';
}

class IntegerFieldTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerFieldTest, Converts) {
  const IntegerCase& row = GetParam();
  const IntegerField result = parseIntegerField(row.field);
  EXPECT_EQ(result.ok, row.ok) << '"' << row.field << '"';
  if (row.ok) {
    EXPECT_EQ(result.value, row.value) << '"' << row.field << '"';
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, IntegerFieldTest,
    ::testing::Values(
        IntegerCase{"", true, 0}, IntegerCase{"   ", true, 0}, IntegerCase{"  5", true, 5},
        IntegerCase{"5  ", true, 5}, IntegerCase{" 1 2", true, 12}, IntegerCase{"  -7", true, -7},
        IntegerCase{" +42", true, 42}, IntegerCase{"-0", true, 0},
        IntegerCase{"99999", true, 99999}, IntegerCase{"2147483647", true, 2147483647},
        IntegerCase{"-2147483648", true, std::numeric_limits<std::int32_t>::min()},
        IntegerCase{"2147483648", false, 0}, IntegerCase{"99999999999999999999", false, 0},
        IntegerCase{"    -", false, 0}, IntegerCase{"+", false, 0}, IntegerCase{"0.249", false, 0},
        IntegerCase{"  1.", false, 0}, IntegerCase{"abc", false, 0}, IntegerCase{"1-2", false, 0},
        IntegerCase{"--1", false, 0}, IntegerCase{"+-1", false, 0}, IntegerCase{"\t1", false, 0},
        IntegerCase{"1\r", false, 0}, IntegerCase{"1E2", false, 0}));

struct RealCase {
  const char* field;
  int decimals;
  bool ok;
  float value;
};

// A long field by its ends and length, so that case names stay short.
void PrintTo(const RealCase& row, std::ostream* os) {
  const std::string_view field = row.field;
  if (field.size() <= 24) *os << '"' << testing::printable(field) << "\" F." << row.decimals;
  if (field.size() > 24)
    *os << '"' << field.substr(0, 12) << "..." << field.substr(field.size() - 8) << "\" ("
        << field.size() << " columns)";
}

class RealFieldTest : public ::testing::TestWithParam<RealCase> {};

TEST_P(RealFieldTest, ConvertsToTheNearestSingle) {
  const RealCase& row = GetParam();
  const RealField result = parseRealField(row.field, row.decimals);
  EXPECT_EQ(result.ok, row.ok) << '"' << row.field << '"';
  if (!row.ok) return;
  // Bit equality: the sign of zero and the last bit both count.
  EXPECT_EQ(std::bit_cast<std::uint32_t>(result.value), std::bit_cast<std::uint32_t>(row.value))
      << '"' << row.field << "\" gave " << result.value;
}

constexpr float MinSubnormal = std::numeric_limits<float>::denorm_min();
constexpr float MaxSingle = std::numeric_limits<float>::max();
constexpr float MinNormal = std::numeric_limits<float>::min();

INSTANTIATE_TEST_SUITE_P(
    Table, RealFieldTest,
    ::testing::Values(
        RealCase{"", 5, true, 0.0F}, RealCase{"            ", 5, true, 0.0F},
        RealCase{"   -0.12345", 5, true, -0.12345F}, RealCase{"      -12345", 5, true, -0.12345F},
        RealCase{"12345", 5, true, 0.12345F}, RealCase{"12345E2", 5, true, 12.345F},
        RealCase{"12345D2", 5, true, 12.345F}, RealCase{"1.5e-2", 5, true, 0.015F},
        RealCase{"1.5d+2", 5, true, 150.0F}, RealCase{"1.5+2", 5, true, 150.0F},
        RealCase{"1.5-2", 5, true, 0.015F}, RealCase{" 1 . 5 ", 5, true, 1.5F},
        RealCase{"5.", 5, true, 5.0F}, RealCase{".5", 5, true, 0.5F},
        RealCase{"-.5", 5, true, -0.5F}, RealCase{"+2.25", 5, true, 2.25F},
        RealCase{"-0.00000", 5, true, -0.0F}, RealCase{"-0", 5, true, -0.0F},
        RealCase{"0", 5, true, 0.0F}, RealCase{"   -11.23456", 5, true, -11.23456F},
        RealCase{"9999.99999", 5, true, 10000.0F}, RealCase{"-999.99999", 5, true, -1000.0F},
        // Ties to even: 2^24 + 1 lies halfway between two singles.
        RealCase{"16777217.", 5, true, 16777216.0F}, RealCase{"16777219.", 5, true, 16777220.0F},
        // On both sides of the limits of exact single arithmetic: 2^24 units, a divisor of 10^10.
        RealCase{"   16777216.", 5, true, 16777216.0F},
        RealCase{"   1677721.6", 5, true, 1677721.625F},
        RealCase{"   1677721.7", 5, true, 1677721.75F}, RealCase{"0.0000000001", 5, true, 1e-10F},
        RealCase{"0.00000000001", 5, true, 1e-11F}, RealCase{"      -16777", 0, true, -16777.0F},
        RealCase{"00000000000000000000001.", 5, true, 1.0F},
        RealCase{"  -0.33333333", 5, true, -0.333333333F},
        RealCase{"3.4028235E38", 5, true, MaxSingle},
        RealCase{"1.E-40", 5, true, 9.99994610111476e-41F},
        // Without a point the implied decimals scale the digits before the exponent too.
        RealCase{"1E-40", 5, true, MinSubnormal}, RealCase{"1E39", 5, true, 1e34F},
        RealCase{"1.4E-45", 5, true, MinSubnormal}, RealCase{"1E-50", 5, true, 0.0F},
        RealCase{"-1E-50", 5, true, -0.0F}, RealCase{"1E-999999999999", 5, true, 0.0F},
        RealCase{"0E999999", 5, true, 0.0F}, RealCase{"000000000001", 5, true, 0.00001F},
        // Exact ties written out in full go to the even neighbour: the midpoint from the
        // largest single to 2^128 (so it is too large), half and three halves of the least
        // subnormal, the midpoint of the largest subnormal and the least normal. A nonzero
        // 128th digit breaks a tie upwards, even under the implied divisor 10^173.
        RealCase{"340282356779733661637539395458142568448.", 5, false, 0.0F},
        RealCase{"340282356779733661637539395458142568447.", 5, true, MaxSingle},
        RealCase{"700649232162408535461864791644958065640130970938257885878534141944895541342930300"
                 "743319094181060791015625",
                 150, true, 0.0F},
        RealCase{"700649232162408535461864791644958065640130970938257885878534141944895541342930300"
                 "74331909418106079101562500000000000000000000001",
                 173, true, MinSubnormal},
        RealCase{"-21019476964872256063855943749348741969203929128147736576356024258346866240287909"
                 "02229957282543182373046875",
                 150, true, -2 * MinSubnormal},
        RealCase{"117549428075736429172788299103576651332285899275899042768296311842500306496517303"
                 "85585324256680905818939208984375",
                 150, true, MinNormal},
        RealCase{"16777217."
                 "000000000000000000000000000000000000000000000000000000000000000000000000000000000"
                 "00000000000000000000000000000000000001",
                 5, true, 16777218.0F},
        RealCase{"3.5E38", 5, false, 0.0F}, RealCase{"1.E39", 5, false, 0.0F},
        RealCase{"1E999999999999", 5, false, 0.0F}, RealCase{"-", 5, false, 0.0F},
        RealCase{"+", 5, false, 0.0F}, RealCase{".", 5, false, 0.0F},
        RealCase{"-.", 5, false, 0.0F}, RealCase{"1.2.3", 5, false, 0.0F},
        RealCase{"1.5E", 5, false, 0.0F}, RealCase{"1.5D", 5, false, 0.0F},
        RealCase{"1.5E+", 5, false, 0.0F}, RealCase{"1.5+", 5, false, 0.0F},
        RealCase{"E5", 5, false, 0.0F}, RealCase{"inf", 5, false, 0.0F},
        RealCase{"-INF", 5, false, 0.0F}, RealCase{"nan", 5, false, 0.0F},
        RealCase{"0x1p3", 5, false, 0.0F}, RealCase{"1.0\t", 5, false, 0.0F},
        RealCase{"1.0\r", 5, false, 0.0F}, RealCase{"1.2O3", 5, false, 0.0F}));

struct IntegerOutputCase {
  std::int32_t value;
  int width;
  const char* text;
};

void PrintTo(const IntegerOutputCase& row, std::ostream* os) {
  *os << row.value << " as I" << row.width;
}

class IntegerOutputTest : public ::testing::TestWithParam<IntegerOutputCase> {};

TEST_P(IntegerOutputTest, Writes) {
  std::string out;
  appendIntegerField(out, GetParam().value, GetParam().width);
  EXPECT_EQ(out, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, IntegerOutputTest,
    ::testing::Values(IntegerOutputCase{12, 5, "   12"}, IntegerOutputCase{-7, 5, "   -7"},
                      IntegerOutputCase{123456, 5, "*****"}, IntegerOutputCase{99999, 5, "99999"},
                      IntegerOutputCase{-9999, 5, "-9999"}, IntegerOutputCase{-10000, 5, "*****"},
                      IntegerOutputCase{0, 5, "    0"}, IntegerOutputCase{999, 3, "999"},
                      IntegerOutputCase{1000, 3, "***"},
                      IntegerOutputCase{std::numeric_limits<std::int32_t>::min(), 5, "*****"}));

// F10.5 is checked against printf in conversion_property_test.cpp.
TEST(RealOutputTest, OtherWidthsAndDecimals) {
  std::string out;
  appendRealField(out, 12.345F, 12, 5);
  appendRealField(out, 2.5F, 6, 0);
  appendRealField(out, 1.0F, 3, 2);
  EXPECT_EQ(out, "    12.34500    2.***");
}

// Short fields padded with blanks, every character kept, a long one's last four columns.
class TextFieldTest : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(TextFieldTest, Reads) {
  EXPECT_EQ(view(textFromField(GetParam().first)), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Table, TextFieldTest,
                         ::testing::Values(std::pair{"PX", "PX  "}, std::pair{"", "    "},
                                           std::pair{"R,F\t", "R,F\t"},
                                           std::pair{"ABCDEF", "CDEF"}));

}  // namespace
}  // namespace hlext
