#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "htmldoc/PageNames.h"
#include "htmldoc/SchemaDiagram.h"
#include "htmldoc/SetReferences.h"
#include "model/Progress.h"
#include "model/clsDBInfo.h"
#include "platform/text/OutputEncoding.h"

namespace morvane {

// Writes the HTML documentation set of a set of tables into one folder: index.htm,
// rightframe.htm, one page per table, diagram.htm when the tables refer to each other, and
// leftframe.htm last, by default in code page 932. The optional cells of a table definition
// (logical names, defaults, remarks, keys, references) are shown only when some table of the set
// holds them, so a set without them is what it always was.
class clsHTMLDoc {
 public:
  void setTitle(std::string strTitle) { title_ = std::move(strTitle); }
  // The pages' code (their charset follows) and the end of their one line.
  void setEncoding(const platform::OutputEncoding& encoding) { encoding_ = encoding; }
  // True when every file was written. The tables are checked first (htmldoc/PageNames.h): a
  // table whose page cannot be written, or whose page name an earlier table has (equal but for
  // case), is left out of the set, pages and list alike, and reported by getRefused(); the set is then written without it and the result is false. A
  // file that cannot be written throws platform::FileError naming the file and the reason; the
  // files written before it stay and the rest are not written.
  bool fnWriteFile(const clsDBInfo& objDB, const std::string& strFolder);
  // The same, telling the sink page by page; a refused table counts as failed. A cancelled set
  // lists only the pages written, so that every link of leftframe.htm leads somewhere.
  ProgressTally fnWriteFile(const clsDBInfo& objDB, const std::string& strFolder, ProgressSink& progress);
  // The tables the last set left out, in selection order.
  const std::vector<htmldoc::RefusedPage>& getRefused() const { return refused_; }

 private:
  bool fnWriteFrameFile(const std::string& strFolder) const;
  bool fnWriteTitleFile(const std::string& strFolder) const;
  std::string fnMakeIndexHeader() const;
  std::string fnMakeIndexRow(const std::string& strTableName, const std::string& strLogicalName = {}) const;
  std::string fnMakeIndexFooter() const;
  bool fnWriteTableDoc(const clsTableInfo& objTable, const std::string& strFolder) const;
  std::string fnMakeTableHeader(const std::string& strTableName, const std::string& strLogicalName = {}) const;
  std::string fnMakeFieldRow(const clsFieldInfo& objField, const std::vector<std::string>& colPKeys) const;
  bool fnIsPrimaryKey(const std::string& strFieldName, const std::vector<std::string>& colPKeys) const;
  std::string fnMakeTableFooter() const;

  // Beyond the five cells, all empty for a set without the optional cells.
  std::string fnMakeFieldCells(const clsTableInfo& objTable, std::size_t lngField) const;
  std::vector<std::string> fnHeadings() const;
  std::string fnMakeKeySections(const clsTableInfo& objTable) const;
  std::string fnMakeTableDiagram(const clsTableInfo& objTable) const;
  std::string fnMakeReferenceLink(const htmldoc::ColumnAt& target, const std::string& strText) const;
  bool fnWriteDiagramFile(const std::string& strFolder, const std::vector<bool>& colWritten) const;
  std::string fnMakeDiagramRow() const;
  htmldoc::DiagramBox fnMakeBox(std::size_t lngTable) const;
  void sbMakeView(const clsDBInfo& objDB, const std::vector<htmldoc::RefusedPage>& colRefused);

  // What the set being written shows, worked out from its tables before the first page.
  struct SetView {
    bool logicalName = false, defaultValue = false, remarks = false, unique = false, index = false,
         reference = false;
    std::vector<const clsTableInfo*> tables;  // the tables whose pages are written, in order
    std::unordered_map<const clsTableInfo*, std::size_t> positions;
    std::vector<htmldoc::SetReference> references;
    // Per table of the set, the positions in references of those from it and of those to it.
    std::vector<std::vector<std::size_t>> outgoing, incoming;
    bool withDiagram = false;
    bool any() const { return logicalName || defaultValue || remarks || unique || index || reference; }
  };
  SetView view_;
  std::unique_ptr<htmldoc::clsSchemaDiagram> diagram_;

  std::string title_;
  platform::OutputEncoding encoding_;
  std::vector<htmldoc::RefusedPage> refused_;
};

}  // namespace morvane
