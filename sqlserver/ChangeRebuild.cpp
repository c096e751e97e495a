#include "sqlserver/ChangeRebuild.h"

#include "sqlserver/ChangeGuards.h"
#include "sqlserver/ColumnKind.h"
#include "sqlserver/SchemaStatements.h"
#include "sqlserver/StoredColumn.h"
#include "sqlserver/clsSQLServerDB.h"

namespace morvane {
namespace {

constexpr std::string_view kCrLf = "\r\n";

std::string joined(const std::vector<std::string>& names) {
  std::string text;
  for (const auto& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

}  // namespace

std::string rebuildName(const std::string& table) { return "tmp_morvane_" + table; }

std::optional<std::string> rebuildStatements(clsSQLServerDB& db, const clsTableInfo& before, const clsTableInfo& after,
                                             const TableRenames& renames, const std::vector<ReferringKey>& referring) {
  const std::string& name = after.getName();
  const std::string temporary = rebuildName(name);
  clsTableInfo fresh;
  fresh.setName(temporary);
  // Bare columns: the defaults, keys, indexes and descriptions are made after the rename, under
  // the names the table's own CREATE script gives them.
  for (const auto& field : after.getFields()) {
    clsFieldInfo bare;
    bare.setName(field.getName());
    bare.setAttr(field.getAttr());
    bare.setSize(field.getSize());
    bare.setNull(field.getNull());
    bare.setRow(field.getRow());
    fresh.setField(std::move(bare));
  }
  for (const auto& key : after.getPrimaryKeys()) fresh.sbAddPKey(key);
  auto create = db.makeCreateSQL(fresh);
  if (!create) return std::nullopt;
  // The CREATE script without its own transaction.
  const std::string begin = "BEGIN TRANSACTION " + std::string(kCrLf);
  *create = create->substr(begin.size(), create->size() - begin.size() - std::string("COMMIT ").size());

  const clsSQLServerFieldAttr& types = db.fieldTypes();
  std::vector<std::string> into, from;
  std::optional<std::string> identity;
  long long increment = 1;
  std::vector<bool> made;
  for (const auto& field : after.getFields()) {
    const auto column = db.makeColumnSQL(field);
    made.push_back(column && !column->empty());
    if (!made.back()) continue;
    if (resolveColumnKind(types, field.getAttr()) == ColumnKind::Identity) {
      identity = field.getName();
      if (const auto stored = storedColumn(field, types); stored && stored->increment) increment = *stored->increment;
    }
    if (!before.getField(field.getName())) continue;
    into.push_back(field.getName());
    from.push_back(renames.originalColumn(field.getName()));
  }

  std::string script;
  auto line = [&](const std::string& text) { script.append(text).append(kCrLf); };
  for (const auto& key : referring) line("ALTER TABLE dbo." + key.table + " DROP CONSTRAINT " + key.name + ";");
  script.append(*create);
  if (!into.empty()) {
    if (identity) line("SET IDENTITY_INSERT dbo." + temporary + " ON;");
    line("INSERT INTO dbo." + temporary + " (" + joined(into) + ")");
    line("\tSELECT " + joined(from) + " FROM dbo." + renames.oldName + " WITH (TABLOCKX, HOLDLOCK);");
    if (identity) line("SET IDENTITY_INSERT dbo." + temporary + " OFF;");
  }
  if (identity) {
    // Read before the rename: the new table is the one whose columns have the new names.
    line("DECLARE @last int;");
    line("SELECT @last = " + std::string(increment < 0 ? "MIN(" : "MAX(") + *identity + ") FROM dbo." + temporary + ";");
  }
  line("DROP TABLE dbo." + renames.oldName + ";");
  line("EXEC sp_rename " + unicodeLiteral("dbo." + temporary) + ", " + unicodeLiteral(name) + ";");
  if (!after.getPrimaryKeys().empty()) {
    line("EXEC sp_rename " + unicodeLiteral("dbo.PK_" + temporary) + ", " + unicodeLiteral("PK_" + name) +
         ", N'OBJECT';");
  }
  script.append(tableCompletionSQL(after, made));
  // New rows continue after the highest copied value, whatever the seed says.
  if (identity) line("IF @last IS NOT NULL DBCC CHECKIDENT (" + unicodeLiteral("dbo." + name) + ", RESEED, @last);");
  for (const auto& key : referring) {
    line("ALTER TABLE dbo." + key.table + " WITH CHECK ADD CONSTRAINT " + key.name + " FOREIGN KEY (" +
         joined(key.columns) + ") REFERENCES dbo." + name + " (" + joined(key.referencedColumns) + ");");
  }
  return script;
}

}  // namespace morvane
