#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace morvane {

// An ordered list of text keys and items, found by linear scan; the writer of tag files.
// Positions start at 1.
class clsHash {
 public:
  const std::string& getErrMsg() const { return errMsg_; }
  std::int32_t getErrNo() const { return errNo_; }
  void AddItem(const std::string& item);
  void AddKey(const std::string& key);
  void Add(const std::string& key, const std::string& item);
  void Remove(const std::string& key);
  void RemoveAll();
  std::int32_t getCount() const { return static_cast<std::int32_t>(keys_.size()); }
  std::string getKey(const std::string& item) const;
  std::string getKey2(std::int32_t position) const;
  std::string getItem2(std::int32_t position) const;
  std::string getItem(const std::string& key) const;
  bool Exists(const std::string& key) const;
  void Split(const std::string& separator, const std::string& data);
  std::string GetAllItems(const std::string& separator) const;
  std::string GetAllKeys(const std::string& separator) const;
  // Writes every pair as a tag file line (code page 932, CR LF), replacing the file
  // atomically. False on failure, with the error number and description recorded.
  bool fnSaveFileAsXml(const std::string& path);

 private:
  std::int32_t findKey(const std::string& key) const;    // 0-based index or -1
  std::int32_t findItem(const std::string& item) const;  // 0-based index or -1

  std::vector<std::string> keys_;
  std::vector<std::string> items_;
  std::int32_t errNo_ = 0;
  std::string errMsg_;
};

}  // namespace morvane
