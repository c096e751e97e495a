#include "sqlserver/SchemaStatements.h"

#include "model/KeyLabels.h"
#include "model/Text.h"
#include "sqlserver/ConstraintNames.h"
#include "sqlserver/DefaultValue.h"

namespace morvane {
namespace {

constexpr std::string_view kCrLf = "\r\n";

std::string joined(const std::vector<std::string>& names, std::string_view separator) {
  std::string out;
  for (const auto& name : names) {
    if (!out.empty()) out.append(separator);
    out.append(name);
  }
  return out;
}

// The column list as the primary key writes it: "( ", one column a line, ") ON [PRIMARY] ".
std::string columnListSQL(const std::vector<std::string>& columns) {
  std::string script;
  script.append("\t( ").append(kCrLf);
  script.append("\t").append(joined(columns, std::string(",") + std::string(kCrLf) + "\t")).append(kCrLf);
  script.append("\t) ON [PRIMARY] ").append(kCrLf);
  return script;
}

}  // namespace

bool describedByLogicalNames(const clsTableInfo& table) {
  if (!isBlank(table.getLogicalName())) return true;
  for (const auto& field : table.getFields()) {
    if (!isBlank(field.getLogicalName())) return true;
  }
  return false;
}

std::string unicodeLiteral(std::string_view text) {
  std::string out = "N'";
  for (const char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

std::string defaultConstraintSQL(const std::string& table, const clsFieldInfo& field) {
  const DefaultValue value = classifyDefault(field.getDefault());
  // A column without a default takes NULL already: a NULL default would only add an object.
  if (value.form == DefaultForm::None || value.form == DefaultForm::Null) return {};
  const std::string& column = field.getName();
  std::string script;
  script.append("ALTER TABLE dbo.").append(table).append(" ADD CONSTRAINT ").append(kCrLf);
  script.append("\t").append(defaultName(table, column));
  script.append(" DEFAULT (").append(value.text).append(") FOR ").append(column).append(kCrLf);
  return script;
}

std::string uniqueKeySQL(const std::string& table, const std::vector<std::string>& columns) {
  std::string script;
  script.append("ALTER TABLE dbo.").append(table).append(" ADD CONSTRAINT ").append(kCrLf);
  script.append("\t").append(uniqueKeyName(table, columns)).append(" UNIQUE NONCLUSTERED ").append(kCrLf);
  return script + columnListSQL(columns);
}

std::string indexSQL(const std::string& table, const std::vector<std::string>& columns) {
  std::string script;
  script.append("CREATE NONCLUSTERED INDEX ").append(indexName(table, columns));
  script.append(" ON dbo.").append(table).append(" ").append(kCrLf);
  return script + columnListSQL(columns);
}

std::string descriptionSQL(const std::string& table, const std::string& column, const std::string& text) {
  std::string script = "EXEC sys.sp_addextendedproperty @name = N'MS_Description', @value = " + unicodeLiteral(text) +
                       ", @level0type = N'SCHEMA', @level0name = N'dbo', @level1type = N'TABLE', @level1name = " +
                       unicodeLiteral(table);
  if (!column.empty()) script += ", @level2type = N'COLUMN', @level2name = " + unicodeLiteral(column);
  return script.append(kCrLf);
}

std::string foreignKeySQL(const std::string& table, const std::string& column, const FieldReference& target) {
  std::string script;
  script.append("ALTER TABLE dbo.").append(table).append(" ADD CONSTRAINT ").append(kCrLf);
  script.append("\t").append(foreignKeyName(table, column)).append(" FOREIGN KEY (").append(column);
  script.append(") REFERENCES dbo.").append(target.table).append(" (").append(target.column).append(") ").append(kCrLf);
  return script;
}

std::string tableCompletionSQL(const clsTableInfo& table, const std::vector<bool>& made) {
  const std::string& name = table.getName();
  const auto& fields = table.getFields();
  std::string script;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (made[i]) script += defaultConstraintSQL(name, fields[i]);
  }
  // Columns of a key or index, or nothing when one of them was left out of the table.
  auto columnsOf = [&](const KeyGroup& group) {
    std::vector<std::string> columns;
    for (const std::size_t i : group.fields) {
      if (!made[i]) return std::vector<std::string>();
      columns.push_back(fields[i].getName());
    }
    return columns;
  };
  for (const auto& key : uniqueKeysOf(table)) {
    if (const auto columns = columnsOf(key); !columns.empty()) script += uniqueKeySQL(name, columns);
  }
  for (const auto& index : indexesOf(table)) {
    if (const auto columns = columnsOf(index); !columns.empty()) script += indexSQL(name, columns);
  }
  if (!isBlank(table.getLogicalName())) script += descriptionSQL(name, {}, table.getLogicalName());
  const bool logicalNames = describedByLogicalNames(table);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const std::string& text = logicalNames ? fields[i].getLogicalName() : fields[i].getRemarks();
    if (made[i] && !isBlank(text)) script += descriptionSQL(name, fields[i].getName(), text);
  }
  return script;
}

}  // namespace morvane
