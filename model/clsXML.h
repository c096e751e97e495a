#pragma once
#include <string>
#include <vector>

namespace morvane {

// Reads a tag file (code page 932) and answers the text between two tags.
class clsXML {
 public:
  // The value between the complete tags ("<char>", "</char>"); empty text when there is none.
  std::string fnTagData(const std::string& startTag, const std::string& endTag) const;
  // Loads the whole file, one item per line; false when it cannot be read, is larger than
  // kMaxFileBytes or is not valid code page 932. The items are replaced even on failure.
  bool fnReadFile(const std::string& path);
  // Why the last fnReadFile failed; empty after a successful one.
  const std::string& getErrMsg() const { return errMsg_; }

  // A layout or type notation file holds a few short lines: far more is no setting file.
  static constexpr std::size_t kMaxFileBytes = 64u << 10;

 private:
  std::vector<std::string> items_;
  std::string errMsg_;
};

}  // namespace morvane
