#include "sqlserver/ChangeScript.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "model/FileNameClaims.h"
#include "sqlserver/ColumnKind.h"
#include "sqlserver/ColumnLoss.h"
#include "sqlserver/ScriptTokens.h"
#include "sqlserver/ServerNames.h"
#include "sqlserver/StoredColumn.h"
#include "sqlserver/clsSQLServerDB.h"

namespace morvane {
namespace {

constexpr std::string_view kCrLf = "\r\n";

const clsFieldInfo* findField(const clsTableInfo& table, const std::string& name) {
  for (const auto& field : table.getFields()) {
    if (field.getName() == name) return &field;
  }
  return nullptr;
}

bool contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

bool sameRow(const clsFieldInfo& a, const clsFieldInfo& b) {
  return a.getAttr() == b.getAttr() && a.getSize() == b.getSize() && a.getNull() == b.getNull();
}

std::string statement(const std::string& table, const std::string& rest) {
  return "ALTER TABLE dbo." + table + " " + rest;
}

// Compares one table that both revisions hold and builds its change script.
class TableComparison {
 public:
  TableComparison(clsSQLServerDB& db, const clsSQLServerFieldAttr& types, const ChangeOptions& options)
      : db_(db), types_(types), options_(options) {}

  TableChange compare(const TablePtr& oldTable, const TablePtr& newTable, const TableRenames& renames) {
    change_ = {};
    change_.kind = TableChange::Kind::changed;
    change_.name = newTable->getName();
    change_.table = newTable;
    change_.oldTable = oldTable;
    change_.oldNamesFromServer = options_.oldIsLive;
    const clsTableInfo& before = *oldTable;
    const clsTableInfo& after = *newTable;
    // A sheet emptied of fields would drop the key and every column: refused as a new table is.
    const bool anyColumn = std::any_of(after.getFields().begin(), after.getFields().end(), [&](const clsFieldInfo& f) {
      return resolveColumnKind(types_, f.getAttr()).has_value();
    });
    if (!anyColumn) {
      for (const auto& field : after.getFields()) columnText(field);
      return refuse("作成できる列がありません");
    }
    std::vector<std::string> alterLines, addLines;
    for (const auto& field : after.getFields()) {
      const clsFieldInfo* old = findField(before, field.getName());
      const auto text = columnText(field);
      if (!text) return refuse(db_.getFailReason());
      if (text->empty()) {
        // Left out of both scripts alike: nothing to change.
        if (old && sameRow(*old, field)) continue;
        return refuse("列「" + field.getName() + "」は型が未定義のため、変更できません");
      }
      if (!old) {
        change_.added.push_back(field.getName());
        addLines.push_back(statement(after.getName(), "ADD " + *text));
        if (!field.getNull()) {
          change_.warnings.push_back("テーブル「" + after.getName() + "」: 列「" + field.getName() +
                                     "」は NOT NULL で追加します。行のあるテーブルでは失敗します");
        }
        continue;
      }
      // A server's type is not a word of the document: it is not reported as undefined.
      const auto oldText = columnText(*old, !options_.oldIsLive);
      if (!oldText) return refuse(db_.getFailReason());
      if (oldText->empty() && !options_.oldIsLive) {
        // The old notation was undefined, so its script never made the column.
        change_.added.push_back(field.getName());
        addLines.push_back(statement(after.getName(), "ADD " + *text));
        continue;
      }
      if (sameColumn(*old, field, *oldText, *text)) continue;
      if (isIdentity(*old) || isIdentity(field)) {
        if (!options_.allowRebuild) {
          return refuse("列「" + field.getName() +
                        "」は IDENTITY の付け外しか IDENTITY の列の変更で、ALTER COLUMN ではできません (--allow-rebuild でテーブルを作り直せます)");
        }
        change_.rebuilt = true;
      }
      guardAlter(renames, *old, field);
      change_.altered.push_back(field.getName());
      alterLines.push_back(statement(after.getName(), "ALTER COLUMN " + *text));
      warnIfLossy(after.getName(), *old, field);
    }
    std::vector<std::string> dropLines;
    std::vector<std::string> gone;
    for (const auto& old : before.getFields()) {
      if (findField(after, old.getName())) continue;
      gone.push_back(old.getName());
      if (options_.allowDrop) {
        if (!options_.allowDataLoss) {
          change_.guards.push_back(dropColumnGuard(renames.oldName, renames.originalColumn(old.getName())));
        }
        change_.dropped.push_back(old.getName());
        dropLines.push_back(statement(after.getName(), "DROP COLUMN " + oldName(old.getName()) + " "));
      } else {
        change_.kept.push_back(old.getName());
        change_.warnings.push_back("テーブル「" + after.getName() + "」: 列「" + old.getName() +
                                   "」はなくなりましたが、削除しません");
      }
    }
    noteRenames(before, after, gone);
    // On the server the two are one column: ADD fails, or DROP takes the data with it.
    for (const auto& name : gone) {
      for (const auto& added : change_.added) {
        if (sameName(name, added)) {
          return refuse("列「" + name + "」と「" + added + "」はサーバでは同じ名前のため、削除と追加はできません");
        }
      }
    }

    const auto& oldKeys = before.getPrimaryKeys();
    const auto& newKeys = after.getPrimaryKeys();
    const bool keyFieldTouched = std::any_of(oldKeys.begin(), oldKeys.end(), [&](const std::string& key) {
      return contains(change_.altered, key) || contains(change_.dropped, key);
    });
    const bool dropKey = !oldKeys.empty() && (oldKeys != newKeys || keyFieldTouched);
    const bool addKey = !newKeys.empty() && (dropKey || oldKeys.empty());
    change_.keyChanged = dropKey || addKey;

    if (!change_.keyChanged && alterLines.empty() && addLines.empty() && dropLines.empty() &&
        renames.empty(after.getName())) {
      change_.kind = TableChange::Kind::unchanged;
      return std::move(change_);
    }
    std::string& script = change_.script;
    auto line = [&](const std::string& text) { script.append(text).append(kCrLf); };
    if (renames.oldName != after.getName()) change_.renamedFrom = renames.oldName;
    change_.columnRenames = renames.columns;
    line("SET XACT_ABORT ON ");
    line("BEGIN TRANSACTION ");
    for (const auto& guard : change_.guards) line(guard.statement);
    if (change_.rebuilt) return rebuild(before, after, renames);
    script.append(renameStatements(renames, after.getName(), !oldKeys.empty()));
    if (dropKey) line(statement(after.getName(), "DROP CONSTRAINT " + keyName(after, renames.oldName) + " "));
    for (const auto& text : dropLines) line(text);
    for (const auto& text : alterLines) line(text);
    for (const auto& text : addLines) line(text);
    if (addKey) script.append(clsSQLServerDB::makeKeyConstraintSQL(after));
    script.append("COMMIT ");
    return std::move(change_);
  }

 private:
  std::optional<std::string> columnText(const clsFieldInfo& field, bool noteUndefined = true) {
    auto text = db_.makeColumnSQL(field);
    if (text && text->empty() && noteUndefined) {
      for (const auto& notation : db_.getUndefinedNotations()) {
        if (!contains(change_.undefinedNotations, notation)) change_.undefinedNotations.push_back(notation);
      }
    }
    return text;
  }

  bool sameColumn(const clsFieldInfo& old, const clsFieldInfo& field, const std::string& oldText,
                  const std::string& text) const {
    if (!options_.oldIsLive) return oldText == text;
    const auto stored = storedColumn(field, types_);
    return stored && stored == storedColumn(old, types_);
  }

  // The checks of the rows before a lossy ALTER COLUMN, under the names the server has before the change.
  void guardAlter(const TableRenames& renames, const clsFieldInfo& old, const clsFieldInfo& field) {
    if (options_.allowDataLoss) return;
    auto before = storedColumn(old, types_);
    const auto after = storedColumn(field, types_);
    // A server type the document cannot say (nvarchar, text ...) is another kind, checked value by value.
    if (!before && options_.oldIsLive) before = serverStoredColumn(old);
    if (!before || !after) return;
    for (auto& guard : alterGuards(renames.oldName, renames.originalColumn(field.getName()), *before, *after)) {
      change_.guards.push_back(std::move(guard));
    }
  }

  TableChange rebuild(const clsTableInfo& before, const clsTableInfo& after, const TableRenames& renames) {
    // The new table holds only the new revision's columns: a kept one would be lost.
    if (!change_.kept.empty()) {
      return refuse("列「" + change_.kept.front() + "」を残したままではテーブルを作り直せません (--allow-drop が必要です)");
    }
    std::vector<ReferringKey> referring;
    for (const auto& key : options_.referringKeys) {
      if (key.table != after.getName() && !key.name.empty()) referring.push_back(key);
    }
    const auto statements = rebuildStatements(db_, before, after, renames, referring);
    if (!statements) return refuse(db_.getFailReason());
    change_.script.append(*statements).append("COMMIT ");
    return std::move(change_);
  }

  // A name of the old revision as the script writes it.
  std::string oldName(const std::string& name) const { return options_.oldIsLive ? serverScriptName(name) : name; }

  // The key's name once the renames are made: the server's own name, or the scripts' name, which a
  // table rename carries along (PK_<old> becomes PK_<new>).
  std::string keyName(const clsTableInfo& after, const std::string& oldTable) const {
    const auto found = options_.keyNames.find(oldTable);
    if (found != options_.keyNames.end() && !found->second.empty() && found->second != "PK_" + oldTable) {
      return oldName(found->second);
    }
    return "PK_" + after.getName();
  }

  // The column as stored before: a server's type that the notations cannot say keeps its word.
  std::optional<StoredColumn> storedBefore(const clsFieldInfo& old) const {
    if (auto stored = storedColumn(old, types_)) return stored;
    if (!options_.oldIsLive) return std::nullopt;
    return serverStoredColumn(old);
  }

  void warnIfLossy(const std::string& table, const clsFieldInfo& old, const clsFieldInfo& field) {
    // Without --allow-data-loss the rows are checked first (the summary names the check).
    if (!options_.allowDataLoss) return;
    const auto from = storedBefore(old);
    const auto to = storedColumn(field, types_);
    if (!from || !to || !losesValues(*from, *to)) return;
    change_.warnings.push_back("テーブル「" + table + "」: 列「" + field.getName() + "」を" +
                               (options_.oldIsLive ? "データベースの " : " ") + describeColumn(*from) + " から " +
                               describeColumn(*to) + " に変えると、値が失われるか変更が失敗することがあります");
  }

  bool isIdentity(const clsFieldInfo& field) const {
    return resolveColumnKind(types_, field.getAttr()) == ColumnKind::Identity;
  }

  void noteRenames(const clsTableInfo& before, const clsTableInfo& after, const std::vector<std::string>& gone) {
    change_.renamed = suggestedRenames(before, after, gone, change_.added, types_);
  }

  TableChange refuse(const std::string& reason) {
    change_.kind = TableChange::Kind::refused;
    change_.reason = reason;
    change_.script.clear();
    return std::move(change_);
  }

  clsSQLServerDB& db_;
  const clsSQLServerFieldAttr& types_;
  const ChangeOptions& options_;
  TableChange change_;
};

TableChange addedTable(clsSQLServerDB& db, const TablePtr& table) {
  TableChange change;
  change.kind = TableChange::Kind::added;
  change.name = table->getName();
  change.table = table;
  const auto script = db.makeCreateSQL(*table);
  change.undefinedNotations = db.getUndefinedNotations();
  if (script) {
    change.script = *script;
  } else {
    change.kind = TableChange::Kind::refused;
    change.reason = db.getFailReason();
  }
  return change;
}

TableChange goneTable(const TablePtr& table, const ChangeOptions& options) {
  TableChange change;
  change.kind = TableChange::Kind::gone;
  change.name = table->getName();
  change.oldTable = table;
  change.oldNamesFromServer = options.oldIsLive;
  if (options.allowDrop) {
    const std::string name = options.oldIsLive ? serverScriptName(table->getName()) : table->getName();
    if (!options.allowDataLoss) change.guards.push_back(dropTableGuard(table->getName()));
    change.script = "SET XACT_ABORT ON " + std::string(kCrLf) + "BEGIN TRANSACTION " + std::string(kCrLf);
    for (const auto& guard : change.guards) change.script += guard.statement + std::string(kCrLf);
    change.script += "DROP TABLE dbo." + name + " " + std::string(kCrLf) + "COMMIT ";
  } else {
    change.warnings.push_back("テーブル「" + table->getName() + "」は" +
                              (options.oldIsLive ? "ブック" : "新しいブック") +
                              "にありませんが、削除しません");
  }
  return change;
}

std::string counted(const char* what, std::size_t count) { return what + std::to_string(count); }

}  // namespace

std::vector<TableChange> compareRevisions(const clsDBInfo& oldRevision, const clsDBInfo& newRevision,
                                          const std::shared_ptr<const clsSQLServerFieldAttr>& types,
                                          const ChangeOptions& options) {
  const auto notations = types ? types : std::make_shared<const clsSQLServerFieldAttr>();
  clsSQLServerDB db;
  db.sbSetFieldAttr(notations);
  TableComparison comparison(db, *notations, options);
  const clsDBInfo renamed = renamedRevision(oldRevision, options.renames);
  std::unordered_map<std::string, TablePtr> oldTables;
  std::unordered_map<std::string, const std::string*> oldFolded;
  for (const auto& old : renamed.getTables()) {
    oldTables.try_emplace(old->getName(), old);
    oldFolded.try_emplace(foldName(old->getName()), &old->getName());
  }
  std::vector<TableChange> changes;
  std::unordered_set<std::string> reported, refusedGone;
  for (const auto& table : newRevision.getTables()) {
    const auto old = oldTables.find(table->getName());
    if (old != oldTables.end()) {
      changes.push_back(comparison.compare(old->second, table, renamesOf(table->getName(), options.renames)));
    } else if (const auto same = oldFolded.find(foldName(table->getName())); same != oldFolded.end()) {
      // On the server the new table is the old one: CREATE fails, and the old one would be dropped.
      TableChange refused;
      refused.kind = TableChange::Kind::refused;
      refused.name = table->getName();
      refused.table = table;
      refused.reason = "テーブル「" + *same->second + "」とはサーバでは同じ名前のため、作成と削除はできません";
      refusedGone.insert(*same->second);
      changes.push_back(std::move(refused));
    } else {
      changes.push_back(addedTable(db, table));
    }
    reported.insert(table->getName());
  }
  if (options.includeGone) {
    for (const auto& old : renamed.getTables()) {
      // A name the old revision holds twice is gone once.
      if (!reported.insert(old->getName()).second) continue;
      TableChange gone = goneTable(old, options);
      if (refusedGone.contains(old->getName())) {
        gone.kind = TableChange::Kind::refused;
        gone.script.clear();
        gone.warnings.clear();
        gone.reason = "新しい名前のテーブルとはサーバでは同じ名前のため、削除しません";
      }
      changes.push_back(std::move(gone));
    }
  }
  return changes;
}

std::string changeSummary(const TableChange& change, const ChangeOptions& options) {
  std::string line = "テーブル「" + change.name + "」: ";
  switch (change.kind) {
    case TableChange::Kind::added:
      return line + "新規 (CREATE TABLE)";
    case TableChange::Kind::unchanged:
      line += "変更なし";
      break;
    case TableChange::Kind::gone:
      return line + (options.oldIsLive ? "ブック" : "新しいブック") + "にありません" +
             (change.script.empty() ? " (削除しません)" : " (DROP TABLE)") + guardSummary(change.guards);
    case TableChange::Kind::refused:
      return line + "変更できません: " + change.reason;
    case TableChange::Kind::changed:
      line += std::string("変更 (") + (change.rebuilt ? "テーブルの作り直し、" : "") + counted("列の追加 ", change.added.size()) + "、" + counted("変更 ", change.altered.size()) +
              "、" + counted("削除 ", change.dropped.size()) + (change.keyChanged ? "、主キー変更あり" : "") + ")";
      break;
  }
  if (!change.renamedFrom.empty()) line += "; テーブル名の変更 " + change.renamedFrom + " → " + change.name;
  for (const auto& [from, to] : change.columnRenames) line += "; 列名の変更 " + from + " → " + to;
  line += guardSummary(change.guards);
  for (const auto& [gone, added] : change.renamed) line += "; 列 " + gone + " が消え、列 " + added + " が増えました";
  if (!change.kept.empty()) line += "; 削除しない列 " + std::to_string(change.kept.size());
  return line;
}

namespace {

std::vector<TablePtr> progressTables(const std::vector<TableChange>& changes) {
  std::vector<TablePtr> tables;
  for (const auto& change : changes) tables.push_back(change.table ? change.table : change.oldTable);
  return tables;
}

// The names a change script puts on the server on their own: columns and tables it drops.
std::optional<std::string> unsafeChangeToken(const TableChange& change, const clsSQLServerFieldAttr& types) {
  if (change.table) {
    if (auto unsafe = unsafeScriptToken(*change.table, types)) return unsafe;
  } else if (change.oldNamesFromServer) {
    return std::nullopt;
  } else if (auto unsafe = unsafeScriptName("テーブル名", change.name)) {
    return unsafe;
  }
  if (change.oldNamesFromServer) return std::nullopt;
  for (const auto& field : change.dropped) {
    if (auto unsafe = unsafeScriptName("フィールド名", field)) return unsafe;
  }
  if (!change.renamedFrom.empty()) {
    if (auto unsafe = unsafeScriptName("テーブル名", change.renamedFrom)) return unsafe;
  }
  for (const auto& renamed : change.columnRenames) {
    if (auto unsafe = unsafeScriptName("フィールド名", renamed.first)) return unsafe;
  }
  return std::nullopt;
}

}  // namespace

namespace {

// The failure reason of a script's work, or nothing when it was done.
using ScriptWork = std::function<std::optional<std::string>(const TableChange& change)>;

// A refused change fails with its reason; one without a script is done with nothing to do.
ProgressTally runScripts(const std::vector<TableChange>& changes, ProgressSink& progress, const ChangeReport& report,
                         const ScriptWork& work) {
  std::size_t index = 0;
  return forEachTable(progressTables(changes), progress, [&](const clsTableInfo&) {
    const TableChange& change = changes[index++];
    std::optional<std::string> failure;
    if (change.kind == TableChange::Kind::refused) {
      failure = change.reason;
    } else if (!change.script.empty()) {
      failure = work(change);
    }
    report(change, !failure, failure.value_or(""));
    return !failure;
  });
}

}  // namespace

ProgressTally fnSaveChangeSQLs(clsSQLServerDB& db, const std::vector<TableChange>& changes, const std::string& folder,
                               ProgressSink& progress, const ChangeReport& report,
                               const platform::OutputEncoding& encoding) {
  FileNameClaims claims;
  return runScripts(changes, progress, report, [&](const TableChange& change) -> std::optional<std::string> {
    // A second table of the same file name would silently replace the first's script.
    if (const auto earlier = claims.claim(change.name)) return clsSQLServerDB::sameFileNameReason(change.name, *earlier);
    if (!db.fnSaveScript(change.name, change.script, folder, encoding)) return db.getFailReason();
    return std::nullopt;
  });
}

ProgressTally fnRunChanges(clsSQLServerDB& db, const std::vector<TableChange>& changes, ProgressSink& progress,
                           const ChangeReport& report) {
  return runScripts(changes, progress, report, [&](const TableChange& change) -> std::optional<std::string> {
    // Written scripts keep the cells' text; on a server it would run as written.
    if (auto unsafe = unsafeChangeToken(change, db.fieldTypes())) return unsafe;
    if (!db.fnRunScript(change.script)) return db.getFailReason();
    return std::nullopt;
  });
}

}  // namespace morvane
