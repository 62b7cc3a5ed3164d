#include "tests/support/lines.hpp"

namespace hlext::testing {

std::string joinLines(const std::vector<std::string>& lines, std::string_view terminator,
                      bool finalTerminator) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    text += lines[i];
    if (i + 1 < lines.size() || finalTerminator) text += terminator;
  }
  return text;
}

std::vector<std::string> splitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string_view::npos; start = end + 1)
    lines.emplace_back(text.substr(start, end - start));
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

std::string printable(std::string_view text) {
  std::string out;
  for (char c : text)
    out += c == '\r' ? "<CR>" : c == '\t' ? "<TAB>" : c == '\n' ? "<LF>" : std::string(1, c);
  return out;
}

}  // namespace hlext::testing
