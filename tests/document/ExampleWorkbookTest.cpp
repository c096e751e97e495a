// The bundled example design document and its .xls twin read into the model their description gives.
#include <gtest/gtest.h>

#include "document/clsExcelDBDoc.h"
#include "tests/support/ExampleModel.h"

namespace morvane {
namespace {

// With the ten positions only, and with the optional ones too.
TEST(ExampleWorkbook, BothTwinsReadIntoTheDescribedModel) {
  for (const bool optional : {false, true}) {
    const clsDBInfo expected = test::exampleModel(optional);
    ASSERT_EQ(expected.getTables().size(), 4u) << "the description names four tables";
    for (const char* name : {"design-document.xlsx", "design-document.xls"}) {
      SCOPED_TRACE(std::string(name) + (optional ? " with the optional positions" : ""));
      clsExcelDBDoc reader;
      reader.sbSetDocInfo(test::exampleLayout(optional));
      ASSERT_TRUE(reader.fnReadDBDoc(std::string(MORVANE_SOURCE_DIR) + "/examples/" + name));
      EXPECT_EQ(test::modelJson(reader.getDBInfo()).dump(2), test::modelJson(expected).dump(2));
    }
  }
}

}  // namespace
}  // namespace morvane
