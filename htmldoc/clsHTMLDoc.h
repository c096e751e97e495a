#pragma once
#include <string>
#include <vector>

#include "model/FileNameClaims.h"
#include "model/Progress.h"
#include "model/clsDBInfo.h"
#include "platform/text/OutputEncoding.h"

namespace morvane {

// Writes the HTML documentation set of a set of tables into one folder: index.htm,
// rightframe.htm, one page per table and leftframe.htm last, by default in code page 932.
class clsHTMLDoc {
 public:
  void setTitle(std::string strTitle) { title_ = std::move(strTitle); }
  // The pages' code (their charset follows) and the end of their one line.
  void setEncoding(const platform::OutputEncoding& encoding) { encoding_ = encoding; }
  // True when every file was written (false when a name collision left a table out). A file that cannot be written, or a table name that
  // would leave the folder, throws platform::FileError naming the file and the reason; the
  // files written before it stay and the rest are not written.
  bool fnWriteFile(const clsDBInfo& objDB, const std::string& strFolder);
  // The same, telling the sink page by page. A cancelled set lists only the pages written, so
  // that every link of leftframe.htm leads somewhere.
  ProgressTally fnWriteFile(const clsDBInfo& objDB, const std::string& strFolder, ProgressSink& progress);
  // The tables of the last set that got no page, because an earlier table's name is the same
  // page name (equal but for case); the tally counts them failed and the list leaves them out.
  const std::vector<NameCollision>& getCollisions() const { return collisions_; }

 private:
  bool fnWriteFrameFile(const std::string& strFolder) const;
  bool fnWriteTitleFile(const std::string& strFolder) const;
  std::string fnMakeIndexHeader() const;
  std::string fnMakeIndexRow(const std::string& strTableName) const;
  std::string fnMakeIndexFooter() const;
  bool fnWriteTableDoc(const clsTableInfo& objTable, const std::string& strFolder) const;
  std::string fnMakeTableHeader(const std::string& strTableName) const;
  std::string fnMakeFieldRow(const clsFieldInfo& objField, const std::vector<std::string>& colPKeys) const;
  bool fnIsPrimaryKey(const std::string& strFieldName, const std::vector<std::string>& colPKeys) const;
  std::string fnMakeTableFooter() const;

  std::string title_;
  std::vector<NameCollision> collisions_;
  platform::OutputEncoding encoding_;
};

}  // namespace morvane
