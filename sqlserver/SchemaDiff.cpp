#include "sqlserver/SchemaDiff.h"

#include <algorithm>

#include "model/FieldReference.h"
#include "model/KeyLabels.h"
#include "model/Text.h"
#include "sqlserver/ColumnKind.h"
#include "sqlserver/ConstraintNames.h"
#include "sqlserver/DefaultValue.h"
#include "sqlserver/SchemaStatements.h"
#include "sqlserver/ServerNames.h"

namespace morvane {
namespace {

std::string joined(const std::vector<std::string>& names, const std::string& separator) {
  std::string out;
  for (const auto& name : names) out += (out.empty() ? "" : separator) + name;
  return out;
}

bool sameNames(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), sameName);
}

bool touches(const std::vector<std::string>& columns, const std::vector<std::string>& touched) {
  return std::any_of(columns.begin(), columns.end(), [&](const std::string& column) {
    return std::any_of(touched.begin(), touched.end(), [&](const std::string& t) { return sameName(t, column); });
  });
}

bool sameKey(const NamedKey& a, const NamedKey& b) { return a.unique == b.unique && sameNames(a.columns, b.columns); }

}  // namespace

bool sameForeignKey(const NamedForeignKey& a, const NamedForeignKey& b) {
  return sameName(a.table, b.table) && sameNames(a.columns, b.columns) && sameName(a.referencedTable, b.referencedTable) &&
         sameNames(a.referencedColumns, b.referencedColumns);
}

bool AttributeDiff::empty() const {
  return droppedDefaults.empty() && addedDefaults.empty() && droppedKeys.empty() && addedKeys.empty() &&
         addedDescriptions.empty() && updatedDescriptions.empty() && droppedDescriptions.empty();
}

TableAttributes documentAttributes(const clsTableInfo& table, const clsSQLServerFieldAttr& types) {
  TableAttributes out;
  const std::string& name = table.getName();
  const auto& fields = table.getFields();
  std::vector<bool> made;
  for (const auto& field : fields) made.push_back(resolveColumnKind(types, field.getAttr()).has_value());
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const DefaultValue value = classifyDefault(fields[i].getDefault());
    // The CREATE script gives a NULL default no constraint: the column takes NULL already.
    if (!made[i] || value.form == DefaultForm::None || value.form == DefaultForm::Null) continue;
    out.defaults.push_back({fields[i].getName(), defaultName(name, fields[i].getName()), value.text});
  }
  auto keysOf = [&](const std::vector<KeyGroup>& groups, bool unique) {
    for (const auto& group : groups) {
      NamedKey key{{}, unique, {}};
      for (const std::size_t i : group.fields) {
        if (made[i]) key.columns.push_back(fields[i].getName());
      }
      // A key with a column left out is left out whole.
      if (key.columns.size() != group.fields.size()) continue;
      key.name = unique ? uniqueKeyName(name, key.columns) : indexName(name, key.columns);
      out.keys.push_back(std::move(key));
    }
  };
  keysOf(uniqueKeysOf(table), true);
  keysOf(indexesOf(table), false);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const auto target = isBlank(fields[i].getReference()) ? std::nullopt : parseReference(fields[i].getReference());
    if (!made[i] || !target) continue;
    out.foreignKeys.push_back({name, foreignKeyName(name, fields[i].getName()), {fields[i].getName()}, target->table,
                               {target->column}});
  }
  if (!isBlank(table.getLogicalName())) out.descriptions.push_back({{}, table.getLogicalName()});
  const bool logicalNames = describedByLogicalNames(table);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const std::string& text = logicalNames ? fields[i].getLogicalName() : fields[i].getRemarks();
    if (made[i] && !isBlank(text)) out.descriptions.push_back({fields[i].getName(), text});
  }
  return out;
}

TableAttributes serverAttributes(const ServerTable& table) {
  TableAttributes out;
  out.fromServer = true;
  for (const auto& column : table.columns) {
    if (column.defaultValue) out.defaults.push_back({column.name, column.defaultName, *column.defaultValue});
  }
  for (const auto& index : table.indexes) {
    // A unique index that is no constraint is an index all the same: dropped with DROP INDEX.
    if (!index.primaryKey) out.keys.push_back({index.name, index.uniqueConstraint, index.columns});
  }
  for (const auto& key : table.foreignKeys) {
    out.foreignKeys.push_back({table.name, key.name, key.columns, key.referencedTable, key.referencedColumns});
  }
  if (!table.description.empty()) out.descriptions.push_back({{}, table.description});
  for (const auto& column : table.columns) {
    if (!column.description.empty()) out.descriptions.push_back({column.name, column.description});
  }
  return out;
}

std::map<std::string, TableAttributes> serverAttributesByTable(const std::vector<ServerTable>& server,
                                                               const std::vector<std::string>& liveNames) {
  std::map<std::string, TableAttributes> out;
  for (std::size_t i = 0; i < server.size() && i < liveNames.size(); ++i) {
    out.try_emplace(liveNames[i], serverAttributes(server[i]));
  }
  return out;
}

AttributeDiff diffAttributes(const TableAttributes& before, const TableAttributes& after,
                             const std::vector<std::string>& touched, const std::vector<std::string>& dropped) {
  AttributeDiff diff;
  for (const auto& old : before.defaults) {
    const auto kept = std::find_if(after.defaults.begin(), after.defaults.end(), [&](const NamedDefault& now) {
      return sameName(now.column, old.column) && defaultKey(now.text) == defaultKey(old.text);
    });
    if (kept == after.defaults.end() || touches({old.column}, touched)) diff.droppedDefaults.push_back(old);
  }
  for (const auto& now : after.defaults) {
    const bool had = std::any_of(before.defaults.begin(), before.defaults.end(), [&](const NamedDefault& old) {
      return sameName(now.column, old.column) && defaultKey(now.text) == defaultKey(old.text);
    });
    if (!had || touches({now.column}, touched)) diff.addedDefaults.push_back(now);
  }
  for (const auto& old : before.keys) {
    const bool kept = std::any_of(after.keys.begin(), after.keys.end(), [&](const NamedKey& now) { return sameKey(now, old); });
    if (!kept || touches(old.columns, touched)) diff.droppedKeys.push_back(old);
  }
  for (const auto& now : after.keys) {
    const bool had = std::any_of(before.keys.begin(), before.keys.end(), [&](const NamedKey& old) { return sameKey(now, old); });
    if (!had || touches(now.columns, touched)) diff.addedKeys.push_back(now);
  }
  for (const auto& old : before.descriptions) {
    const auto now = std::find_if(after.descriptions.begin(), after.descriptions.end(),
                                  [&](const Description& d) { return sameName(d.column, old.column); });
    if (now == after.descriptions.end() || (!old.column.empty() && touches({old.column}, dropped))) {
      diff.droppedDescriptions.push_back(old);
    } else if (now->text != old.text) {
      diff.updatedDescriptions.push_back(*now);
    }
  }
  for (const auto& now : after.descriptions) {
    const bool had = std::any_of(before.descriptions.begin(), before.descriptions.end(), [&](const Description& d) {
      return sameName(d.column, now.column) && !(!d.column.empty() && touches({d.column}, dropped));
    });
    if (!had) diff.addedDescriptions.push_back(now);
  }
  return diff;
}

std::vector<std::string> describeDiff(const TableAttributes& database, const TableAttributes& document) {
  std::vector<std::string> parts;
  const AttributeDiff diff = diffAttributes(database, document, {}, {});
  auto side = [](const char* where, const std::string& what) { return what + "は" + where + "にだけあります"; };
  for (const auto& now : diff.addedDefaults) {
    const auto old = std::find_if(diff.droppedDefaults.begin(), diff.droppedDefaults.end(),
                                  [&](const NamedDefault& d) { return sameName(d.column, now.column); });
    if (old == diff.droppedDefaults.end()) {
      parts.push_back(side("ドキュメント", "列「" + now.column + "」の既定値 (" + now.text + ")"));
    } else {
      parts.push_back("列「" + now.column + "」の既定値はドキュメントでは (" + now.text + ")、データベースでは " + old->text);
    }
  }
  for (const auto& old : diff.droppedDefaults) {
    const bool said = std::any_of(diff.addedDefaults.begin(), diff.addedDefaults.end(),
                                  [&](const NamedDefault& d) { return sameName(d.column, old.column); });
    if (!said) parts.push_back(side("データベース", "列「" + old.column + "」の既定値 " + old.text));
  }
  // The database's side names its object: that is the name it is dropped by.
  auto keyText = [](const NamedKey& key, const std::string& name) {
    return std::string(key.unique ? "一意キー" : "インデックス") + name + " (" + joined(key.columns, ", ") + ")";
  };
  for (const auto& key : diff.addedKeys) parts.push_back(side("ドキュメント", keyText(key, "")));
  for (const auto& key : diff.droppedKeys) parts.push_back(side("データベース", keyText(key, " " + key.name)));
  auto described = [](const Description& d) {
    return (d.column.empty() ? std::string("テーブルの説明") : "列「" + d.column + "」の説明");
  };
  for (const auto& d : diff.addedDescriptions) parts.push_back(side("ドキュメント", described(d) + "「" + d.text + "」"));
  for (const auto& d : diff.droppedDescriptions) parts.push_back(side("データベース", described(d) + "「" + d.text + "」"));
  for (const auto& d : diff.updatedDescriptions) {
    const auto old = std::find_if(database.descriptions.begin(), database.descriptions.end(),
                                  [&](const Description& o) { return sameName(o.column, d.column); });
    parts.push_back(described(d) + "はドキュメントでは「" + d.text + "」、データベースでは「" + old->text + "」");
  }
  auto foreignText = [](const NamedForeignKey& key, const std::string& name) {
    return "外部キー" + name + " (" + joined(key.columns, ", ") + ") → " + key.referencedTable + " (" +
           joined(key.referencedColumns, ", ") + ")";
  };
  for (const auto& key : document.foreignKeys) {
    const bool there = std::any_of(database.foreignKeys.begin(), database.foreignKeys.end(),
                                   [&](const NamedForeignKey& k) { return sameForeignKey(k, key); });
    if (!there) parts.push_back(side("ドキュメント", foreignText(key, "")));
  }
  for (const auto& key : database.foreignKeys) {
    const bool there = std::any_of(document.foreignKeys.begin(), document.foreignKeys.end(),
                                   [&](const NamedForeignKey& k) { return sameForeignKey(k, key); });
    if (!there) parts.push_back(side("データベース", foreignText(key, " " + key.name)));
  }
  return parts;
}

}  // namespace morvane
