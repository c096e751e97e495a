#include "tests/support/UnreadableXls.h"

namespace morvane::test {

std::string fixtureBytes(const std::string& name) {
  return readBytes(std::string(MORVANE_SOURCE_DIR) + "/tests/fixtures/" + name);
}

std::vector<UnreadablePackage> unreadablePackages() {
  return {{"zip-without-workbook", fixtureBytes("unreadable/zip-without-workbook.xlsx"), {"zip", "Excel のブック"}}};
}

}  // namespace morvane::test
