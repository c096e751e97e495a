#include "htmldoc/clsHTMLDoc.h"

#include <string_view>
#include <unordered_set>

#include "htmldoc/HtmlText.h"
#include "htmldoc/PagePieces.h"
#include "htmldoc/SiteAddress.h"
#include "model/FileNameClaims.h"
#include "model/Text.h"
#include "platform/files/Files.h"

namespace morvane {
namespace {

using htmldoc::escapeHtml;
using htmldoc::put;
using htmldoc::titledHead;
using htmldoc::writePage;

}  // namespace

bool clsHTMLDoc::fnWriteFile(const clsDBInfo& objDB, const std::string& strFolder) {
  NoProgress quiet;
  fnWriteFile(objDB, strFolder, quiet);
  return refused_.empty();
}

ProgressTally clsHTMLDoc::fnWriteFile(const clsDBInfo& objDB, const std::string& strFolder, ProgressSink& progress) {
  // Every name is judged before the first file is touched. A reference anywhere in the selection
  // may give the set a diagram, whose page name is then taken.
  bool mayRefer = false;
  for (const auto& table : objDB.getTables()) {
    for (const auto& field : table->getFields()) mayRefer = mayRefer || !isBlank(field.getReference());
  }
  htmldoc::PageSelection selection = htmldoc::selectWritablePages(objDB.getTables(), mayRefer);
  std::unordered_set<const clsTableInfo*> refused;
  for (const auto& page : selection.refused) refused.insert(page.table.get());
  // A later table whose page would replace an earlier one's is left out too, in selection order.
  refused_.clear();
  FileNameClaims claims;
  auto unwritable = selection.refused.begin();
  for (const auto& table : objDB.getTables()) {
    if (refused.count(table.get()) != 0) {
      refused_.push_back(std::move(*unwritable++));
    } else if (auto earlier = claims.claim(table->getName())) {
      refused_.push_back({table, "先のテーブル「" + *earlier + "」と同じページ名になります (大文字小文字は区別されません)"});
      refused.insert(table.get());
    }
  }
  sbMakeView(objDB, refused_);
  fnWriteFrameFile(strFolder);
  fnWriteTitleFile(strFolder);
  std::string index = fnMakeIndexHeader();
  const std::size_t tableRows = index.size();
  std::vector<bool> written(view_.tables.size(), false);
  const ProgressTally tally = forEachTable(objDB.getTables(), progress, [&](const clsTableInfo& table) {
    if (refused.count(&table) != 0) return false;
    fnWriteTableDoc(table, strFolder);
    written[view_.positions.at(&table)] = true;
    index += fnMakeIndexRow(table.getName(), table.getLogicalName());
    return true;
  });
  // Drawn from the pages written, so that every box leads somewhere, and listed first.
  if (view_.withDiagram && fnWriteDiagramFile(strFolder, written)) index.insert(tableRows, fnMakeDiagramRow());
  index += fnMakeIndexFooter();
  writePage(platform::joinPath(strFolder, "leftframe.htm"), index, encoding_);
  return tally;
}

bool clsHTMLDoc::fnWriteFrameFile(const std::string& strFolder) const {
  std::string text = titledHead(escapeHtml(title_), encoding_.charset);
  put(text, 0, R"(<frameset cols="258,*" frameborder="YES" border="1" framespacing="1" rows="*">)", 2);
  put(text, 2, R"(<frame name="leftFrame" noresize src="leftframe.htm" scrolling="AUTO">)", 1);
  put(text, 2, R"(<frame name="mainFrame" src="rightframe.htm" scrolling="AUTO">)", 1);
  put(text, 0, "</frameset>", 1);
  put(text, 0, R"(<noframes><body bgcolor="#FFFFFF" text="#000000">)", 1);
  put(text, 0, "</body></noframes>", 1);
  put(text, 0, "</html>", 1);
  writePage(platform::joinPath(strFolder, "index.htm"), text, encoding_);
  return true;
}

bool clsHTMLDoc::fnWriteTitleFile(const std::string& strFolder) const {
  const std::string site = escapeHtml(kSiteAddress);
  std::string text = titledHead(escapeHtml(title_), encoding_.charset);
  put(text, 0, R"(<body bgcolor="#FFFFFF" text="#996699" link="#3333FF" alink="#0000CC" vlink="#333366">)", 1);
  put(text, 0, R"(<p align="left"><font size="4"><b><NOBR>)", 0);
  put(text, 0, escapeHtml(title_), 0);
  put(text, 0, "</NOBR></b></font></p>", 1);
  put(text, 0, R"(<p><b><font size="4"><a href=")", 0);
  put(text, 0, site, 0);
  put(text, 0, R"(">)", 0);
  put(text, 0, site, 2);
  put(text, 2, "</a></font></b></p>", 1);
  put(text, 0, "</body>", 1);
  put(text, 0, "</html>", 1);
  writePage(platform::joinPath(strFolder, "rightframe.htm"), text, encoding_);
  return true;
}

std::string clsHTMLDoc::fnMakeIndexHeader() const {
  std::string text = titledHead("テーブル一覧", encoding_.charset);
  put(text, 0, R"(<body bgcolor="#FFFFFF" text="#996699" link="#3333FF" alink="#0000CC" vlink="#333366">)", 1);
  put(text, 0, R"(<table width="238" border="1" cellspacing="0" cellpadding="2" align="left">)", 1);
  put(text, 2, "<tr>", 2);
  put(text, 4,
      R"(<td bgcolor="#6633CC"><font color="#FFFFFF"><b><font size="3">テーブル一覧</font></b></font></td>)", 1);
  put(text, 2, "</tr>", 1);
  return text;
}

std::string clsHTMLDoc::fnMakeIndexRow(const std::string& strTableName, const std::string& strLogicalName) const {
  // Percent-encode first so that the escaping of the attribute cannot be undone by it.
  const std::string link = escapeHtml(htmldoc::encodeLinkPath(strTableName));
  std::string text;
  put(text, 2, "<tr>", 2);
  put(text, 4, R"(<td bgcolor="#CCFF99">)", 2);
  put(text, 6, R"(<div align="left"><font size="2"><a href=")", 0);
  put(text, 0, link, 0);
  put(text, 0, R"(.htm" target="mainFrame">)", 0);
  put(text, 0, escapeHtml(strTableName), 0);
  put(text, 0, "</a>", 0);
  if (!isBlank(strLogicalName)) put(text, 1, R"(<font color="#666666">)" + escapeHtml(strLogicalName) + "</font>", 0);
  put(text, 0, "</font></div>", 1);
  put(text, 4, "</td>", 1);
  put(text, 2, "</tr>", 1);
  return text;
}

std::string clsHTMLDoc::fnMakeIndexFooter() const {
  std::string text;
  put(text, 0, "</table>", 0);
  put(text, 0, "<p>", 0);
  put(text, 0, kIdeographicSpace, 0);
  put(text, 0, "</p>", 0);
  put(text, 0, "</body>", 0);
  put(text, 0, "</html>", 0);
  return text;
}

bool clsHTMLDoc::fnWriteTableDoc(const clsTableInfo& objTable, const std::string& strFolder) const {
  const std::string& name = objTable.getName();
  const std::string path = platform::joinPath(strFolder, name + ".htm");
  if (!platform::isSafeFileStem(name)) {
    throw platform::FileError(path + ": テーブル名がフォルダ内のファイル名になりません");
  }
  std::string text = fnMakeTableHeader(name, objTable.getLogicalName());
  const auto& fields = objTable.getFields();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    text += view_.any() ? fnMakeFieldCells(objTable, i) : fnMakeFieldRow(fields[i], objTable.getPrimaryKeys());
  }
  if (!view_.any()) {
    text += fnMakeTableFooter();
  } else {
    text += "</table>" + fnMakeKeySections(objTable) + fnMakeTableDiagram(objTable) + "</body></html>";
  }
  writePage(path, text, encoding_);
  return true;
}

std::string clsHTMLDoc::fnMakeTableHeader(const std::string& strTableName, const std::string& strLogicalName) const {
  const std::string name = escapeHtml(strTableName);
  const std::string logical = isBlank(strLogicalName) ? std::string() : " (" + escapeHtml(strLogicalName) + ")";
  // The field a reference leads to stands out; names and logical names stay on one line.
  std::string text = titledHead(
      name + logical, encoding_.charset,
      view_.any() ? "<style>tr:target td { background: #FFFF66; } td:nth-child(-n+2) { white-space: nowrap; }</style>"
                  : "");
  put(text, 0, R"(<body bgcolor="#FFFFFF" text="#000000">)", 1);
  put(text, 0, R"(<table width="400" border="2" cellspacing="0" cellpadding="2">)", 1);
  put(text, 2, R"(<tr bgcolor="#6633CC" align="center">)", 2);
  const std::vector<std::string> headings = fnHeadings();
  put(text, 4, R"(<td align="center" colspan=")" + std::to_string(headings.size()) + R"(">)", 2);
  put(text, 6, R"(<div align="left"><font size="3" color="#FFFFFF"><b>)", 0);
  put(text, 0, name, 0);
  put(text, 0, "</b>" + logical + "</font></div>", 1);
  put(text, 4, "</td>", 1);
  put(text, 2, "</tr>", 1);
  put(text, 2, R"(<tr bgcolor="#6633CC" align="center">)", 2);
  for (std::size_t i = 0; i < headings.size(); ++i) {
    put(text, 4, std::string(i == 0 ? R"(<td align="center">)" : "<td>") + R"(<b><font color="white" size="2">)" +
                     headings[i] + "</font></b></td>", 1);
  }
  put(text, 2, "</tr>", 1);
  return text;
}

std::string clsHTMLDoc::fnMakeFieldRow(const clsFieldInfo& objField,
                                       const std::vector<std::string>& colPKeys) const {
  const std::string& size = objField.getSize();
  const std::string cells[] = {
      escapeHtml(objField.getName()),
      escapeHtml(objField.getAttr()),
      trimSpaces(size).empty() ? std::string(kIdeographicSpace) : escapeHtml(size),
      objField.getNull() ? "y" : std::string(kIdeographicSpace),
      fnIsPrimaryKey(objField.getName(), colPKeys) ? "y" : std::string(kIdeographicSpace),
  };
  return htmldoc::fieldRow({std::begin(cells), std::end(cells)}, {});
}

bool clsHTMLDoc::fnIsPrimaryKey(const std::string& strFieldName, const std::vector<std::string>& colPKeys) const {
  const std::string field = trimSpaces(strFieldName);
  for (const auto& key : colPKeys) {
    if (trimSpaces(key) == field) return true;
  }
  return false;
}

std::string clsHTMLDoc::fnMakeTableFooter() const { return "</table></body></html>"; }

}  // namespace morvane
