#pragma once
#include <string>
#include <string_view>

#include "platform/text/OutputEncoding.h"

namespace morvane {

// What the opening comment of a deployment script says about where it came from.
struct DeployHeading {
  std::string workbookName;
  std::string workbookModified;
  std::string toolVersion;
};

// One file that creates the tables in the order they are added, each table's script followed
// by a line GO, so that sqlcmd -i runs every script as a batch of its own. SET XACT_ABORT ON
// comes first, after the comment; the foreign keys are added last, as batches of their own.
class DeployScript {
 public:
  DeployScript(const DeployHeading& heading, const platform::OutputEncoding& encoding);
  // One table's script as clsSQLServerDB::fnEncodeCreateSQL gives it for the same encoding.
  void add(std::string_view encodedScript);
  // The whole file, byte order mark included.
  const std::string& bytes() const { return bytes_; }

 private:
  platform::OutputEncoding encoding_;
  std::string bytes_;
};

}  // namespace morvane
