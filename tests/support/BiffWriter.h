#pragma once
// Writes .xls workbooks of text cells, for the design books of the tests: a BIFF8 stream in a
// compound file made by libgsf's OLE2 writer. Rows and columns are 0-based, as in the file.
#include <string>
#include <utility>
#include <vector>

namespace morvane::test {

class BiffWriter {
 public:
  // A worksheet in workbook order; its index.
  std::size_t addSheet(const std::string& name);
  // A text cell through the shared string table.
  void labelSst(std::size_t sheet, int row, int col, const std::string& text);

  // The workbook stream, and the compound file holding it.
  std::string stream() const;
  std::string bytes() const { return compoundFile({{"Workbook", stream()}}); }
  void save(const std::string& path) const;
  // A compound file holding the given streams (name, bytes) in its root.
  static std::string compoundFile(const std::vector<std::pair<std::string, std::string>>& streams);

 private:
  std::vector<std::pair<std::string, std::string>> sheets_;  // name, cell records
  std::vector<std::string> strings_;
};

}  // namespace morvane::test
