#include "sqlserver/ForeignKeys.h"

#include "model/FieldReference.h"
#include "model/Text.h"
#include "platform/text/VisibleText.h"
#include "sqlserver/ColumnKind.h"
#include "sqlserver/ConstraintNames.h"
#include "sqlserver/SchemaStatements.h"

namespace morvane {

const char* const kTableNamesQuery =
    "SELECT TABLE_NAME FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_SCHEMA = 'dbo' AND TABLE_TYPE = 'BASE TABLE'";

bool isForeignKeyFileName(const std::string& tableName) {
  return foldText(tableName, TextFold::LatinToLower) == kForeignKeyFileStem;
}

std::string foreignKeyFileNameReason(const std::string& tableName) {
  return "テーブル名「" + tableName + "」は外部キーのスクリプト " + std::string(kForeignKeyFileStem) +
         ".sql と同じファイル名になるため、書きません";
}

bool hasReferences(const clsDBInfo& selected) {
  for (const auto& table : selected.getTables()) {
    for (const auto& field : table->getFields()) {
      if (!isBlank(field.getReference())) return true;
    }
  }
  return false;
}

std::set<std::string> tablesReferencedOutside(const clsDBInfo& selected) {
  std::set<std::string> names;
  for (const auto& table : selected.getTables()) {
    for (const auto& field : table->getFields()) {
      const auto target = parseReference(field.getReference());
      if (target && !selected.getTable(target->table)) names.insert(target->table);
    }
  }
  return names;
}

ForeignKeyPlan planForeignKeys(const clsDBInfo& selected, const clsSQLServerFieldAttr& types,
                               const std::function<bool(const std::string&)>& made,
                               const std::function<bool(const std::string&)>& exists) {
  ForeignKeyPlan plan;
  for (const auto& table : selected.getTables()) {
    const std::string& name = table->getName();
    std::string statements;
    for (const auto& field : table->getFields()) {
      const std::string& reference = field.getReference();
      if (isBlank(reference) || !resolveColumnKind(types, field.getAttr())) continue;
      const std::string key = foreignKeyName(name, field.getName());
      auto skip = [&](const std::string& why) {
        plan.skipped.push_back("外部キー「" + platform::visibleText(key) + "」を作りません: " + why);
      };
      const auto target = parseReference(reference);
      if (!target) {
        skip("参照先「" + platform::visibleText(reference) + "」が テーブル.フィールド か テーブル(フィールド) の形ではありません");
      } else if (!made(name)) {
        skip("テーブル「" + platform::visibleText(name) + "」を作成できませんでした");
      } else if (selected.getTable(target->table) ? !made(target->table) : !exists(target->table)) {
        skip(selected.getTable(target->table)
                 ? "参照先のテーブル「" + platform::visibleText(target->table) + "」を作成できませんでした"
                 : "参照先のテーブル「" + platform::visibleText(target->table) + "」は選ばれておらず、サーバにもありません");
      } else {
        statements += foreignKeySQL(name, field.getName(), *target);
      }
    }
    if (!statements.empty()) plan.batches.push_back({name, std::move(statements)});
  }
  return plan;
}

std::string foreignKeyScript(std::string_view statements) {
  return "BEGIN TRANSACTION \r\n" + std::string(statements) + "COMMIT ";
}

}  // namespace morvane
