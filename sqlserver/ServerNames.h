#pragma once
// Names as SQL Server's usual collation sees them, and names from a server written into a script.
#include <string>
#include <string_view>
#include <unordered_map>

namespace morvane {

// The name folded as a case-, width- and kana-insensitive collation compares it: Unicode simple
// case folding, full- and half-width forms to their usual width, hiragana to katakana. Two names
// with the same fold are one object on such a server.
std::string foldName(std::string_view name);
bool sameName(std::string_view a, std::string_view b);

// Items by their names as the server compares them, each name folded once; the first item of a
// name wins. Item is const for a const range.
template <typename Item>
class FoldedIndex {
 public:
  template <typename Range, typename NameOf>
  FoldedIndex(Range& items, NameOf nameOf) {
    for (Item& item : items) index_.try_emplace(foldName(nameOf(item)), &item);
  }
  Item* find(std::string_view name) const {
    const auto at = index_.find(foldName(name));
    return at == index_.end() ? nullptr : at->second;
  }

 private:
  std::unordered_map<std::string, Item*> index_;
};

// What the fold module (ICU) gives: Unicode simple case folding of one code point.
struct FoldModule {
  char32_t (*foldCase)(char32_t code);
};

// A name the server gave, as a script writes it: as it is when it is one plain token, else in
// brackets with "]" doubled, so that it can neither end the statement nor name another schema.
std::string serverScriptName(const std::string& name);

}  // namespace morvane
