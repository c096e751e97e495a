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

  const std::string& getName() const { return name_; }
  const std::string& getAttr() const { return attr_; }
  const std::string& getSize() const { return size_; }
  bool getNull() const { return nullable_; }
  std::int32_t getRow() const { return row_; }

 private:
  std::string name_;
  std::string attr_;
  std::string size_;
  bool nullable_ = false;
  std::int32_t row_ = 0;
};

}  // namespace morvane
