#pragma once
#include <cstdint>
#include <memory>
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
  void setLogicalName(std::string text) { setOptional(&Optional::logicalName, std::move(text)); }
  void setDefault(std::string text) { setOptional(&Optional::defaultText, std::move(text)); }
  void setRemarks(std::string text) { setOptional(&Optional::remarks, std::move(text)); }
  void setUnique(std::string label) { setOptional(&Optional::unique, std::move(label)); }
  void setIndex(std::string label) { setOptional(&Optional::index, std::move(label)); }
  void setReference(std::string text) { setOptional(&Optional::reference, std::move(text)); }

  const std::string& getName() const { return name_; }
  const std::string& getAttr() const { return attr_; }
  const std::string& getSize() const { return size_; }
  bool getNull() const { return nullable_; }
  std::int32_t getRow() const { return row_; }
  const std::string& getLogicalName() const { return optional(&Optional::logicalName); }
  const std::string& getDefault() const { return optional(&Optional::defaultText); }
  const std::string& getRemarks() const { return optional(&Optional::remarks); }
  // Rows of one table with the same label (trimmed) form one unique key / one index.
  const std::string& getUnique() const { return optional(&Optional::unique); }
  const std::string& getIndex() const { return optional(&Optional::index); }
  // "Table.Column" or "Table(Column)"; see parseReference.
  const std::string& getReference() const { return optional(&Optional::reference); }

 private:
  // Kept apart, and only once one is filled: most books leave them empty, and six empty strings
  // in each of thousands of fields cost a reading more in memory to fault in than the cells.
  struct Optional {
    std::string logicalName, defaultText, remarks, unique, index, reference;
  };
  // Copied with the field, as the strings were.
  class OptionalBox {
   public:
    OptionalBox() = default;
    OptionalBox(const OptionalBox& other) : held_(other.held_ ? std::make_unique<Optional>(*other.held_) : nullptr) {}
    OptionalBox(OptionalBox&&) noexcept = default;
    OptionalBox& operator=(const OptionalBox& other) {
      if (this != &other) held_ = other.held_ ? std::make_unique<Optional>(*other.held_) : nullptr;
      return *this;
    }
    OptionalBox& operator=(OptionalBox&&) noexcept = default;
    const Optional* get() const { return held_.get(); }
    Optional& make() {
      if (!held_) held_ = std::make_unique<Optional>();
      return *held_;
    }

   private:
    std::unique_ptr<Optional> held_;
  };

  const std::string& optional(std::string Optional::*text) const {
    static const std::string none;
    return optional_.get() ? optional_.get()->*text : none;
  }
  void setOptional(std::string Optional::*text, std::string value) {
    if (!value.empty() || optional_.get()) optional_.make().*text = std::move(value);
  }

  std::string name_;
  std::string attr_;
  std::string size_;
  bool nullable_ = false;
  std::int32_t row_ = 0;
  OptionalBox optional_;
};

}  // namespace morvane
