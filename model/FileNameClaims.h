#pragma once
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace morvane {

// A table left out of a run because an earlier table has its file name.
struct NameCollision {
  std::string name;
  std::string earlier;
};

// The file names a run has handed out. Names that differ only in case are one file on a Windows
// share (and one table on the server), so the second must not replace the first's file.
class FileNameClaims {
 public:
  // Nothing when the name is free (it is then taken); otherwise the earlier name it collides with.
  std::optional<std::string> claim(const std::string& name);

 private:
  std::map<std::string, std::string> taken_;  // case-folded name -> the name first given
};

}  // namespace morvane
