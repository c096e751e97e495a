#include "sqlserver/ChangeStatements.h"

#include "sqlserver/ConstraintNames.h"
#include "sqlserver/DefaultValue.h"
#include "sqlserver/SchemaStatements.h"

namespace morvane {
namespace {

constexpr std::string_view kCrLf = "\r\n";

std::string joined(const std::vector<std::string>& names, const std::string& separator) {
  std::string out;
  for (const auto& name : names) out += (out.empty() ? "" : separator) + name;
  return out;
}

}  // namespace

std::string addDefaultSQL(const std::string& table, const NamedDefault& value) {
  clsFieldInfo field;
  field.setName(value.column);
  field.setDefault(value.text);
  return defaultConstraintSQL(table, field);
}

std::string inlineDefaultSQL(const NamedDefault& value) {
  return "CONSTRAINT " + value.name + " DEFAULT (" + classifyDefault(value.text).text + ") ";
}

std::string addKeySQL(const std::string& table, const NamedKey& key) {
  return key.unique ? uniqueKeySQL(table, key.columns) : indexSQL(table, key.columns);
}

std::string addForeignKeySQL(const NamedForeignKey& key) {
  if (key.columns.size() == 1 && key.referencedColumns.size() == 1 && key.name == foreignKeyName(key.table, key.columns[0])) {
    return foreignKeySQL(key.table, key.columns[0], {key.referencedTable, key.referencedColumns[0]});
  }
  // A key of several columns, or under another name, made again as the server had it.
  std::string script;
  script.append("ALTER TABLE dbo.").append(key.table).append(" ADD CONSTRAINT ").append(kCrLf);
  script.append("\t").append(key.name).append(" FOREIGN KEY (").append(joined(key.columns, ", "));
  script.append(") REFERENCES dbo.").append(key.referencedTable).append(" (");
  return script.append(joined(key.referencedColumns, ", ")).append(") ").append(kCrLf);
}

std::string dropConstraintSQL(const std::string& table, const std::string& name) {
  return "ALTER TABLE dbo." + table + " DROP CONSTRAINT " + name + " " + std::string(kCrLf);
}

std::string dropIndexSQL(const std::string& table, const std::string& name) {
  return "DROP INDEX " + name + " ON dbo." + table + " " + std::string(kCrLf);
}

std::string descriptionSQL(DescriptionChange change, const std::string& table, const Description& description) {
  if (change == DescriptionChange::add) return descriptionSQL(table, description.column, description.text);
  static constexpr const char* kProcedures[] = {"sp_addextendedproperty", "sp_updateextendedproperty",
                                                "sp_dropextendedproperty"};
  std::string script = "EXEC sys." + std::string(kProcedures[static_cast<int>(change)]) + " @name = N'MS_Description', ";
  if (change != DescriptionChange::drop) script += "@value = " + unicodeLiteral(description.text) + ", ";
  script += "@level0type = N'SCHEMA', @level0name = N'dbo', @level1type = N'TABLE', @level1name = " + unicodeLiteral(table);
  if (!description.column.empty()) script += ", @level2type = N'COLUMN', @level2name = " + unicodeLiteral(description.column);
  return script.append(kCrLf);
}

}  // namespace morvane
