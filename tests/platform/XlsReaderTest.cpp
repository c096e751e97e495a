// The reader over .xls workbooks, end to end: clsExcelDBDoc -> clsExcel -> the BIFF backend.
#include <gtest/gtest.h>

#include "document/clsExcelDBDoc.h"
#include "tests/platform/XlsTestSupport.h"

namespace morvane::test {
namespace {

TEST(XlsReader, FormulaResultsNumbersAndMarksReadIntoTheModel) {
  TempDir dir;
  BiffWriter writer(40);  // small records: the shared strings are split across CONTINUE records
  const auto customers = writer.addSheet("顧客");
  writer.addSheet("グラフ", BiffWriter::SheetKind::Chart);
  const auto numbered = writer.addSheet("番号");
  const auto broken = writer.addSheet("壊れた値");
  // The table name is a formula (=表紙!C3) whose cached result is the name.
  const std::string name = "顧客マスタ（得意先と仕入先を含む、とても長い名前）";
  writer.formulaString(customers, 2, 2, &name);
  writer.labelSst(customers, 5, 3, "顧客ID");
  writer.labelSst(customers, 5, 4, "int");
  writer.labelSst(customers, 5, 6, "○");
  writer.labelSst(customers, 6, 3, " 顧客名 ");
  writer.labelSst(customers, 6, 4, "varchar");
  writer.rk(customers, 6, 5, BiffWriter::rkInteger(50));
  writer.formulaBoolean(customers, 6, 8, true);  // any non-blank NULL mark
  writer.labelSst(customers, 7, 3, "単価");
  writer.labelSst(customers, 7, 4, "decimal");
  writer.labelSst(customers, 7, 5, "10,2");
  writer.labelSst(customers, 7, 6, "\u3000");     // blank: not a key
  writer.mulBlank(customers, 7, 7, 2);
  writer.labelSst(customers, 8, 3, "\u3000 ");    // a blank field name ends the table
  writer.labelSst(customers, 9, 3, "読まれない");
  writer.rk(numbered, 2, 2, BiffWriter::rkInteger(12));
  writer.labelSst(numbered, 5, 3, "ID");
  writer.formulaError(broken, 2, 2, 0x2A);
  const std::string path = dir.file("design.xls");
  writer.save(path);

  clsExcelDBDocInfo layout;
  layout.sbSetPage(1, 2);  // the chart does not count: sheet 2 is 番号
  clsExcelDBDoc reader;
  reader.sbSetDocInfo(layout);
  ASSERT_TRUE(reader.fnReadDBDoc(path));
  const auto& tables = reader.getDBInfo().getTables();
  ASSERT_EQ(tables.size(), 2u);
  EXPECT_EQ(tables[0]->getName(), name);
  const auto& fields = tables[0]->getFields();
  ASSERT_EQ(fields.size(), 3u);
  EXPECT_EQ(fields[1].getName(), " 顧客名 ");
  EXPECT_EQ(fields[1].getSize(), "50");
  EXPECT_TRUE(fields[1].getNull());
  EXPECT_FALSE(fields[2].getNull());
  EXPECT_EQ(fields[2].getSize(), "10,2");
  EXPECT_EQ(tables[0]->getPrimaryKeys(), std::vector<std::string>{"顧客ID"});
  EXPECT_EQ(tables[1]->getName(), "12");

  // Sheet 3's table name is an error value: the read is abandoned with it.
  layout.sbSetPage(1, 3);
  clsExcelDBDoc failing;
  failing.sbSetDocInfo(layout);
  try {
    failing.fnReadDBDoc(path);
    FAIL() << "no error";
  } catch (const platform::WorkbookError& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find("壊れた値"), std::string::npos) << message;
    EXPECT_NE(message.find("C3"), std::string::npos) << message;
    EXPECT_NE(message.find("#N/A"), std::string::npos) << message;
  }
}

}  // namespace
}  // namespace morvane::test
