#include "record_io/label_search.hpp"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#include <string_view>

namespace hlext {

namespace {

std::uint32_t wordOf(const char* chars) {
  std::uint32_t word = 0;
  std::memcpy(&word, chars, sizeof word);
  return word;
}

// The first line feed from `begin` on, or null. Blank records are common between the rows of a
// listing; they are told apart without a call.
const char* lineFeedIn(const char* begin, const char* end) {
  if (begin != end && *begin == '\n') return begin;
  return static_cast<const char*>(std::memchr(begin, '\n', static_cast<std::size_t>(end - begin)));
}

// The start of the last line that begins in [line, end) after a line feed, or `line` when
// there is no line feed there: the end of the records held whole from `line` on.
const char* lastLineStart(const char* line, const char* end) {
  const std::string_view held(line, static_cast<std::size_t>(end - line));
  const std::size_t lastLineFeed = held.rfind('\n');
  return lastLineFeed == std::string_view::npos ? line : line + lastLineFeed + 1;
}

// The label of a line held whole (`length` characters, without its line feed) that ends
// within the label's columns, as a walk reads it: a carriage return that ends the line
// belongs to the terminator, and columns beyond the end read blank.
std::uint32_t labelOfShortLine(const char* line, std::size_t length, std::size_t offset) {
  if (length > 0 && line[length - 1] == '\r') --length;
  Text4 label = text4("    ");
  for (std::size_t i = 0; offset + i < length && i < label.size(); ++i) label[i] = line[offset + i];
  return wordOf(label.data());
}

// Letters from the rarest to the most common in the text of listings; any other character is
// taken as more common still.
constexpr std::string_view LettersByRarity = "QZJXKVBYWGPFMUCDLHRSNIOATE";

std::size_t rarity(char c) {
  const char upper = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  return std::min(LettersByRarity.find(upper), LettersByRarity.size());
}

}  // namespace

PhraseFinder::PhraseFinder(std::span<const std::string_view> phrases) : phrases_(phrases) {
  assert(phrases.size() <= MostPhrases);
  for (std::size_t i = 0; i < phrases.size(); ++i) {
    std::size_t& key = keyOffsets_[i];
    for (std::size_t at = 1; at < phrases[i].size(); ++at)
      if (rarity(phrases[i][at]) < rarity(phrases[i][key])) key = at;
  }
}

std::size_t PhraseFinder::in(std::string_view text) const {
  std::size_t first = std::string_view::npos;
  for (std::size_t i = 0; i < phrases_.size(); ++i) {
    if (phrases_[i].empty()) return 0;
    const char key = phrases_[i][keyOffsets_[i]];
    // A key shared with an earlier phrase has been looked for with it.
    bool looked = false;
    for (std::size_t j = 0; j < i; ++j) looked = looked || phrases_[j][keyOffsets_[j]] == key;
    if (!looked) first = std::min(first, inByKey(text, key));
  }
  return first;
}

// The first start of a phrase whose key is `key`.
std::size_t PhraseFinder::inByKey(std::string_view text, char key) const {
  const char* found = text.data();
  const char* const end = text.data() + text.size();
  while ((found = static_cast<const char*>(
              std::memchr(found, key, static_cast<std::size_t>(end - found)))) != nullptr) {
    const auto at = static_cast<std::size_t>(found - text.data());
    for (std::size_t i = 0; i < phrases_.size(); ++i) {
      const std::size_t offset = keyOffsets_[i];
      if (phrases_[i][offset] != key || at < offset) continue;
      if (text.substr(at - offset, phrases_[i].size()) == phrases_[i]) return at - offset;
    }
    ++found;
  }
  return std::string_view::npos;
}

SearchLabel::SearchLabel(std::size_t offset, const Text4& text) : offset_(offset), text_(text) {
  wanted_ = wordOf(text.data());
  std::size_t kept = text.size();
  while (kept > 0 && text[kept - 1] == ' ') --kept;
  // A blank label is read from every line that ends before it, however short.
  shortest_ = kept == 0 ? 0 : offset_ + kept;
  std::size_t first = 0;
  while (first < kept && text[first] == ' ') ++first;
  if (first < kept && text[first] != '\n' && text[first] != '\0') {
    key_ = text[first];
    keyOffset_ = offset_ + first;
  }
}

bool SearchLabel::isIn(const char* line, std::size_t length) const {
  // The line goes on past the label, so a carriage return ending it is not in the label.
  if (length > offset_ + 4) return wordOf(line + offset_) == wanted_;
  if (length < shortest_) return false;
  return labelOfShortLine(line, length, offset_) == wanted_;
}

bool SearchLabel::isInColumns(const char* columns) const {
  return wordOf(columns + offset_) == wanted_;
}

namespace {

// Where a look for a label's key character that found one goes on.
struct KeyLanding {
  const char* lineStart;           // the line the key stands at the key's column of, or null
  const char* next;                // else where the look for the key goes on
  const char* lineFeed = nullptr;  // past the key's column: the line feed of its line, if held
};

KeyLanding landingOf(const SearchLabel& label, const char* line, const char* key, const char* end) {
  const std::size_t before = std::min(label.keyOffset(), static_cast<std::size_t>(key - line));
  const std::string_view lead(key - before, before);
  const std::size_t lineFeed = lead.rfind('\n');
  const char* lineStart = nullptr;
  if (lineFeed != std::string_view::npos)
    lineStart = lead.data() + lineFeed + 1;
  else if (lead.data() == line || lead.data()[-1] == '\n')
    lineStart = lead.data();
  if (lineStart != nullptr) {
    if (static_cast<std::size_t>(key - lineStart) == label.keyOffset()) return {lineStart, nullptr};
    // The key stands before the key's column of its line, which is yet to come.
    return {nullptr,
            lineStart + std::min(static_cast<std::size_t>(end - lineStart), label.keyOffset())};
  }
  // The key stands past the key's column of its line: the next candidate is on a later line.
  const char* next = lineFeedIn(key, end);
  if (next == nullptr) return {nullptr, end};
  return {nullptr, next + std::min(static_cast<std::size_t>(end - next), 1 + label.keyOffset()),
          next};
}

HeldPass passByKey(const SearchLabel& label, const char* begin, const char* end, int most,
                   LabelSightings* sight, long long record) {
  const char* line = begin;
  int passed = 0;
  const char* from = line;  // where the next look for the key starts
  while (true) {
    const char* key = static_cast<const char*>(
        std::memchr(from, label.key(), static_cast<std::size_t>(end - from)));
    const char* lineStart = nullptr;
    if (key != nullptr) {
      const KeyLanding landing = landingOf(label, line, key, end);
      if (landing.lineStart == nullptr) {
        from = landing.next;
        if (sight == nullptr) continue;
        // While a search looks out for its label elsewhere, no key character goes unseen: the
        // rest of a line the key stands past the column of, else the next character on.
        const char* lineFeed = landing.lineFeed;
        sight->lookAtKeys(line, record + passed, key, lineFeed != nullptr ? lineFeed : key + 1,
                          end);
        if (lineFeed != nullptr)
          from = lineFeed + 1;
        else if (from != end)
          from = key + 1;
        continue;
      }
      lineStart = landing.lineStart;
    }
    // Every line from `line` up to the candidate (or every whole line left) is passed over.
    const char* upTo = lineStart != nullptr ? lineStart : lastLineStart(line, end);
    const std::size_t lines = lineFeedsIn(line, upTo);
    if (lines >= static_cast<std::size_t>(most - passed)) return {line, passed};
    passed += static_cast<int>(lines);
    line = upTo;
    if (lineStart == nullptr) return {line, passed};
    const char* lineFeed = lineFeedIn(line, end);
    if (lineFeed == nullptr || label.isIn(line, static_cast<std::size_t>(lineFeed - line)) ||
        passed + 1 == most)
      return {line, passed};
    if (sight != nullptr) sight->lookAtLine(line, lineFeed, record + passed);
    ++passed;
    line = lineFeed + 1;
    from = line;
  }
}

}  // namespace

HeldPass passOverHeld(const SearchLabel& wanted, const char* begin, const char* end, int most,
                      LabelSightings* sightings, long long record) {
  const SearchLabel label = wanted;  // a copy the loops keep in registers across memchr
  HeldPass pass{begin, 0};
  if (label.key() != 0) pass = passByKey(label, begin, end, most, sightings, record);
  const char* line = pass.next;
  int passed = pass.passed;
  for (; passed < most; ++passed) {
    const char* lineFeed = lineFeedIn(line, end);
    if (lineFeed == nullptr || label.isIn(line, static_cast<std::size_t>(lineFeed - line))) break;
    if (sightings != nullptr) sightings->lookAtLine(line, lineFeed, record + passed);
    line = lineFeed + 1;
  }
  return {line, passed};
}

}  // namespace hlext
