// The three kinds of item a statement moves: 4-character text, 32-bit integer, single real.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <variant>

namespace hlext {

using Text4 = std::array<char, 4>;

// A 4-character text from a literal of exactly four characters, e.g. text4("RHF ").
constexpr Text4 text4(const char (&chars)[5]) { return {chars[0], chars[1], chars[2], chars[3]}; }

constexpr std::string_view view(const Text4& text) { return {text.data(), text.size()}; }

// A read statement fills the variables its items point to.
using ReadItem = std::variant<Text4*, std::int32_t*, float*>;

// A write statement takes its items by value.
using WriteItem = std::variant<Text4, std::int32_t, float>;

}  // namespace hlext
