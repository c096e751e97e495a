#include "sqlserver/ChangeStatements.h"

#include "sqlserver/DefaultValue.h"

namespace morvane {
namespace {

constexpr std::string_view kCrLf = "\r\n";

std::string joined(const std::vector<std::string>& names, const std::string& separator) {
  std::string out;
  for (const auto& name : names) out += (out.empty() ? "" : separator) + name;
  return out;
}

// N'text' with every quote doubled: any text is safe inside it.
std::string unicodeLiteral(const std::string& text) {
  std::string out = "N'";
  for (const char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

// The column list as the primary key writes it.
std::string columnListSQL(const std::vector<std::string>& columns) {
  std::string script;
  script.append("\t( ").append(kCrLf);
  script.append("\t").append(joined(columns, ",\r\n\t")).append(kCrLf);
  script.append("\t) ON [PRIMARY] ").append(kCrLf);
  return script;
}

}  // namespace

std::string addDefaultSQL(const std::string& table, const NamedDefault& value) {
  std::string script;
  script.append("ALTER TABLE dbo.").append(table).append(" ADD CONSTRAINT ").append(kCrLf);
  script.append("\t").append(value.name).append(" DEFAULT (").append(classifyDefault(value.text).text);
  return script.append(") FOR ").append(value.column).append(kCrLf);
}

std::string inlineDefaultSQL(const NamedDefault& value) {
  return "CONSTRAINT " + value.name + " DEFAULT (" + classifyDefault(value.text).text + ") ";
}

std::string addKeySQL(const std::string& table, const NamedKey& key) {
  std::string script;
  if (key.unique) {
    script.append("ALTER TABLE dbo.").append(table).append(" ADD CONSTRAINT ").append(kCrLf);
    script.append("\t").append(key.name).append(" UNIQUE NONCLUSTERED ").append(kCrLf);
  } else {
    script.append("CREATE NONCLUSTERED INDEX ").append(key.name).append(" ON dbo.").append(table).append(" ");
    script.append(kCrLf);
  }
  return script + columnListSQL(key.columns);
}

std::string addForeignKeySQL(const NamedForeignKey& key) {
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
  static constexpr const char* kProcedures[] = {"sp_addextendedproperty", "sp_updateextendedproperty",
                                                "sp_dropextendedproperty"};
  std::string script = "EXEC sys." + std::string(kProcedures[static_cast<int>(change)]) + " @name = N'MS_Description', ";
  if (change != DescriptionChange::drop) script += "@value = " + unicodeLiteral(description.text) + ", ";
  script += "@level0type = N'SCHEMA', @level0name = N'dbo', @level1type = N'TABLE', @level1name = " + unicodeLiteral(table);
  if (!description.column.empty()) script += ", @level2type = N'COLUMN', @level2name = " + unicodeLiteral(description.column);
  return script.append(kCrLf);
}

}  // namespace morvane
