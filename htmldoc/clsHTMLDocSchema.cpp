// The parts of the documentation set beyond the five cells: logical names, defaults, remarks,
// keys, references and the diagrams of the tables.
#include <algorithm>
#include <string_view>

#include "htmldoc/HtmlText.h"
#include "htmldoc/PagePieces.h"
#include "htmldoc/clsHTMLDoc.h"
#include "model/KeyLabels.h"
#include "model/Text.h"
#include "platform/files/Files.h"
#include "sqlserver/ConstraintNames.h"

namespace morvane {
namespace {

using htmldoc::escapeHtml;
using htmldoc::put;

std::string cellOrSpace(const std::string& escaped) {
  return isBlank(escaped) ? std::string(kIdeographicSpace) : escaped;
}

// A small table under the fields: a heading, the column headings and the rows, each cell escaped.
std::string section(std::string_view title, const std::vector<std::string>& headings,
                    const std::vector<std::vector<std::string>>& rows) {
  if (rows.empty()) return {};
  std::string text;
  put(text, 0, R"(<p><font size="2"><b>)" + std::string(title) + "</b></font></p>", 1);
  put(text, 0, R"(<table border="1" cellspacing="0" cellpadding="2">)", 1);
  put(text, 2, R"(<tr bgcolor="#6633CC">)", 0);
  for (const auto& heading : headings) put(text, 0, R"(<td><font color="white" size="2">)" + heading + "</font></td>", 0);
  put(text, 0, "</tr>", 1);
  for (const auto& row : rows) {
    put(text, 2, R"(<tr bgcolor="#CCFF99">)", 0);
    for (const auto& cell : row) put(text, 0, R"(<td><font size="2">)" + cellOrSpace(cell) + "</font></td>", 0);
    put(text, 0, "</tr>", 1);
  }
  put(text, 0, "</table>", 1);
  return text;
}

std::string joinedNames(const clsTableInfo& table, const std::vector<std::size_t>& fields, std::string_view glue) {
  std::string text;
  for (const auto f : fields) {
    if (!text.empty()) text += glue;
    text += table.getFields()[f].getName();
  }
  return text;
}

std::vector<std::string> namesOf(const clsTableInfo& table, const std::vector<std::size_t>& fields) {
  std::vector<std::string> names;
  for (const auto f : fields) names.push_back(table.getFields()[f].getName());
  return names;
}

}  // namespace

void clsHTMLDoc::sbMakeView(const clsDBInfo& objDB, const std::vector<htmldoc::RefusedPage>& colRefused) {
  view_ = SetView{};
  for (const auto& table : objDB.getTables()) {
    const bool isRefused = std::any_of(colRefused.begin(), colRefused.end(),
                                       [&](const auto& page) { return page.table == table; });
    if (isRefused || !view_.positions.emplace(table.get(), view_.tables.size()).second) continue;
    view_.tables.push_back(table.get());
    for (const auto& field : table->getFields()) {
      view_.logicalName = view_.logicalName || !isBlank(field.getLogicalName());
      view_.defaultValue = view_.defaultValue || !isBlank(field.getDefault());
      view_.remarks = view_.remarks || !isBlank(field.getRemarks());
      view_.unique = view_.unique || !isBlank(field.getUnique());
      view_.index = view_.index || !isBlank(field.getIndex());
      view_.reference = view_.reference || !isBlank(field.getReference());
    }
  }
  if (view_.reference) view_.references = htmldoc::referencesAmong(view_.tables);
  view_.outgoing.resize(view_.tables.size());
  view_.incoming.resize(view_.tables.size());
  for (std::size_t r = 0; r < view_.references.size(); ++r) {
    view_.outgoing[view_.references[r].from.table].push_back(r);
    view_.incoming[view_.references[r].to.table].push_back(r);
  }
  view_.withDiagram = !view_.references.empty();
  if (view_.withDiagram && !diagram_) diagram_ = std::make_unique<htmldoc::clsSchemaDiagram>();
}

std::vector<std::string> clsHTMLDoc::fnHeadings() const {
  std::vector<std::string> headings = {"Field"};
  if (view_.logicalName) headings.emplace_back("LogicalName");
  headings.insert(headings.end(), {"Attribute", "Size", "Null", "PrimaryKey"});
  if (view_.defaultValue) headings.emplace_back("Default");
  if (view_.unique) headings.emplace_back("Unique");
  if (view_.index) headings.emplace_back("Index");
  if (view_.reference) headings.emplace_back("Reference");
  if (view_.remarks) headings.emplace_back("Remarks");
  return headings;
}

std::string clsHTMLDoc::fnMakeReferenceLink(const htmldoc::ColumnAt& target, const std::string& strText) const {
  const clsTableInfo& table = *view_.tables[target.table];
  // Percent-encoded first so that escaping the attribute cannot be undone by it.
  const std::string href = htmldoc::encodeLinkPath(table.getName()) + ".htm#" +
                           htmldoc::encodeLinkPath(trimBlanks(table.getFields()[target.field].getName()));
  return R"(<a href=")" + escapeHtml(href) + R"(">)" + escapeHtml(strText) + "</a>";
}

std::string clsHTMLDoc::fnMakeFieldCells(const clsTableInfo& objTable, std::size_t lngField) const {
  const clsFieldInfo& field = objTable.getFields()[lngField];
  const std::size_t at = view_.positions.at(&objTable);
  std::vector<std::string> cells = {escapeHtml(field.getName())};
  if (view_.logicalName) cells.push_back(cellOrSpace(escapeHtml(field.getLogicalName())));
  cells.push_back(escapeHtml(field.getAttr()));
  cells.push_back(cellOrSpace(escapeHtml(field.getSize())));
  cells.push_back(field.getNull() ? "y" : std::string(kIdeographicSpace));
  cells.push_back(fnIsPrimaryKey(field.getName(), objTable.getPrimaryKeys()) ? "y" : std::string(kIdeographicSpace));
  if (view_.defaultValue) cells.push_back(cellOrSpace(escapeHtml(field.getDefault())));
  if (view_.unique) cells.push_back(cellOrSpace(escapeHtml(field.getUnique())));
  if (view_.index) cells.push_back(cellOrSpace(escapeHtml(field.getIndex())));
  if (view_.reference) {
    std::string cell = cellOrSpace(escapeHtml(field.getReference()));
    for (const auto r : view_.outgoing[at]) {
      if (view_.references[r].from.field == lngField) cell = fnMakeReferenceLink(view_.references[r].to, field.getReference());
    }
    cells.push_back(std::move(cell));
  }
  if (view_.remarks) cells.push_back(cellOrSpace(escapeHtml(field.getRemarks())));
  return htmldoc::fieldRow(cells, escapeHtml(trimBlanks(field.getName())));
}

std::string clsHTMLDoc::fnMakeKeySections(const clsTableInfo& objTable) const {
  const std::string& name = objTable.getName();
  std::vector<std::vector<std::string>> uniques, indexes, foreign, referrers;
  for (const auto& key : uniqueKeysOf(objTable)) {
    uniques.push_back({escapeHtml(uniqueKeyName(name, namesOf(objTable, key.fields))),
                       escapeHtml(joinedNames(objTable, key.fields, ", "))});
  }
  for (const auto& key : indexesOf(objTable)) {
    indexes.push_back({escapeHtml(indexName(name, namesOf(objTable, key.fields))),
                       escapeHtml(joinedNames(objTable, key.fields, ", "))});
  }
  const std::size_t at = view_.positions.at(&objTable);
  const auto& fields = objTable.getFields();
  for (std::size_t f = 0; f < fields.size(); ++f) {
    if (isBlank(fields[f].getReference())) continue;
    std::string target = escapeHtml(fields[f].getReference());
    for (const auto r : view_.outgoing[at]) {
      if (view_.references[r].from.field == f) target = fnMakeReferenceLink(view_.references[r].to, fields[f].getReference());
    }
    foreign.push_back({escapeHtml(foreignKeyName(name, fields[f].getName())), escapeHtml(fields[f].getName()), target});
  }
  for (const auto r : view_.incoming[at]) {
    const auto& from = view_.references[r].from;
    const clsTableInfo& table = *view_.tables[from.table];
    const std::string& field = table.getFields()[from.field].getName();
    referrers.push_back({fnMakeReferenceLink(from, table.getName() + "." + field),
                         escapeHtml(fields[view_.references[r].to.field].getName())});
  }
  return section("ユニークキー", {"Name", "Columns"}, uniques) + section("インデックス", {"Name", "Columns"}, indexes) +
         section("外部キー", {"Name", "Column", "References"}, foreign) +
         section("参照元", {"Referenced by", "Column"}, referrers);
}

htmldoc::DiagramBox clsHTMLDoc::fnMakeBox(std::size_t lngTable) const {
  const clsTableInfo& table = *view_.tables[lngTable];
  htmldoc::DiagramBox box{table.getName(), isBlank(table.getLogicalName()) ? std::string() : table.getLogicalName(), {},
                          table.getName() + ".htm"};
  for (const auto& field : table.getFields()) {
    const bool key = fnIsPrimaryKey(field.getName(), table.getPrimaryKeys());
    const bool refers = !isBlank(field.getReference());
    if (key || refers) box.keyLines.push_back(std::string(key ? "PK " : "") + (refers ? "FK " : "") + field.getName());
  }
  return box;
}

std::string clsHTMLDoc::fnMakeTableDiagram(const clsTableInfo& objTable) const {
  const std::size_t at = view_.positions.at(&objTable);
  if (view_.outgoing[at].empty() && view_.incoming[at].empty()) return {};
  // The table, the tables it refers to and those that refer to it; a self reference once.
  std::vector<std::size_t> tables = {at};
  std::vector<htmldoc::DiagramArrow> arrows;
  const auto boxOf = [&](std::size_t table) {
    const auto found = std::find(tables.begin(), tables.end(), table);
    if (found != tables.end()) return static_cast<std::size_t>(found - tables.begin());
    tables.push_back(table);
    return tables.size() - 1;
  };
  for (const auto r : view_.outgoing[at]) arrows.push_back({0, boxOf(view_.references[r].to.table)});
  for (const auto r : view_.incoming[at]) {
    if (view_.references[r].from.table != at) arrows.push_back({boxOf(view_.references[r].from.table), 0});
  }
  std::vector<htmldoc::DiagramBox> boxes;
  for (const auto table : tables) boxes.push_back(fnMakeBox(table));
  const auto svg = diagram_->fnMakeSvg(boxes, arrows);
  std::string text;
  put(text, 0, R"(<p><font size="2"><b>関連図</b></font></p>)", 1);
  put(text, 0, svg ? *svg : std::string("<p>関連図を描けませんでした</p>"), 0);
  return text;
}

bool clsHTMLDoc::fnWriteDiagramFile(const std::string& strFolder, const std::vector<bool>& colWritten) const {
  std::vector<std::size_t> boxOf(view_.tables.size());
  std::vector<htmldoc::DiagramBox> boxes;
  for (std::size_t t = 0; t < view_.tables.size(); ++t) {
    if (!colWritten[t]) continue;
    boxOf[t] = boxes.size();
    boxes.push_back(fnMakeBox(t));
  }
  std::vector<htmldoc::DiagramArrow> arrows;
  for (const auto& reference : view_.references) {
    if (colWritten[reference.from.table] && colWritten[reference.to.table]) {
      arrows.push_back({boxOf[reference.from.table], boxOf[reference.to.table]});
    }
  }
  if (arrows.empty()) return false;
  const auto svg = diagram_->fnMakeSvg(boxes, arrows);
  std::string text = htmldoc::titledHead("テーブル関連図", encoding_.charset);
  put(text, 0, R"(<body bgcolor="#FFFFFF" text="#000000">)", 1);
  put(text, 0, R"(<p><font size="4"><b>テーブル関連図</b></font></p>)", 1);
  put(text, 0, svg ? *svg : std::string("<p>関連図を描けませんでした</p>"), 1);
  put(text, 0, "</body></html>", 0);
  htmldoc::writePage(platform::joinPath(strFolder, std::string(htmldoc::kDiagramPage) + ".htm"), text, encoding_);
  return true;
}

std::string clsHTMLDoc::fnMakeDiagramRow() const {
  std::string text;
  put(text, 2, "<tr>", 2);
  put(text, 4, R"(<td bgcolor="#FFFFCC">)", 2);
  put(text, 6, R"(<div align="left"><font size="2"><a href=")" + std::string(htmldoc::kDiagramPage) +
                   R"(.htm" target="mainFrame" id="diagram">テーブル関連図</a></font></div>)", 1);
  put(text, 4, "</td>", 1);
  put(text, 2, "</tr>", 1);
  return text;
}

}  // namespace morvane
