#pragma once
// Tables for the script generator's tests, built in memory.
#include <cstdint>
#include <string>
#include <vector>

#include "model/clsDBInfo.h"

#ifndef EXPECT_HAS
#define EXPECT_HAS(text, part) EXPECT_NE((text).find(part), std::string::npos) << (text)
#endif

namespace morvane::test {

struct FieldRow {
  std::string name, type, size = {};
  bool nullable = false;
  std::string defaultValue = {}, reference = {}, unique = {}, index = {}, remarks = {}, logicalName = {};
  std::int32_t row = 0;  // on its sheet
};

inline clsTableInfo makeTable(const std::string& name, const std::vector<FieldRow>& rows,
                              const std::vector<std::string>& keys = {}) {
  clsTableInfo table;
  table.setName(name);
  for (const auto& row : rows) {
    clsFieldInfo field;
    field.setName(row.name);
    field.setAttr(row.type);
    field.setSize(row.size);
    field.setNull(row.nullable);
    field.setDefault(row.defaultValue);
    field.setReference(row.reference);
    field.setUnique(row.unique);
    field.setIndex(row.index);
    field.setRemarks(row.remarks);
    field.setLogicalName(row.logicalName);
    field.setRow(row.row);
    table.setField(field);
  }
  for (const auto& key : keys) table.sbAddPKey(key);
  return table;
}

// The tables as one model, in the order given.
inline clsDBInfo dbOf(std::vector<clsTableInfo> tables) {
  clsDBInfo db;
  for (auto& table : tables) db.setTable(std::make_shared<const clsTableInfo>(std::move(table)));
  return db;
}

// The Customer table: every kind of line, one undefined notation (text), one key.
inline clsTableInfo customerTable() {
  return makeTable("Customer",
                   {{"CustomerID", "identity", "1,1", false}, {"Name", "varchar", "50", false},
                    {"Rank", "Char ", "2", true}, {"Balance", "decimal", "10,2", true}, {"Memo", "text", "", true},
                    {"Updated", "date", "", true}},
                   {"CustomerID"});
}

// The statement that adds, updates or drops the description of a table or, named, of its column.
inline std::string description(const std::string& verb, const std::string& table, const std::string& value,
                               const std::string& column = "") {
  return "EXEC sys.sp_" + verb + "extendedproperty @name = N'MS_Description', " +
         (value.empty() ? "" : "@value = N'" + value + "', ") +
         "@level0type = N'SCHEMA', @level0name = N'dbo', @level1type = N'TABLE', @level1name = N'" + table + "'" +
         (column.empty() ? "" : ", @level2type = N'COLUMN', @level2name = N'" + column + "'") + "\r\n";
}

// Its script file, byte for byte.
inline const std::string kCustomerScript =
    "BEGIN TRANSACTION \r\nCREATE TABLE dbo.Customer \r\n\t(\r\n\tCustomerID int  NOT NULL  IDENTITY (1,1) ,\r\n"
    "\tName varchar(50)  NOT NULL ,\r\n\tRank char(2)  NULL ,\r\n\tBalance decimal(10,2)  NULL ,\r\n"
    "\tUpdated datetime  NULL \r\n\t) ON [PRIMARY] \r\nALTER TABLE dbo.Customer ADD CONSTRAINT \r\n"
    "\tPK_Customer PRIMARY KEY CLUSTERED \r\n\t( \r\n\tCustomerID\r\n\t) ON [PRIMARY] \r\nCOMMIT \r\n";

}  // namespace morvane::test
