#pragma once
#include <string>
#include <vector>

namespace morvane {

// Reads a tag file (code page 932) and answers the text between two tags.
class clsXML {
 public:
  // The value between the complete tags ("<char>", "</char>"); empty text when there is none.
  std::string fnTagData(const std::string& startTag, const std::string& endTag) const;
  // Loads the whole file; false when it cannot be read.
  bool fnReadFile(const std::string& path);

 private:
  std::vector<std::string> items_;
};

}  // namespace morvane
