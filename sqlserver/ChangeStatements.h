#pragma once
// The statements a change script adds and drops a table's attributes with, lines ending in CR LF.
// What is added comes from the CREATE script's builders; what is dropped goes by the name it
// has. Names go in as given: a caller brackets the ones a server reported.
#include <string>

#include "sqlserver/SchemaDiff.h"

namespace morvane {

std::string addDefaultSQL(const std::string& table, const NamedDefault& value);
// "CONSTRAINT DF_T_c DEFAULT (x) ": the default of a column added with it, so that a NOT NULL
// column can be added to a table with rows.
std::string inlineDefaultSQL(const NamedDefault& value);
std::string addKeySQL(const std::string& table, const NamedKey& key);
std::string addForeignKeySQL(const NamedForeignKey& key);
// ALTER TABLE ... DROP CONSTRAINT for a default, unique key or foreign key; DROP INDEX for an index.
std::string dropConstraintSQL(const std::string& table, const std::string& name);
std::string dropIndexSQL(const std::string& table, const std::string& name);
// sys.sp_addextendedproperty, sp_updateextendedproperty or sp_dropextendedproperty of
// MS_Description on the table, or on its column when the description names one.
enum class DescriptionChange { add, update, drop };
std::string descriptionSQL(DescriptionChange change, const std::string& table, const Description& description);

}  // namespace morvane
