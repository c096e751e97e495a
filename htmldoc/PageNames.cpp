#include "htmldoc/PageNames.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

#include "platform/files/Files.h"

namespace morvane::htmldoc {
namespace {

bool isOwnPage(std::string_view name) {
  std::string lower(name);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  constexpr std::array<std::string_view, 3> kOwnPages = {"index", "leftframe", "rightframe"};
  return std::find(kOwnPages.begin(), kOwnPages.end(), lower) != kOwnPages.end();
}

// Empty when the table's page can be written.
std::string refusal(const std::string& name) {
  if (!platform::isSafeFileStem(name)) return "テーブル名がフォルダ内のファイル名になりません";
  if (isOwnPage(name)) return "テーブル名がドキュメントの index、leftframe、rightframe のページと重なります";
  if (name.size() + std::string_view(".htm").size() > kPageNameMax) return "テーブル名が長すぎてファイル名になりません";
  return {};
}

}  // namespace

PageSelection selectWritablePages(const std::vector<TablePtr>& tables) {
  PageSelection selection;
  for (const auto& table : tables) {
    std::string reason = refusal(table->getName());
    if (reason.empty()) {
      selection.writable.push_back(table);
    } else {
      selection.refused.push_back({table, std::move(reason)});
    }
  }
  return selection;
}

}  // namespace morvane::htmldoc
