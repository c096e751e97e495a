#include "sqlserver/DesignCheck.h"

#include <algorithm>
#include <array>
#include <map>
#include <tuple>

#include "model/FieldReference.h"
#include "model/KeyLabels.h"
#include "model/Text.h"
#include "platform/text/Utf8.h"
#include "sqlserver/ColumnKind.h"
#include "sqlserver/DefaultValue.h"

namespace morvane {
namespace {

// SQL Server's reserved keywords, sorted. The scripts never bracket a name, so a name among these
// is read as the keyword and the statement fails. WITHIN GROUP is two words: GROUP covers it.
constexpr std::array<std::string_view, 184> kReservedWords{
    "add", "all", "alter", "and", "any", "as", "asc", "authorization", "backup", "begin", "between", "break",
    "browse", "bulk", "by", "cascade", "case", "check", "checkpoint", "close", "clustered", "coalesce",
    "collate", "column", "commit", "compute", "constraint", "contains", "containstable", "continue",
    "convert", "create", "cross", "current", "current_date", "current_time", "current_timestamp",
    "current_user", "cursor", "database", "dbcc", "deallocate", "declare", "default", "delete", "deny",
    "desc", "disk", "distinct", "distributed", "double", "drop", "dump", "else", "end", "errlvl", "escape",
    "except", "exec", "execute", "exists", "exit", "external", "fetch", "file", "fillfactor", "for",
    "foreign", "freetext", "freetexttable", "from", "full", "function", "goto", "grant", "group", "having",
    "holdlock", "identity", "identity_insert", "identitycol", "if", "in", "index", "inner", "insert",
    "intersect", "into", "is", "join", "key", "kill", "left", "like", "lineno", "load", "merge", "national",
    "nocheck", "nonclustered", "not", "null", "nullif", "of", "off", "offsets", "on", "open",
    "opendatasource", "openquery", "openrowset", "openxml", "option", "or", "order", "outer", "over",
    "percent", "pivot", "plan", "precision", "primary", "print", "proc", "procedure", "public", "raiserror",
    "read", "readtext", "reconfigure", "references", "replication", "restore", "restrict", "return",
    "revert", "revoke", "right", "rollback", "rowcount", "rowguidcol", "rule", "save", "schema",
    "securityaudit", "select", "semantickeyphrasetable", "semanticsimilaritydetailstable",
    "semanticsimilaritytable", "session_user", "set", "setuser", "shutdown", "some", "statistics",
    "system_user", "table", "tablesample", "textsize", "then", "to", "top", "tran", "transaction",
    "trigger", "truncate", "try_convert", "tsequal", "union", "unique", "unpivot", "update", "updatetext",
    "use", "user", "values", "varying", "view", "waitfor", "when", "where", "while", "with", "writetext",
};

constexpr std::size_t kMaxNameLength = 128;  // sysname
constexpr std::string_view kKeyPrefix = "PK_";

// The code points of UTF-8 text; a broken sequence gives U+FFFD for its first byte.
std::vector<char32_t> codePoints(std::string_view text) {
  std::vector<char32_t> out;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    out.push_back(code);
    i += length;
  }
  return out;
}

// Length as SQL Server counts it: UTF-16 code units.
std::size_t serverLength(std::string_view name) {
  std::size_t units = 0;
  for (const char32_t c : codePoints(name)) units += c > 0xFFFF ? 2 : 1;
  return units;
}

bool isDigit(char32_t c) { return (c >= '0' && c <= '9') || (c >= 0xFF10 && c <= 0xFF19); }

// Letters beyond ASCII are every code point outside the punctuation, symbol and control blocks
// that Japanese documents meet; kana, kanji and full-width Latin are letters to the server.
bool isLetter(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  if (c <= 0xBF || c == 0xD7 || c == 0xF7) return false;
  if (c >= 0x2000 && c <= 0x2BFF) return false;                   // punctuation, arrows, shapes, ...
  if (c >= 0x3000 && c <= 0x303F) return c == 0x3005 || c == 0x3006;  // 々 and 〆 only
  if (c == 0x30FB) return false;                                  // ・
  if (c >= 0xE000 && c <= 0xF8FF) return false;                   // private use
  if (c >= 0xFE30 && c <= 0xFE4F) return false;
  if (c >= 0xFF01 && c <= 0xFF65) {
    return (c >= 0xFF21 && c <= 0xFF3A) || (c >= 0xFF41 && c <= 0xFF5A);  // full-width Latin
  }
  if (c >= 0xFFE0 && c <= 0xFFFF) return false;
  if (c >= 0x1F000) return false;                                 // emoji and the like
  return true;
}

std::string utf8(char32_t c) {
  std::string out;
  platform::appendUtf8(out, c);
  return out;
}

// Why a trimmed name is not a regular identifier, or nothing when it is one.
std::optional<std::string> irregularity(std::string_view name) {
  const auto codes = codePoints(name);
  if (codes.empty()) return std::nullopt;
  if (isDigit(codes.front())) return std::string("先頭が数字です");
  if (codes.front() == '@' || codes.front() == '#') {
    return "先頭の「" + utf8(codes.front()) + "」は変数や一時テーブルの印です";
  }
  for (const char32_t c : codes) {
    if (isLetter(c) || isDigit(c) || c == '_' || c == '@' || c == '#' || c == '$') continue;
    if (c == ' ' || c == 0x3000) return std::string("空白が含まれています");
    if (c < 0x20 || c == 0x7F) return std::string("制御文字が含まれています");
    return "記号「" + utf8(c) + "」が含まれています";
  }
  return std::nullopt;
}

// Names compare as the server's default collation does: without regard to case; the blanks
// around an unbracketed name are not part of it.
std::string nameKey(std::string_view name) { return foldText(trimBlanks(name), TextFold::LatinToLower); }

// A whole number of ASCII digits, at most nine of them (no overflow); nothing otherwise.
std::optional<long> unsignedNumber(std::string_view text) {
  const std::string digits = trimBlanks(text);
  if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  return std::stol(digits);
}

std::optional<long> signedInt32(std::string_view text) {
  std::string digits = trimBlanks(text);
  const bool negative = !digits.empty() && digits.front() == '-';
  if (negative) digits.erase(0, 1);
  if (digits.size() > 10) return std::nullopt;
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  const long long value = (negative ? -1 : 1) * std::stoll(digits);
  if (value < -2147483648LL || value > 2147483647LL) return std::nullopt;
  return static_cast<long>(value);
}

// What a size of the kind must look like, for the messages.
std::string sizeForm(ColumnKind kind) {
  switch (kind) {
    case ColumnKind::Char:
      return "1～8000 の長さ";
    case ColumnKind::VarChar:
      return "1～8000 の長さか max";
    case ColumnKind::Float:
      return "1～53 の精度";
    case ColumnKind::Decimal:
      return "「精度,小数部桁数」(精度 1～38、小数部桁数 0～精度。例: 10,2)";
    case ColumnKind::Identity:
      return "「開始値,増分」の 2 つの整数 (増分は 0 以外。例: 1,1)";
    default:
      return "";
  }
}

bool validSize(ColumnKind kind, std::string_view size) {
  const auto comma = size.find(',');
  switch (kind) {
    case ColumnKind::Char:
    case ColumnKind::VarChar: {
      if (kind == ColumnKind::VarChar && nameKey(size) == "max") return true;
      const auto length = unsignedNumber(size);
      return length && *length >= 1 && *length <= 8000;
    }
    case ColumnKind::Float: {
      const auto precision = unsignedNumber(size);
      return precision && *precision >= 1 && *precision <= 53;
    }
    case ColumnKind::Decimal: {
      if (comma == std::string_view::npos) return false;
      const auto precision = unsignedNumber(size.substr(0, comma));
      const auto scale = unsignedNumber(size.substr(comma + 1));
      return precision && scale && *precision >= 1 && *precision <= 38 && *scale <= *precision;
    }
    case ColumnKind::Identity: {
      if (comma == std::string_view::npos) return false;
      const auto increment = signedInt32(size.substr(comma + 1));
      return signedInt32(size.substr(0, comma)) && increment && *increment != 0;
    }
    default:
      return true;
  }
}

class Checker {
 public:
  Checker(const clsSQLServerFieldAttr& notations, const clsExcelDBDocInfo& layout, const clsDBInfo& workbook)
      : notations_(notations), layout_(layout), workbook_(workbook) {}

  void table(const clsTableInfo& table, std::size_t index) {
    table_ = &table;
    index_ = index;
    const std::string& name = table.getName();
    const std::int32_t row = layout_.getRowTableName();
    const std::int32_t column = layout_.getColTableName();
    const auto [earlier, fresh] = tableNames_.try_emplace(nameKey(name), &table);
    if (!fresh) {
      add(row, column, Severity::Error, "duplicate-table", std::nullopt,
          "テーブル名「" + name + "」はシート「" + earlier->second->getSheetName() + "」のテーブル「" +
              earlier->second->getName() + "」と同じです" + caseNote(name, earlier->second->getName()) +
              "。同じファイルとテーブルになるため、別の名前にしてください");
    }
    nameRules(row, column, "テーブル名", name, std::nullopt);
    // The key constraint is named PK_<table>, and its name is bounded too.
    const std::size_t length = serverLength(trimBlanks(name));
    if (length <= kMaxNameLength && !table.getPrimaryKeys().empty() &&
        length + kKeyPrefix.size() > kMaxNameLength) {
      add(row, column, Severity::Error, "name-too-long", std::nullopt,
          "テーブル名「" + name + "」は " + std::to_string(length) + " 文字で、主キー制約の名前 PK_" +
              "に続けると 128 文字を超えます。125 文字以内にしてください");
    }
    if (table.getPrimaryKeys().empty()) {
      add(row, column, Severity::Warning, "no-key", std::nullopt,
          "テーブル「" + name + "」に主キーがありません。スクリプトに主キー制約が入りません。主キーの列に印を付けてください");
    }
    fields();
    uniqueRules();
  }

  // Sheet, table, row, column: where a finding stands in the workbook.
  using Place = std::tuple<std::int32_t, std::size_t, std::int32_t, std::int32_t>;

  std::vector<Finding> sorted() {
    std::stable_sort(findings_.begin(), findings_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Finding> out;
    out.reserve(findings_.size());
    for (auto& placed : findings_) out.push_back(std::move(placed.second));
    return out;
  }

 private:
  void fields() {
    std::map<std::string, const clsFieldInfo*> seen;
    const clsFieldInfo* identity = nullptr;
    std::vector<std::string> keys;
    for (const auto& key : table_->getPrimaryKeys()) keys.push_back(nameKey(key));
    for (const auto& field : table_->getFields()) {
      const std::string& name = field.getName();
      const std::int32_t row = field.getRow();
      const auto [earlier, fresh] = seen.try_emplace(nameKey(name), &field);
      if (!fresh) {
        add(row, layout_.getColFieldName(), Severity::Error, "duplicate-field", name,
            "フィールド名「" + name + "」は " + rowText(earlier->second->getRow()) + " のフィールド「" +
                earlier->second->getName() + "」と同じです" + caseNote(name, earlier->second->getName()) +
                "。別の名前にしてください");
      }
      nameRules(row, layout_.getColFieldName(), "フィールド名", name, name);
      if (field.getNull() && std::find(keys.begin(), keys.end(), nameKey(name)) != keys.end()) {
        add(row, layout_.getColNULL(), Severity::Error, "nullable-key", name,
            "主キーのフィールド「" + name + "」に NULL の印があります。主キーの列は NULL にできないため、NULL の印を消してください");
      }
      if (layout_.getColLogicalName() > 0 && isBlank(field.getLogicalName())) {
        add(row, layout_.getColLogicalName(), Severity::Warning, "logical-name-missing", name,
            "フィールド「" + name + "」に論理名がありません。ドキュメントに名前の意味が出ないため、論理名を入れてください");
      }
      const auto kind = resolveColumnKind(notations_, field.getAttr());
      defaultRules(field, kind);
      referenceRules(field, kind);
      if (!kind) {
        add(row, layout_.getColFieldType(), Severity::Error, "undefined-type", name,
            "型「" + field.getAttr() + "」はどの型表記にも当たらず、この列はスクリプトから抜けます。" + notationList() +
                " のどれかにしてください");
        continue;
      }
      if (*kind == ColumnKind::Identity) {
        if (identity) {
          add(row, layout_.getColFieldType(), Severity::Error, "multiple-identity", name,
              "identity のフィールドは 1 テーブルに 1 つだけです (" + rowText(identity->getRow()) + " の「" +
                  identity->getName() + "」が先にあります)。このフィールドは int などにしてください");
        } else {
          identity = &field;
        }
      }
      sizeRules(field, *kind);
    }
  }

  void sizeRules(const clsFieldInfo& field, ColumnKind kind) {
    const std::string& size = field.getSize();
    const std::string type = trimBlanks(field.getAttr());
    const std::int32_t column = layout_.getColFieldSize();
    if (!takesSize(kind)) {
      if (!isBlank(size)) {
        add(field.getRow(), column, Severity::Warning, "size-ignored", field.getName(),
            "型「" + type + "」にはサイズがなく、サイズ「" + size + "」はスクリプトで使われません。サイズを空にしてください");
      }
      return;
    }
    if (isBlank(size)) {
      add(field.getRow(), column, Severity::Error, "size-required", field.getName(),
          "型「" + type + "」にはサイズが必要です。サイズに " + sizeForm(kind) + " を指定してください");
    } else if (!validSize(kind, size)) {
      add(field.getRow(), column, Severity::Error, "size-invalid", field.getName(),
          "型「" + type + "」にサイズ「" + size + "」は使えません。サイズに " + sizeForm(kind) + " を指定してください");
    }
  }

  void defaultRules(const clsFieldInfo& field, std::optional<ColumnKind> kind) {
    const DefaultValue value = classifyDefault(field.getDefault());
    if (value.form == DefaultForm::None) return;
    const std::string& text = field.getDefault();
    std::string why;
    if (value.form == DefaultForm::Invalid) {
      why = "は既定値の形ではありません。数値、'文字列'、N'文字列'、NULL、GETDATE() などの関数のどれかにしてください";
    } else if (kind == ColumnKind::Identity) {
      why = "は identity のフィールドには指定できません (値はサーバが振ります)。既定値を空にしてください";
    } else if (value.form == DefaultForm::String && kind && isNumberKind(*kind)) {
      why = "は文字列ですが、型「" + trimBlanks(field.getAttr()) + "」は数値です。引用符のない数値にしてください";
    }
    if (!why.empty()) {
      add(field.getRow(), layout_.getColDefault(), Severity::Error, "default-invalid", field.getName(),
          "フィールド「" + field.getName() + "」の既定値「" + text + "」" + why);
    }
  }

  static bool isNumberKind(ColumnKind kind) {
    return kind == ColumnKind::Int || kind == ColumnKind::Identity || kind == ColumnKind::Money ||
           kind == ColumnKind::Real || kind == ColumnKind::Float || kind == ColumnKind::Decimal;
  }

  void referenceRules(const clsFieldInfo& field, std::optional<ColumnKind> kind) {
    const std::string& text = field.getReference();
    if (isBlank(text)) return;
    const std::int32_t row = field.getRow();
    const std::int32_t column = layout_.getColReference();
    const std::string& name = field.getName();
    const auto reference = parseReference(text);
    if (!reference) {
      add(row, column, Severity::Error, "reference-syntax", name,
          "参照先「" + text + "」は「テーブル.列」か「テーブル(列)」の形ではありません。例: 顧客.顧客ID");
      return;
    }
    const std::string target = reference->table + "." + reference->column;
    const clsTableInfo* table = nullptr;
    for (const auto& candidate : workbook_.getTables()) {
      if (nameKey(candidate->getName()) == nameKey(reference->table)) {
        table = candidate.get();
        break;
      }
    }
    const clsFieldInfo* referred = nullptr;
    if (table) {
      for (const auto& candidate : table->getFields()) {
        if (nameKey(candidate.getName()) == nameKey(reference->column)) {
          referred = &candidate;
          break;
        }
      }
    }
    if (!referred) {
      add(row, column, Severity::Error, "reference-unknown", name,
          "参照先「" + text + "」の" + (table ? "列「" + reference->column + "」はテーブル「" + table->getName() + "」"
                                              : "テーブル「" + reference->table + "」はブック") +
              "にありません。ブックにあるテーブルと列を指定してください");
      return;
    }
    if (!isKeyOfItsOwn(*table, nameKey(referred->getName()))) {
      add(row, column, Severity::Error, "reference-not-key", name,
          "参照先「" + target + "」はテーブル「" + table->getName() +
              "」の単独の主キーでも 1 列だけの一意キーでもないため、SQL Server は外部キーを作れません。"
              "主キーか一意キーの列を指定してください");
      return;
    }
    const auto referredKind = resolveColumnKind(notations_, referred->getAttr());
    if (!kind || !referredKind) return;  // the undefined type is reported on its own
    const bool sameKind = baseKind(*kind) == baseKind(*referredKind);
    if (!sameKind || sizeKey(*kind, field.getSize()) != sizeKey(*referredKind, referred->getSize())) {
      add(row, column, Severity::Error, "reference-type", name,
          "フィールド「" + name + "」(" + typeText(field) + ") と参照先「" + target + "」(" + typeText(*referred) +
              ") は" + (sameKind ? "サイズが違います (SQL Server のエラー 1753)" : "型が違います (SQL Server のエラー 1778)") +
              "。参照先と同じ型とサイズにしてください");
    }
  }

  // The referred column is the table's only key column, or alone a unique key.
  static bool isKeyOfItsOwn(const clsTableInfo& table, const std::string& key) {
    const auto& primaryKeys = table.getPrimaryKeys();
    if (primaryKeys.size() == 1 && nameKey(primaryKeys.front()) == key) return true;
    for (const auto& unique : uniqueKeysOf(table)) {
      if (unique.fields.size() == 1 && nameKey(table.getFields()[unique.fields.front()].getName()) == key) return true;
    }
    return false;
  }

  // An identity column holds int values.
  static ColumnKind baseKind(ColumnKind kind) { return kind == ColumnKind::Identity ? ColumnKind::Int : kind; }

  // The part of the size that the column's type keeps; blanks and letter case aside.
  static std::string sizeKey(ColumnKind kind, std::string_view size) {
    if (!takesSize(kind) || kind == ColumnKind::Identity) return {};
    std::string key;
    for (const char c : foldText(size, TextFold::LatinToLower)) {
      if (c != ' ') key += c;
    }
    return trimBlanks(key);
  }

  static std::string typeText(const clsFieldInfo& field) {
    const std::string type = trimBlanks(field.getAttr());
    return isBlank(field.getSize()) ? type : type + " " + trimBlanks(field.getSize());
  }

  // A unique key with a nullable column: SQL Server lets one row only hold NULL there.
  void uniqueRules() {
    const auto& fields = table_->getFields();
    for (const auto& unique : uniqueKeysOf(*table_)) {
      for (const std::size_t position : unique.fields) {
        const clsFieldInfo& field = fields[position];
        if (!field.getNull()) continue;
        add(field.getRow(), layout_.getColUnique(), Severity::Warning, "unique-nullable", field.getName(),
            "一意キー「" + unique.label + "」のフィールド「" + field.getName() +
                "」は NULL を許します。SQL Server の一意キーでは NULL の行は 1 行しか入りません。NOT NULL にするか一意キーから外してください");
      }
    }
  }

  // The rules every table and field name shares.
  void nameRules(std::int32_t row, std::int32_t column, const std::string& what, const std::string& name,
             const std::optional<std::string>& field) {
    const std::string trimmed = trimBlanks(name);
    if (trimmed != name) {
      add(row, column, Severity::Warning, "untrimmed-name", field,
          what + "「" + name + "」の前後に空白があります。ファイル名や主キーの照合に空白が残るため、空白を取ってください");
    }
    const std::size_t length = serverLength(trimmed);
    if (length > kMaxNameLength) {
      add(row, column, Severity::Error, "name-too-long", field,
          what + "「" + name + "」は " + std::to_string(length) + " 文字あります。SQL Server の名前は 128 文字までなので、短くしてください");
    }
    if (isReservedWord(trimmed)) {
      add(row, column, Severity::Warning, "reserved-word", field,
          what + "「" + name + "」は T-SQL の予約語です。スクリプトは名前を [] で囲まないため、サーバが拒否します。別の名前にしてください");
    } else if (const auto why = irregularity(trimmed)) {
      add(row, column, Severity::Warning, "reserved-word", field,
          what + "「" + name + "」は通常の識別子ではありません (" + *why +
              ")。スクリプトは名前を [] で囲まないため、サーバが拒否します。文字で始まり、文字、数字、_ だけの名前にしてください");
    }
  }

  std::string notationList() const {
    const std::array<const std::string*, 9> all{&notations_.getChar(), &notations_.getVarChar(),
                                                &notations_.getIdentity(), &notations_.getInt(),
                                                &notations_.getDate(), &notations_.getReal(),
                                                &notations_.getFloat(), &notations_.getDecimal(),
                                                &notations_.getMoney()};
    std::string list;
    for (const auto* notation : all) list += (list.empty() ? "「" : "、「") + *notation + "」";
    return list;
  }

  static std::string rowText(std::int32_t row) { return row > 0 ? std::to_string(row) + " 行目" : std::string("先"); }

  // Said only when the two names differ, so that the user sees why they count as one.
  static std::string caseNote(const std::string& name, const std::string& earlier) {
    return trimBlanks(name) == trimBlanks(earlier) ? std::string() : std::string(" (大文字小文字は区別されません)");
  }

  void add(std::int32_t row, std::int32_t column, Severity severity, std::string rule,
           const std::optional<std::string>& field, std::string message) {
    Finding finding;
    finding.sheet = table_->getSheetName();
    finding.cell = row > 0 && column > 0 ? columnLetters(column) + std::to_string(row) : std::string();
    finding.severity = severity;
    finding.rule = std::move(rule);
    finding.table = table_->getName();
    finding.field = field;
    finding.message = std::move(message);
    finding.tableIndex = index_;
    findings_.push_back({{table_->getSheetNo(), index_, row, column}, std::move(finding)});
  }

  const clsSQLServerFieldAttr& notations_;
  const clsExcelDBDocInfo& layout_;
  const clsDBInfo& workbook_;
  const clsTableInfo* table_ = nullptr;
  std::size_t index_ = 0;
  std::map<std::string, const clsTableInfo*> tableNames_;
  std::vector<std::pair<Place, Finding>> findings_;
};

}  // namespace

std::string columnLetters(std::int32_t column) {
  std::string letters;
  for (std::int64_t n = column; n > 0; n = (n - 1) / 26) letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
  return letters;
}

bool isReservedWord(std::string_view name) {
  const std::string key = foldText(name, TextFold::LatinToLower);
  return std::binary_search(kReservedWords.begin(), kReservedWords.end(), key);
}

std::vector<Finding> checkDesign(const clsDBInfo& tables, const clsSQLServerFieldAttr& notations,
                                 const clsExcelDBDocInfo& layout) {
  return checkDesign(tables, notations, layout, tables);
}

std::vector<Finding> checkDesign(const clsDBInfo& tables, const clsSQLServerFieldAttr& notations,
                                 const clsExcelDBDocInfo& layout, const clsDBInfo& workbook) {
  Checker checker(notations, layout, workbook);
  const auto& all = tables.getTables();
  for (std::size_t i = 0; i < all.size(); ++i) checker.table(*all[i], i);
  return checker.sorted();
}

FindingCounts countFindings(const std::vector<Finding>& findings) {
  FindingCounts counts;
  for (const auto& finding : findings) ++(finding.severity == Severity::Error ? counts.errors : counts.warnings);
  return counts;
}

std::string_view severityLabel(Severity severity) { return severity == Severity::Error ? "エラー" : "警告"; }

std::string_view severityId(Severity severity) { return severity == Severity::Error ? "error" : "warning"; }

}  // namespace morvane
