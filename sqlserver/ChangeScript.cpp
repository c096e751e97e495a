#include "sqlserver/ChangeScript.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "model/FileNameClaims.h"
#include "sqlserver/ChangeStatements.h"
#include "sqlserver/ColumnKind.h"
#include "sqlserver/ColumnLoss.h"
#include "sqlserver/DefaultValue.h"
#include "sqlserver/ForeignKeys.h"
#include "sqlserver/ScriptTokens.h"
#include "sqlserver/ServerDrift.h"
#include "sqlserver/ServerNames.h"
#include "sqlserver/StoredColumn.h"
#include "sqlserver/clsSQLServerDB.h"

namespace morvane {
namespace {

constexpr std::string_view kCrLf = "\r\n";

bool contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

bool sameRow(const clsFieldInfo& a, const clsFieldInfo& b) {
  return a.getAttr() == b.getAttr() && a.getSize() == b.getSize() && a.getNull() == b.getNull();
}

std::string statement(const std::string& table, const std::string& rest) {
  return "ALTER TABLE dbo." + table + " " + rest;
}

bool hasName(const std::vector<std::string>& names, const std::string& name) {
  return std::any_of(names.begin(), names.end(), [&](const std::string& other) { return sameName(other, name); });
}

bool touchesAny(const std::vector<std::string>& columns, const std::vector<std::string>& names) {
  return std::any_of(columns.begin(), columns.end(), [&](const std::string& column) { return hasName(names, column); });
}

// The attributes the old revision's table has on the database.
TableAttributes attributesBefore(const clsTableInfo& before, const std::string& oldName, const clsSQLServerFieldAttr& types,
                                 const ChangeOptions& options) {
  const auto live = options.liveAttributes.find(oldName);
  return live != options.liveAttributes.end() ? live->second : documentAttributes(before, types);
}

// Compares one table that both revisions hold and builds its change script.
class TableComparison {
 public:
  TableComparison(clsSQLServerDB& db, const clsSQLServerFieldAttr& types, const ChangeOptions& options)
      : db_(db), types_(types), options_(options) {}

  TableChange compare(const TablePtr& oldTable, const TablePtr& newTable, const TableRenames& renames,
                      std::vector<ReferringKey> referring) {
    referring_ = std::move(referring);
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
    const TableAttributes newAttributes = documentAttributes(after, types_);
    // A column added with its default: NOT NULL then fits a table with rows.
    auto withDefault = [&](const clsFieldInfo& field, const std::string& text) {
      for (const auto& value : newAttributes.defaults) {
        if (value.column == field.getName()) return text + inlineDefaultSQL(value);
      }
      return text;
    };
    auto hasDefault = [&](const clsFieldInfo& field) {
      return std::any_of(newAttributes.defaults.begin(), newAttributes.defaults.end(),
                         [&](const NamedDefault& value) { return value.column == field.getName(); });
    };
    std::vector<std::string> alterLines, addLines;
    for (const auto& field : after.getFields()) {
      const clsFieldInfo* old = before.getField(field.getName());
      const auto text = columnText(field);
      if (!text) return refuse(db_.getFailReason());
      if (text->empty()) {
        // Left out of both scripts alike: nothing to change.
        if (old && sameRow(*old, field)) continue;
        return refuse("列「" + field.getName() + "」は型が未定義のため、変更できません");
      }
      if (!old) {
        change_.added.push_back(field.getName());
        addLines.push_back(statement(after.getName(), withDefault(field, "ADD " + *text)));
        // The server fills an identity column itself, so it adds to a table with rows.
        const auto stored = storedColumn(field, types_);
        if (!field.getNull() && !hasDefault(field) && !(stored && stored->identity)) {
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
        addLines.push_back(statement(after.getName(), withDefault(field, "ADD " + *text)));
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
      if (after.getField(old.getName())) continue;
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

    const TableAttributes oldAttributes = attributesBefore(before, renames.oldName, types_, options_);
    std::vector<std::string> touched = change_.altered;
    touched.insert(touched.end(), change_.dropped.begin(), change_.dropped.end());
    AttributeDiff diff = diffAttributes(oldAttributes, newAttributes, touched, change_.dropped);
    // A kept column keeps what it has; an added column's default came with it.
    std::erase_if(diff.droppedDefaults, [&](const NamedDefault& d) { return hasName(change_.kept, d.column); });
    std::erase_if(diff.droppedKeys, [&](const NamedKey& k) { return touchesAny(k.columns, change_.kept); });
    std::erase_if(diff.droppedDescriptions, [&](const Description& d) { return hasName(change_.kept, d.column); });
    std::erase_if(diff.addedDefaults, [&](const NamedDefault& d) { return hasName(change_.added, d.column); });
    change_.attributeStatements = diff.droppedDefaults.size() + diff.addedDefaults.size() + diff.droppedKeys.size() +
                                  diff.addedKeys.size() + diff.addedDescriptions.size() +
                                  diff.updatedDescriptions.size() + diff.droppedDescriptions.size();

    if (!change_.keyChanged && alterLines.empty() && addLines.empty() && dropLines.empty() &&
        change_.attributeStatements == 0 && renames.empty(after.getName())) {
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
    // What a column dropped or altered has goes first: the server refuses the statement otherwise.
    const std::string& table = after.getName();
    auto dropName = [&](const std::string& name) { return oldAttributes.fromServer ? serverScriptName(name) : name; };
    for (const auto& d : diff.droppedDescriptions) script += descriptionSQL(DescriptionChange::drop, table, d);
    for (const auto& d : diff.droppedDefaults) script += dropConstraintSQL(table, dropName(d.name));
    for (const auto& k : diff.droppedKeys) {
      script += k.unique ? dropConstraintSQL(table, dropName(k.name)) : dropIndexSQL(table, dropName(k.name));
    }
    if (dropKey) line(statement(after.getName(), "DROP CONSTRAINT " + keyName(after, renames.oldName) + " "));
    for (const auto& text : dropLines) line(text);
    for (const auto& text : alterLines) line(text);
    for (const auto& text : addLines) line(text);
    if (addKey) script.append(clsSQLServerDB::makeKeyConstraintSQL(after));
    for (const auto& d : diff.addedDefaults) script += addDefaultSQL(table, d);
    for (const auto& k : diff.addedKeys) script += addKeySQL(table, k);
    for (const auto& d : diff.addedDescriptions) script += descriptionSQL(DescriptionChange::add, table, d);
    for (const auto& d : diff.updatedDescriptions) script += descriptionSQL(DescriptionChange::update, table, d);
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
    const auto statements = rebuildStatements(db_, before, after, renames, referring_);
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
  std::vector<ReferringKey> referring_;  // other tables' foreign keys to this one
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

// A foreign key of the old revision as the database holds it.
struct OldForeignKey {
  NamedForeignKey key;
  bool fromServer = false;
};

std::vector<OldForeignKey> oldForeignKeys(const clsDBInfo& renamed, const clsSQLServerFieldAttr& types,
                                          const ChangeOptions& options) {
  std::vector<OldForeignKey> keys;
  for (const auto& old : renamed.getTables()) {
    const auto attributes = attributesBefore(*old, renamesOf(old->getName(), options.renames).oldName, types, options);
    for (auto key : attributes.foreignKeys) {
      key.table = old->getName();
      keys.push_back({std::move(key), attributes.fromServer});
    }
  }
  return keys;
}

// Other tables' foreign keys to the table: a rebuild drops them and makes them again.
std::vector<ReferringKey> referringKeys(const std::vector<OldForeignKey>& keys, const std::string& table) {
  std::vector<ReferringKey> referring;
  for (const auto& [key, fromServer] : keys) {
    if (!sameName(key.referencedTable, table) || sameName(key.table, table)) continue;
    referring.push_back({fromServer ? serverScriptName(key.name) : key.name, key.table, key.columns, key.referencedColumns});
  }
  return referring;
}

bool writesScript(const TableChange& change) {
  return !change.script.empty() && change.kind != TableChange::Kind::refused;
}

std::vector<std::string> touchedColumns(const TableChange& change) {
  std::vector<std::string> touched = change.altered;
  touched.insert(touched.end(), change.dropped.begin(), change.dropped.end());
  return touched;
}

// Whether the change's script fails while the key stands: it drops or alters a column of the
// key, on either side, or drops the table the key refers to.
bool blocks(const TableChange& change, const NamedForeignKey& key) {
  if (!writesScript(change)) return false;
  if (sameName(change.name, key.table) && touchesAny(key.columns, touchedColumns(change))) return true;
  if (!sameName(change.name, key.referencedTable) || change.rebuilt) return false;
  return change.kind == TableChange::Kind::gone || touchesAny(key.referencedColumns, touchedColumns(change));
}

void insertAtStart(std::string& script, const std::string& statement) {
  constexpr std::string_view kBegin = "BEGIN TRANSACTION \r\n";
  const auto at = script.find(kBegin);
  script.insert(at == std::string::npos ? 0 : at + kBegin.size(), statement);
}

// Drops the keys in the way of the table scripts at the start of the first they block, and adds
// the run's last script: the keys that changed or went dropped, the new ones and those dropped on
// the way that the new revision still has added.
void planForeignKeys(std::vector<TableChange>& changes, const std::vector<OldForeignKey>& oldKeys,
                     const clsSQLServerFieldAttr& types) {
  auto changeOf = [&](const std::string& table) -> const TableChange* {
    for (const auto& change : changes) {
      if (sameName(change.name, table)) return &change;
    }
    return nullptr;
  };
  std::vector<NamedForeignKey> newKeys;
  for (const auto& change : changes) {
    if (!change.table || change.kind == TableChange::Kind::refused) continue;
    for (auto& key : documentAttributes(*change.table, types).foreignKeys) newKeys.push_back(std::move(key));
  }
  TableChange last;
  last.kind = TableChange::Kind::foreignKeys;
  std::string drops, adds;
  std::vector<bool> made(newKeys.size());  // there already, or added
  auto noteNames = [&](const NamedForeignKey& key) {
    auto& names = last.documentNames;
    names.insert(names.end(), {key.table, key.referencedTable});
    names.insert(names.end(), key.columns.begin(), key.columns.end());
    names.insert(names.end(), key.referencedColumns.begin(), key.referencedColumns.end());
  };
  for (const auto& [key, fromServer] : oldKeys) {
    const std::string name = fromServer ? serverScriptName(key.name) : key.name;
    const TableChange* own = changeOf(key.table);
    // A table dropped or made anew takes its own keys with it.
    const bool goneWithTable = own && writesScript(*own) && (own->kind == TableChange::Kind::gone || own->rebuilt);
    bool droppedOnTheWay = goneWithTable;
    for (auto& change : changes) {
      if (goneWithTable || !blocks(change, key)) continue;
      insertAtStart(change.script, dropConstraintSQL(key.table, name));
      if (!fromServer) change.documentNames.insert(change.documentNames.end(), {key.table, name});
      droppedOnTheWay = true;
      break;
    }
    const auto now = std::find_if(newKeys.begin(), newKeys.end(), [&](const NamedForeignKey& k) { return sameForeignKey(k, key); });
    // The new revision speaks of the key's table only when its change was made.
    const bool spoken = own && own->table && own->kind != TableChange::Kind::refused;
    if (now != newKeys.end()) {
      made[now - newKeys.begin()] = !droppedOnTheWay;
    } else if (!spoken && droppedOnTheWay && !goneWithTable) {
      adds += addForeignKeySQL({key.table, name, key.columns, key.referencedTable, key.referencedColumns});
      if (!fromServer) noteNames(key);
      ++last.addedForeignKeys;
    } else if (spoken && !droppedOnTheWay) {
      drops += dropConstraintSQL(key.table, name);
      if (!fromServer) noteNames(key);
      ++last.droppedForeignKeys;
    }
  }
  for (std::size_t i = 0; i < newKeys.size(); ++i) {
    if (made[i]) continue;
    adds += addForeignKeySQL(newKeys[i]);
    noteNames(newKeys[i]);
    ++last.addedForeignKeys;
  }
  if (drops.empty() && adds.empty()) return;
  last.name = std::string(kForeignKeyFileStem);
  auto table = std::make_shared<clsTableInfo>();
  table->setName(last.name);
  last.table = table;
  last.script = "SET XACT_ABORT ON " + std::string(kCrLf) + "BEGIN TRANSACTION " + std::string(kCrLf) + drops + adds + "COMMIT ";
  changes.push_back(std::move(last));
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
  const auto oldKeys = oldForeignKeys(renamed, *notations, options);
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
      changes.push_back(comparison.compare(old->second, table, renamesOf(table->getName(), options.renames),
                                           referringKeys(oldKeys, table->getName())));
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
  planForeignKeys(changes, oldKeys, *notations);
  return changes;
}

std::string changeSummary(const TableChange& change, const ChangeOptions& options) {
  std::string line = "テーブル「" + change.name + "」: ";
  switch (change.kind) {
    case TableChange::Kind::added:
      return line + "新規 (CREATE TABLE)";
    case TableChange::Kind::foreignKeys:
      return "外部キー: " + counted("削除 ", change.droppedForeignKeys) + "、" + counted("追加 ", change.addedForeignKeys);
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
              "、" + counted("削除 ", change.dropped.size()) + (change.keyChanged ? "、主キー変更あり" : "") +
              (change.attributeStatements ? "、" + counted("既定値・一意キー・インデックス・説明の変更 ", change.attributeStatements) : "") + ")";
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
  for (const auto& name : change.documentNames) {
    if (auto unsafe = unsafeScriptName("参照先", name)) return unsafe;
  }
  // A default goes into the script as the cell says it: only the forms the server takes may run.
  for (const auto& field : change.table ? change.table->getFields() : std::vector<clsFieldInfo>{}) {
    if (classifyDefault(field.getDefault()).form == DefaultForm::Invalid) {
      return "列「" + field.getName() + "」の既定値は数値、文字列、NULL、日付と ID の関数のどれでもないため、サーバでは実行しません";
    }
  }
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
