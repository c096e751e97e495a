#include "sqlserver/ScriptTokens.h"

#include <string_view>

#include "model/FieldReference.h"
#include "model/Text.h"
#include "platform/text/VisibleText.h"
#include "sqlserver/ColumnKind.h"
#include "sqlserver/DefaultValue.h"

namespace morvane {
namespace {

// What makes a name more than one token: a statement end, quotes, brackets, a list separator,
// a comment, blanks and control characters.
std::optional<std::string> nameProblem(std::string_view name) {
  for (const std::string_view pair : {"--", "/*", "*/"}) {
    if (name.find(pair) != std::string_view::npos) return "「" + std::string(pair) + "」";
  }
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F) return byte == ' ' ? std::string("空白") : "制御文字";
    if (std::string_view(";'\"`[](){},").find(c) != std::string_view::npos) return "「" + std::string(1, c) + "」";
  }
  return std::nullopt;
}

bool safeSize(std::string_view size) {
  if (foldText(trimBlanks(size), TextFold::LatinToLower) == "max") return true;
  return size.find_first_not_of("0123456789, ") == std::string_view::npos;
}

std::string refusal(const std::string& what, const std::string& text, const std::string& problem) {
  return what + "「" + platform::visibleText(text) + "」に" + problem +
         "が含まれているため、サーバでは実行しません";
}

}  // namespace

std::optional<std::string> unsafeScriptName(const std::string& what, const std::string& name) {
  if (auto problem = nameProblem(name)) return refusal(what, name, *problem);
  return std::nullopt;
}

std::optional<std::string> unsafeScriptToken(const clsTableInfo& table, const clsSQLServerFieldAttr& types) {
  if (auto problem = nameProblem(table.getName())) return refusal("テーブル名", table.getName(), *problem);
  for (const auto& field : table.getFields()) {
    const auto kind = resolveColumnKind(types, field.getAttr());
    if (!kind) continue;  // left out of the script
    if (auto problem = nameProblem(field.getName())) return refusal("フィールド名", field.getName(), *problem);
    if (takesSize(*kind) && !safeSize(field.getSize())) {
      return "フィールド「" + platform::visibleText(field.getName()) + "」のサイズ「" +
             platform::visibleText(field.getSize()) + "」は数字、カンマ、空白か max でないため、サーバでは実行しません";
    }
    // A default goes into the script as written: only the forms a default may take.
    if (classifyDefault(field.getDefault()).form == DefaultForm::Invalid) {
      return "フィールド「" + platform::visibleText(field.getName()) + "」の既定値「" +
             platform::visibleText(field.getDefault()) +
             "」は数値、文字列、NULL、決まった関数のどれでもないため、サーバでは実行しません";
    }
    if (const auto target = parseReference(field.getReference())) {
      if (auto problem = nameProblem(target->table)) return refusal("参照先のテーブル名", target->table, *problem);
      if (auto problem = nameProblem(target->column)) return refusal("参照先のフィールド名", target->column, *problem);
    }
  }
  for (const auto& key : table.getPrimaryKeys()) {
    if (auto problem = nameProblem(key)) return refusal("主キー", key, *problem);
  }
  return std::nullopt;
}

}  // namespace morvane
