#pragma once
#include <stdexcept>
#include <string>

#include "model/clsDBInfo.h"

namespace morvane {

// Writes the HTML documentation set of a set of tables into one folder: index.htm,
// rightframe.htm, one page per table and leftframe.htm last, in code page 932.
class clsHTMLDoc {
 public:
  void setTitle(std::string strTitle) { title_ = std::move(strTitle); }
  // True when every file was written. A file that cannot be written, or a table name that
  // would leave the folder, throws platform::FileError naming the file and the reason.
  bool fnWriteFile(const clsDBInfo& objDB, const std::string& strFolder);

 private:
  std::string title_;
};

}  // namespace morvane
