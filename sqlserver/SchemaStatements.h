#pragma once
// The statements that complete a table after its primary key (defaults, unique keys, indexes,
// descriptions) and its foreign keys, each as the CREATE script writes it: lines end in CR LF,
// names go in as held. One builder per statement, so a change script can add them one by one.
#include <string>
#include <string_view>
#include <vector>

#include "model/FieldReference.h"
#include "model/clsTableInfo.h"

namespace morvane {

// N'text' with every quote doubled: any text is safe inside it.
std::string unicodeLiteral(std::string_view text);

// ALTER TABLE dbo.T ADD CONSTRAINT DF_T_c DEFAULT (expr) FOR c; empty when the field has no
// default or NULL. expr is the cell's text without the blanks and parentheses around it.
std::string defaultConstraintSQL(const std::string& table, const clsFieldInfo& field);
// ALTER TABLE dbo.T ADD CONSTRAINT UQ_T_a_b UNIQUE NONCLUSTERED (a, b) ON [PRIMARY]
std::string uniqueKeySQL(const std::string& table, const std::vector<std::string>& columns);
// CREATE NONCLUSTERED INDEX IX_T_a_b ON dbo.T (a, b) ON [PRIMARY]
std::string indexSQL(const std::string& table, const std::vector<std::string>& columns);
// EXEC sys.sp_addextendedproperty for MS_Description of the table, or of its column when column
// is not empty.
std::string descriptionSQL(const std::string& table, const std::string& column, const std::string& text);
// ALTER TABLE dbo.T ADD CONSTRAINT FK_T_c FOREIGN KEY (c) REFERENCES dbo.R (k)
std::string foreignKeySQL(const std::string& table, const std::string& column, const FieldReference& target);

// Whether the fields' descriptions are their logical names: the table or a field has one. When
// none has (the layout has no logical-name column), the remarks take their place.
bool describedByLogicalNames(const clsTableInfo& table);

// Every statement above but the foreign keys, for the fields that became columns (made[i] for
// the table's field i), in the order defaults, unique keys, indexes, descriptions. A key or index
// with a column left out is left out whole. Empty for a table with none of them.
std::string tableCompletionSQL(const clsTableInfo& table, const std::vector<bool>& made);

}  // namespace morvane
