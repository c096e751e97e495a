#pragma once
#include <string>

namespace morvane {

// The notation a design document uses for each of the nine column kinds. A plain record: the
// generator does the matching, the type notation window the editing.
class clsSQLServerFieldAttr {
 public:
  void setChar(std::string strFieldExp) { char_ = std::move(strFieldExp); }
  void setVarChar(std::string strFieldExp) { varChar_ = std::move(strFieldExp); }
  void setIdentity(std::string strFieldExp) { identity_ = std::move(strFieldExp); }
  void setInt(std::string strFieldExp) { int_ = std::move(strFieldExp); }
  void setDate(std::string strFieldExp) { date_ = std::move(strFieldExp); }
  void setReal(std::string strFieldExp) { real_ = std::move(strFieldExp); }
  void setFloat(std::string strFieldExp) { float_ = std::move(strFieldExp); }
  void setDecimal(std::string strFieldExp) { decimal_ = std::move(strFieldExp); }
  void setMoney(std::string strFieldExp) { money_ = std::move(strFieldExp); }

  const std::string& getChar() const { return char_; }
  const std::string& getVarChar() const { return varChar_; }
  const std::string& getIdentity() const { return identity_; }
  const std::string& getInt() const { return int_; }
  const std::string& getDate() const { return date_; }
  const std::string& getReal() const { return real_; }
  const std::string& getFloat() const { return float_; }
  const std::string& getDecimal() const { return decimal_; }
  const std::string& getMoney() const { return money_; }

 private:
  std::string char_ = "char";
  std::string varChar_ = "varchar";
  std::string identity_ = "identity";
  std::string int_ = "int";
  std::string date_ = "date";
  std::string real_ = "real";
  std::string float_ = "float";
  std::string decimal_ = "decimal";
  std::string money_ = "money";
};

}  // namespace morvane
