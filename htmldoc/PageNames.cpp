#include "htmldoc/PageNames.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

#include "platform/files/Files.h"

namespace morvane::htmldoc {
namespace {

bool isOwnPage(std::string_view name, bool withDiagram) {
  std::string lower(name);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  constexpr std::array<std::string_view, 3> kOwnPages = {"index", "leftframe", "rightframe"};
  return std::find(kOwnPages.begin(), kOwnPages.end(), lower) != kOwnPages.end() ||
         (withDiagram && lower == kDiagramPage);
}

// Empty when the table's page can be written.
std::string refusal(const std::string& name, bool withDiagram) {
  if (!platform::isSafeFileStem(name)) return "テーブル名がフォルダ内のファイル名になりません";
  if (isOwnPage(name, false)) return "テーブル名がドキュメントの index、leftframe、rightframe のページと重なります";
  if (isOwnPage(name, withDiagram)) return "テーブル名がドキュメントの関連図のページ diagram と重なります";
  if (name.size() + std::string_view(".htm").size() > kPageNameMax) return "テーブル名が長すぎてファイル名になりません";
  return {};
}

}  // namespace

PageSelection selectWritablePages(const std::vector<TablePtr>& tables, bool withDiagram) {
  PageSelection selection;
  for (const auto& table : tables) {
    std::string reason = refusal(table->getName(), withDiagram);
    if (reason.empty()) {
      selection.writable.push_back(table);
    } else {
      selection.refused.push_back({table, std::move(reason)});
    }
  }
  return selection;
}

}  // namespace morvane::htmldoc
