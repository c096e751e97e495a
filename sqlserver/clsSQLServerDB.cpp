#include "sqlserver/clsSQLServerDB.h"

#include <array>
#include <exception>
#include <string_view>
#include <utility>

#include "model/Text.h"
#include "platform/files/Files.h"
#include "platform/odbc/Odbc.h"
#include "sqlserver/ColumnKind.h"
#include "sqlserver/SchemaStatements.h"

namespace morvane {
namespace {

constexpr std::string_view kCrLf = "\r\n";

}  // namespace

// Int before Identity and Money before Real: when two kinds share a notation, the earlier wins.
std::optional<ColumnKind> resolveColumnKind(const clsSQLServerFieldAttr& types, std::string_view notation) {
  const std::string key = foldText(trimBlanks(notation), TextFold::LatinToLower);
  const std::array<std::pair<ColumnKind, const std::string*>, 9> order{{
      {ColumnKind::Char, &types.getChar()},
      {ColumnKind::VarChar, &types.getVarChar()},
      {ColumnKind::Int, &types.getInt()},
      {ColumnKind::Identity, &types.getIdentity()},
      {ColumnKind::Date, &types.getDate()},
      {ColumnKind::Money, &types.getMoney()},
      {ColumnKind::Real, &types.getReal()},
      {ColumnKind::Float, &types.getFloat()},
      {ColumnKind::Decimal, &types.getDecimal()},
  }};
  for (const auto& [kind, text] : order) {
    if (foldText(*text, TextFold::LatinToLower) == key) return kind;
  }
  return std::nullopt;
}

clsSQLServerDB::clsSQLServerDB() = default;
clsSQLServerDB::~clsSQLServerDB() = default;

const clsSQLServerFieldAttr& clsSQLServerDB::fieldAttr() {
  if (!fieldAttr_) fieldAttr_ = std::make_shared<clsSQLServerFieldAttr>();
  return *fieldAttr_;
}

std::optional<std::string> clsSQLServerDB::fnMakeFieldSQL(const clsFieldInfo& field) {
  const auto kind = resolveColumnKind(fieldAttr(), field.getAttr());
  if (!kind) {
    errMsg_ = field.getAttr() + "は未定義です";
    undefinedNotations_.push_back(field.getAttr());
    return std::string();
  }
  const std::string& name = field.getName();
  const std::string& size = field.getSize();
  const std::string nullText = field.getNull() ? " NULL " : " NOT NULL ";
  // Seed and increment, or precision and scale: split at the first comma, nothing trimmed.
  auto splitSize = [&]() -> std::optional<std::pair<std::string, std::string>> {
    const auto comma = size.find(',');
    if (comma == std::string::npos) {
      failReason_ = "フィールド「" + name + "」のサイズ「" + size + "」にカンマがありません";
      return std::nullopt;
    }
    return std::pair(size.substr(0, comma), size.substr(comma + 1));
  };
  switch (*kind) {
    case ColumnKind::Char:
      return name + " char(" + size + ") " + nullText;
    case ColumnKind::VarChar:
      return name + " varchar(" + size + ") " + nullText;
    case ColumnKind::Int:
      return name + " int " + nullText;
    case ColumnKind::Identity: {
      const auto parts = splitSize();
      if (!parts) return std::nullopt;
      return name + " int " + nullText + " IDENTITY (" + parts->first + "," + parts->second + ") ";
    }
    case ColumnKind::Date:
      return name + " datetime " + nullText;
    case ColumnKind::Money:
      return name + " money " + nullText;
    case ColumnKind::Real:
      return name + " real " + nullText;
    case ColumnKind::Float:
      return name + " float(" + size + ") " + nullText;
    case ColumnKind::Decimal: {
      const auto parts = splitSize();
      if (!parts) return std::nullopt;
      return name + " decimal(" + parts->first + "," + parts->second + ") " + nullText;
    }
  }
  return std::nullopt;
}

std::optional<std::string> clsSQLServerDB::fnMakeCreateSQL(const clsTableInfo& table) {
  failReason_.clear();
  undefinedNotations_.clear();
  const std::string& name = table.getName();
  std::string columns;
  std::vector<bool> made;  // which fields became columns
  made.reserve(table.getFields().size());
  for (const auto& field : table.getFields()) {
    const auto column = fnMakeFieldSQL(field);
    if (!column) return std::nullopt;
    made.push_back(!column->empty());
    if (column->empty()) continue;
    if (!columns.empty()) columns.append(",").append(kCrLf);
    columns.append("\t").append(*column);
  }
  // CREATE TABLE without a column is not SQL.
  if (columns.empty()) {
    failReason_ = "作成できる列がありません";
    return std::nullopt;
  }
  std::string script;
  script.append("BEGIN TRANSACTION ").append(kCrLf);
  script.append("CREATE TABLE dbo.").append(name).append(" ").append(kCrLf);
  script.append("\t(").append(kCrLf);
  script.append(columns).append(kCrLf);
  script.append("\t) ON [PRIMARY] ").append(kCrLf);
  // Without keys the constraint statement is left out whole: an empty key list is not SQL.
  if (!table.getPrimaryKeys().empty()) script.append(makeKeyConstraintSQL(table));
  script.append(tableCompletionSQL(table, made));
  script.append("COMMIT ");
  return script;
}

std::string clsSQLServerDB::makeKeyConstraintSQL(const clsTableInfo& table) {
  const std::string& name = table.getName();
  std::string script;
  script.append("ALTER TABLE dbo.").append(name).append(" ADD CONSTRAINT ").append(kCrLf);
  script.append("\tPK_").append(name).append(" PRIMARY KEY CLUSTERED ").append(kCrLf);
  script.append("\t( ").append(kCrLf);
  bool first = true;
  for (const auto& key : table.getPrimaryKeys()) {
    if (!first) script.append(",").append(kCrLf);
    script.append("\t").append(key);
    first = false;
  }
  script.append(kCrLf);
  script.append("\t) ON [PRIMARY] ").append(kCrLf);
  return script;
}

std::optional<std::string> clsSQLServerDB::makeColumnSQL(const clsFieldInfo& field) {
  failReason_.clear();
  undefinedNotations_.clear();
  return fnMakeFieldSQL(field);
}

std::optional<std::string> clsSQLServerDB::fnEncodeCreateSQL(const clsTableInfo& objTable,
                                                             const platform::OutputEncoding& encoding) {
  const auto script = fnMakeCreateSQL(objTable);
  if (!script) return std::nullopt;
  try {
    return platform::encodeText(*script + std::string(kCrLf), encoding);
  } catch (const std::exception& error) {  // a character code page 932 cannot hold
    failReason_ = error.what();
    return std::nullopt;
  }
}

bool clsSQLServerDB::fnSaveCreateSQL(const clsTableInfo& objTable, const std::string& strFolder,
                                     const platform::OutputEncoding& encoding) {
  const auto script = fnMakeCreateSQL(objTable);
  if (!script) return false;
  return fnSaveScript(objTable.getName(), *script, strFolder, encoding);
}

bool clsSQLServerDB::fnSaveScript(const std::string& tableName, const std::string& script,
                                  const std::string& strFolder, const platform::OutputEncoding& encoding) {
  // The name becomes a file name: it must not climb out of the chosen folder.
  if (!platform::isSafeFileStem(tableName)) {
    failReason_ = "テーブル名「" + tableName + "」はフォルダ内のファイル名にできません";
    return false;
  }
  try {
    const std::string bytes = platform::encodeFile(script + std::string(kCrLf), encoding);
    platform::replaceFile(platform::joinPath(strFolder, tableName + ".sql"), bytes);
  } catch (const std::exception& error) {  // a character code page 932 cannot hold, or the file
    failReason_ = error.what();
    return false;
  }
  return true;
}

}  // namespace morvane
