// Layout parsing: every layout string a run uses, expanded item by item.
#include "record_io/layout.hpp"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>

#include "extract/statements.hpp"
#include "tests/support/parsed_layout.hpp"

namespace hlext {
namespace {

// The expanded items in layout notation, one per comma: "4X,A4,F12.5,/,'text'".
std::string expanded(const Layout& layout) {
  std::string out;
  for (const LayoutItem& item : layout.items()) {
    if (!out.empty()) out += ',';
    const std::string width = std::to_string(item.width);
    switch (item.kind) {
      case LayoutItemKind::Skip: out += width + "X"; break;
      case LayoutItemKind::Text: out += "A" + width; break;
      case LayoutItemKind::Integer: out += "I" + width; break;
      case LayoutItemKind::Real: out += "F" + width + "." + std::to_string(item.decimals); break;
      case LayoutItemKind::RecordBreak: out += "/"; break;
      case LayoutItemKind::Literal: out += "'" + std::string(item.literal) + "'"; break;
    }
  }
  return out;
}

// `count` copies of `items`, joined by commas.
std::string times(int count, const std::string& items) {
  std::string out = items;
  for (int i = 1; i < count; ++i) out += "," + items;
  return out;
}

struct LayoutCase {
  const char* text;
  std::string items;
  int dataItems;
  int reach;
  int labelColumn;
  const Layout* compiled = nullptr;  // the program's layout of this string, if it has one
};

void PrintTo(const LayoutCase& row, std::ostream* os) { *os << row.text; }

class LayoutParseTest : public ::testing::TestWithParam<LayoutCase> {};

void expectLayout(const Layout& layout, const LayoutCase& row) {
  EXPECT_EQ(layout.text(), row.text);
  EXPECT_EQ(expanded(layout), row.items);
  EXPECT_EQ(layout.dataItemCount(), row.dataItems);
  EXPECT_EQ(layout.reach(), row.reach);
  EXPECT_EQ(layout.labelColumn(), row.labelColumn);
}

TEST_P(LayoutParseTest, ExpandsCountsAndGroups) {
  const LayoutCase& row = GetParam();
  EXPECT_FALSE(layoutFault(row.text));
  {
    SCOPED_TRACE("parsed at run time from a string gone before the checks");
    expectLayout(parsedLayout(std::string(row.text)), row);
  }
  if (row.compiled == nullptr) return;
  SCOPED_TRACE("parsed when compiled");
  expectLayout(*row.compiled, row);
}

using Program = StatementLayouts;

const LayoutCase layoutCases[] = {
    {"(10X,A4,44X,I3)", "10X,A4,44X,I3", 2, 61, 11, &Program::occupiedCount},
    {"(16X,2A4)", "16X,A4,A4", 2, 24, 17, &Program::heading},
    {"(////,5X,6(7X,I5))", "/,/,/,/,5X," + times(6, "7X,I5"), 6, 77, 0, &Program::firstHeader},
    {"(4X,A4,4X,I5,7(7X,I5))", "4X,A4,4X,I5," + times(7, "7X,I5"), 9, 101, 5, &Program::header},
    {"(/,8X,6F12.5,//)", "/,8X," + times(6, "F12.5") + ",/,/", 6, 80, 0, &Program::blockEnergies},
    {"(////,8X,6F12.5,//)", "/,/,/,/,8X," + times(6, "F12.5") + ",/,/", 6, 80, 0,
     &Program::nextBlockEnergies},
    {"(I1,A2,A3,I4,6F12.5)", "I1,A2,A3,I4," + times(6, "F12.5"), 10, 82, 0, &Program::row},
    {"(I5)", "I5", 1, 5, 0, &Program::count},
    {"('Eigenvectors are not found')", "'Eigenvectors are not found'", 0, 26, 0,
     &Program::notFound},
    {"(//,'    E (',I3,' ) = ',F10.5)", "/,/,'    E (',I3,' ) = ',F10.5", 2, 25, 0,
     &Program::energyLine},
    {"(12F10.5)", times(12, "F10.5"), 12, 120, 0, &Program::coefficients},
    // Notation the strings above do not combine, but the grammar allows.
    {"('a,(b)/',I2)", "'a,(b)/',I2", 1, 8, 0},
    {"(2(I1,2(A2)),F3.0)", "I1,A2,A2,I1,A2,A2,F3.0", 7, 13, 0},
    {"(I2/A4//3X)", "I2,/,A4,/,/,3X", 2, 4, 0},
    // Only a four-column text field is a label.
    {"(2X,3X,A3,A4)", "2X,3X,A3,A4", 2, 12, 0},
};

INSTANTIATE_TEST_SUITE_P(Table, LayoutParseTest, ::testing::ValuesIn(layoutCases));

// A malformed layout names where and why, so that Layout::parse<"...">() does not compile.
constexpr bool faultIs(std::string_view text, std::size_t offset, std::string_view why) {
  const LayoutFault fault = layoutFault(text);
  return fault && fault.offset == offset && std::string_view(fault.why) == why;
}

static_assert(faultIs("(I5)X", 4, "text after the closing parenthesis"));
static_assert(faultIs("#I5)", 1, "unexpected character"));
static_assert(faultIs("(F10!5)", 5, "unexpected character"));

}  // namespace
}  // namespace hlext
