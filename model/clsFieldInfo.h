#pragma once
#include <cstdint>
#include <string>

namespace morvane {

// One field (column) of a table, exactly as read from its row.
class clsFieldInfo {
 public:
  void setName(std::string name) { name_ = std::move(name); }
  void setAttr(std::string attr) { attr_ = std::move(attr); }
  void setSize(std::string size) { size_ = std::move(size); }
  void setNull(bool nullable) { nullable_ = nullable; }
  // The sheet row the field was read from; 0 for a field made in code.
  void setRow(std::int32_t row) { row_ = row; }
  // The optional cells, as read; empty when the layout does not use them.
  void setLogicalName(std::string text) { logicalName_ = std::move(text); }
  void setDefault(std::string text) { default_ = std::move(text); }
  void setRemarks(std::string text) { remarks_ = std::move(text); }
  void setUnique(std::string label) { unique_ = std::move(label); }
  void setIndex(std::string label) { index_ = std::move(label); }
  void setReference(std::string text) { reference_ = std::move(text); }

  const std::string& getName() const { return name_; }
  const std::string& getAttr() const { return attr_; }
  const std::string& getSize() const { return size_; }
  bool getNull() const { return nullable_; }
  std::int32_t getRow() const { return row_; }
  const std::string& getLogicalName() const { return logicalName_; }
  const std::string& getDefault() const { return default_; }
  const std::string& getRemarks() const { return remarks_; }
  // Rows of one table with the same label (trimmed) form one unique key / one index.
  const std::string& getUnique() const { return unique_; }
  const std::string& getIndex() const { return index_; }
  // "Table.Column" or "Table(Column)"; see parseReference.
  const std::string& getReference() const { return reference_; }

 private:
  std::string name_;
  std::string attr_;
  std::string size_;
  bool nullable_ = false;
  std::int32_t row_ = 0;
  std::string logicalName_;
  std::string default_;
  std::string remarks_;
  std::string unique_;
  std::string index_;
  std::string reference_;
};

}  // namespace morvane
