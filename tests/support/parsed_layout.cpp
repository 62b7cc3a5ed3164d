#include "tests/support/parsed_layout.hpp"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace hlext {

Layout parsedLayout(std::string_view text) {
  // Every string parsed with its items, kept like the program's own layouts for the rest of
  // the process; a map's keys do not move, so the literals may view them.
  static std::map<std::string, std::vector<LayoutItem>, std::less<>> parsed;
  auto found = parsed.find(text);
  if (found == parsed.end()) {
    found = parsed.emplace(std::string(text), std::vector<LayoutItem>()).first;
    std::vector<LayoutItem>& items = found->second;
    layout_grammar::Parser(std::string_view(found->first), [&items](const LayoutItem& made) {
      items.push_back(made);
    }).parse();
  }
  return Layout(found->first, found->second);
}

}  // namespace hlext
