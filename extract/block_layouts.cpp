#include "extract/block_layouts.hpp"

#include "extract/listing_texts.hpp"

namespace hlext {
namespace {

constexpr std::string_view SixColumnWords = "ROOT NO.";
constexpr std::size_t SixColumnWordsAt = 4;
constexpr std::size_t EightColumnWordsAt = 3;

// The column (from 1) where the first orbital number after the header's words ends; 0 when
// there is none.
std::size_t firstNumberEnd(std::string_view text, std::size_t wordsEnd) {
  const std::size_t first = text.find_first_not_of(' ', wordsEnd);
  if (first == std::string_view::npos) return 0;
  const std::size_t blank = text.find(' ', first);
  return blank == std::string_view::npos ? text.size() : blank;
}

bool wordsAt(std::string_view text, std::size_t at, std::string_view words) {
  return at < text.size() && text.find_first_not_of(' ') == at &&
         text.substr(at).starts_with(words);
}

}  // namespace

bool looksLikeBlockHeader(std::string_view text) {
  const std::string_view words = trimmed(text);
  return words.starts_with(SixColumnWords) || words.starts_with(NewLayoutHeader);
}

const BlockLayout* blockLayoutOf(std::string_view text) {
  if (wordsAt(text, SixColumnWordsAt, SixColumnWords)) return &SixColumnLayout;
  if (!wordsAt(text, EightColumnWordsAt, NewLayoutHeader)) return nullptr;
  switch (firstNumberEnd(text, EightColumnWordsAt + NewLayoutHeader.size())) {
    case 16: return &EightColumnLayout;
    case 17: return &EightColumnShiftedLayout;
    case 19: return &EightColumnWideLayout;
    default: return nullptr;
  }
}

}  // namespace hlext
