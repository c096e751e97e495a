// Workbooks written by other software (python3-xlwt; see tests/fixtures/xls/make-fixtures.py)
// and the example design document's .xls twin.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "document/clsExcel.h"
#include "document/clsExcelDBDoc.h"
#include "platform/Workbook.h"
#include "platform/XlsWorkbook.h"

namespace morvane {
namespace {

std::string fixture(const std::string& name) { return std::string(MORVANE_SOURCE_DIR) + "/tests/fixtures/xls/" + name; }

TEST(XlsFixtures, XlwtValuesReadAsTheSpreadsheetGivesThem) {
  clsExcel excel;
  ASSERT_TRUE(excel.fnOpenBook(fixture("xlwt-values.xls")));
  ASSERT_TRUE(excel.fnOpenSheet(1));
  EXPECT_EQ(excel.SheetName(), "値");
  const char* expected[5][4] = {
      {"text", " 前後に空白 ", "\u3000", "日本語テキスト"},
      {"10", "1.5", "0.3", "-12.25"},
      {"123456789012345", "1E+15", "1E-06", "1099511627776"},
      {"True", "False", "", ""},
      {"2024/01/01", "2024/01/01 12:34:56", "18:00:00", "45292"},
  };
  for (int row = 0; row < 5; ++row) {
    for (int col = 0; col < 4; ++col) {
      EXPECT_EQ(excel.Cells(row + 1, col + 1), expected[row][col]) << "row " << row + 1 << " col " << col + 1;
    }
  }
  EXPECT_EQ(excel.Cells(6, 1), "");  // a formula xlwt stored without its result
  EXPECT_EQ(excel.Cells(6, 2), "");  // a formatted blank
  EXPECT_EQ(excel.Cells(999, 99), "last");
  EXPECT_EQ(excel.Cells(1000, 1), "");
  // The hidden second sheet counts.
  ASSERT_TRUE(excel.fnOpenSheet(2));
  EXPECT_EQ(excel.Cells(3, 3), "隠しシート");
  EXPECT_FALSE(excel.fnOpenSheet(3));
}

TEST(XlsFixtures, Xlwt1904DatesAndLongSharedStrings) {
  auto book = platform::openXlsWorkbook(fixture("xlwt-1904.xls"));
  ASSERT_TRUE(book);
  auto sheet = book->readSheet(1);
  EXPECT_EQ(sheet.text(1, 1), "2024/01/01");
  EXPECT_EQ(sheet.text(1, 2), "45292");

  book = platform::openXlsWorkbook(fixture("xlwt-long-strings.xls"));
  ASSERT_TRUE(book);
  sheet = book->readSheet(1);
  for (int r = 0; r < 40; ++r) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "列%02d:", r);
    std::string text = prefix;
    for (int i = 0; i < 30; ++i) text += r % 2 ? "日本語の長い説明文" : "long ascii text ";
    EXPECT_EQ(sheet.text(r + 1, 1), text) << "row " << r + 1;
  }
}

TEST(XlsFixtures, AnXlwtDesignDocumentReadsIntoTheModel) {
  clsExcelDBDoc reader;
  ASSERT_TRUE(reader.fnReadDBDoc(fixture("xlwt-design.xls")));
  const auto& tables = reader.getDBInfo().getTables();
  ASSERT_EQ(tables.size(), 2u);  // the cover sheet has no table name
  EXPECT_EQ(tables[0]->getName(), "顧客");
  EXPECT_EQ(tables[1]->getName(), "注文");
  const auto& fields = tables[1]->getFields();
  ASSERT_EQ(fields.size(), 3u);
  EXPECT_EQ(fields[0].getName(), "ID");
  EXPECT_EQ(fields[0].getAttr(), "int");
  EXPECT_EQ(fields[0].getSize(), "4");
  EXPECT_FALSE(fields[0].getNull());
  EXPECT_EQ(fields[1].getSize(), "50");
  EXPECT_TRUE(fields[1].getNull());
  EXPECT_EQ(fields[2].getSize(), "");
  EXPECT_EQ(tables[1]->getPrimaryKeys(), std::vector<std::string>{"ID"});
}

// morvane-batch's --dump of a workbook in the example's layout.
std::string dump(const std::string& workbook) {
  const std::string command = std::string(MORVANE_BATCH) + " --layout-values 1,5,6,3,3,4,5,6,7,9 --dump '" + workbook + "'";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return {};
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  return ::pclose(pipe) == 0 ? out : "(failed) " + out;
}

TEST(XlsExample, TheXlsTwinHoldsTheDescribedDocument) {
  const std::string examples = std::string(MORVANE_SOURCE_DIR) + "/examples/";
  std::ifstream in(examples + "design-document.json");
  const auto description = nlohmann::json::parse(in);
  nlohmann::ordered_json tables = nlohmann::ordered_json::array();
  for (const auto& sheet : description["sheets"]) {
    if (sheet["table"].get<std::string>().empty()) continue;
    nlohmann::ordered_json fields = nlohmann::ordered_json::array();
    std::vector<std::string> keys;
    for (const auto& field : sheet["fields"]) {
      const std::string name = field[0];
      const std::string size = field[2].is_number() ? std::to_string(field[2].get<int>()) : field[2].get<std::string>();
      fields.push_back({{"name", name}, {"type", field[1]}, {"size", size}, {"nullable", !field[4].get<std::string>().empty()}});
      if (!field[3].get<std::string>().empty()) keys.push_back(name);
    }
    tables.push_back({{"name", sheet["table"]}, {"fields", fields}, {"primaryKeys", keys}});
  }
  const nlohmann::ordered_json expected = {{"tables", tables}};
  const std::string xls = dump(examples + "design-document.xls");
  ASSERT_TRUE(nlohmann::ordered_json::accept(xls)) << xls;
  EXPECT_EQ(nlohmann::ordered_json::parse(xls), expected);
}

TEST(XlsExample, TheXlsAndXlsxTwinsDumpAlike) {
  const std::string examples = std::string(MORVANE_SOURCE_DIR) + "/examples/";
  if (!std::filesystem::exists(examples + "design-document.xlsx")) {
    GTEST_SKIP() << "examples/design-document.xlsx is not there yet: nothing to compare the .xls with";
  }
  const std::string xls = dump(examples + "design-document.xls");
  EXPECT_EQ(xls, dump(examples + "design-document.xlsx"));
  EXPECT_NE(xls.find("受注明細"), std::string::npos) << xls;
}

}  // namespace
}  // namespace morvane
