// The bundled example design document reads into the model its description gives.
#include <gtest/gtest.h>

#include "document/clsExcelDBDoc.h"
#include "tests/support/ExampleModel.h"

namespace morvane {
namespace {

TEST(ExampleWorkbook, XlsxReadsIntoTheDescribedModel) {
  const clsDBInfo expected = test::exampleModel();
  ASSERT_EQ(expected.getTables().size(), 4u) << "the description names four tables";
  clsExcelDBDoc reader;
  reader.sbSetDocInfo(test::exampleLayout());
  ASSERT_TRUE(reader.fnReadDBDoc(std::string(MORVANE_SOURCE_DIR) + "/examples/design-document.xlsx"));
  EXPECT_EQ(test::modelJson(reader.getDBInfo()).dump(2), test::modelJson(expected).dump(2));
}

TEST(ExampleWorkbook, TheDefaultLayoutStopsAtTheFourthSheet) {
  clsExcelDBDoc reader;
  ASSERT_TRUE(reader.fnReadDBDoc(std::string(MORVANE_SOURCE_DIR) + "/examples/design-document.xlsx"));
  const auto& tables = reader.getDBInfo().getTables();
  const clsDBInfo model = test::exampleModel();
  const auto& expected = model.getTables();
  ASSERT_EQ(tables.size(), 3u);
  for (std::size_t i = 0; i < tables.size(); ++i) EXPECT_EQ(tables[i]->getName(), expected[i]->getName());
}

}  // namespace
}  // namespace morvane
