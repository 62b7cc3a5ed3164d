#include "extract/listing_texts.hpp"

#include <algorithm>
#include <array>

namespace hlext {
namespace {

constexpr std::array<std::string_view, 2> OpenShellTexts = {"SINGLY OCCUPIED",
                                                            "LEVELS WITH OCCUPANCY"};
constexpr std::string_view IterationWords = "ON ITERATION";

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// `text` begins, after blanks only, with `word` at `at`.
bool beginsWith(std::string_view text, std::size_t at, std::string_view word) {
  return at < text.size() && text.find_first_not_of(' ') == at && text.substr(at).starts_with(word);
}

}  // namespace

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::optional<IntegerText> integerAfterEquals(std::string_view text, std::size_t from) {
  const std::size_t equals = text.find('=', from);
  if (equals == std::string_view::npos) return std::nullopt;
  const std::size_t at = text.find_first_not_of(' ', equals + 1);
  if (at == std::string_view::npos) return std::nullopt;
  std::size_t end = at + (text[at] == '-' || text[at] == '+' ? 1 : 0);
  const std::size_t digits = end;
  while (end < text.size() && isDigit(text[end])) ++end;
  if (end == digits) return std::nullopt;
  return IntegerText{at, end - at};
}

std::optional<std::size_t> countLineAt(std::string_view text) {
  const std::size_t at = text.find(CountLinePhrase);
  if (at == std::string_view::npos || !integerAfterEquals(text, at)) return std::nullopt;
  return at;
}

bool isReadableCountLine(std::string_view fromLabel, int column) {
  const auto at = static_cast<std::size_t>(column - 1);
  if ((at != ListedCountAt && at != LeftCountAt) || countLineAt(fromLabel) != 0U) return false;
  return fromLabel[integerAfterEquals(fromLabel)->at] != '-';
}

bool isOpenShellLine(std::string_view text) {
  return std::any_of(OpenShellTexts.begin(), OpenShellTexts.end(),
                     [&](std::string_view words) { return text.find(words) != text.npos; });
}

std::optional<std::int32_t> iterationOf(std::string_view heading) {
  const std::size_t words = heading.find(IterationWords);
  if (words == std::string_view::npos) return std::nullopt;
  const std::string_view rest = trimmed(heading.substr(words + IterationWords.size()));
  std::int32_t iteration = 0;
  std::size_t at = 0;
  for (; at < rest.size() && isDigit(rest[at]) && iteration < 100000000; ++at)
    iteration = iteration * 10 + (rest[at] - '0');
  if (at == 0) return std::nullopt;
  return iteration;
}

bool isFinalHeading(std::string_view text) { return trimmed(text) == EigenvectorsHeading; }

bool isCountLookAlike(std::string_view text, std::size_t at) {
  return integerAfterEquals(text, at).has_value();
}

bool isHeadingLookAlike(std::string_view text, std::size_t at) {
  return beginsWith(text, at, EigenvectorsHeading);
}

bool isNewLayoutHeaderAt(std::string_view text, std::size_t at) {
  return beginsWith(text, at, NewLayoutHeader);
}

}  // namespace hlext
