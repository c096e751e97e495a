#include <gtest/gtest.h>

#include <limits>

#include "tests/platform/WorkbookTestSupport.h"

namespace morvane::test {
namespace {

using platform::WorkbookError;

TEST(XlsCells, EveryKindOfCellRecordBecomesText) {
  TempDir dir;
  BiffWriter writer;
  const auto s = writer.addSheet("値");
  writer.labelSst(s, 0, 0, "共有の文字列");
  writer.label(s, 0, 1, "LABELの文字列 ");
  writer.number(s, 1, 0, 10);
  writer.number(s, 1, 1, 0.1 + 0.2);
  writer.number(s, 1, 2, -12.25);
  writer.rk(s, 2, 0, BiffWriter::rkInteger(-536870912));
  writer.rk(s, 2, 1, BiffWriter::rkInteger(1234, true));
  writer.rk(s, 2, 2, BiffWriter::rkDouble(1.5));
  writer.rk(s, 2, 3, BiffWriter::rkDouble(1.5, true));
  writer.mulRk(s, 3, 2, {BiffWriter::rkInteger(7), BiffWriter::rkInteger(8), BiffWriter::rkDouble(0.25)});
  writer.formulaNumber(s, 4, 0, 3);
  const std::string text = "=Cover!C3 の結果";
  writer.formulaString(s, 4, 1, &text);
  writer.formulaBoolean(s, 4, 2, true);
  writer.formulaBoolean(s, 4, 3, false);
  writer.formulaEmpty(s, 4, 4);
  writer.formulaString(s, 4, 5, nullptr);  // no STRING record: no cached result
  writer.number(s, 4, 6, 99);              // and the next cell is not taken for it
  writer.boolErr(s, 5, 0, 1, false);
  writer.boolErr(s, 5, 1, 0, false);
  writer.blank(s, 6, 0);
  writer.mulBlank(s, 6, 1, 3);
  // A chart substream embedded in the sheet, holding a cell record of its own.
  writer.sheetRecord(s, 0x0809, std::string("\x00\x06\x20\x00", 4) + std::string(12, '\0'));
  writer.number(s, 7, 1, 666);
  writer.sheetRecord(s, 0x000A, {});
  writer.number(s, 7, 2, 3);
  writer.number(s, 998, 98, 1);  // row 999, column 99: still kept
  writer.number(s, 999, 0, 1);   // row 1000: beyond what is read
  writer.number(s, 0, 99, 1);    // column 100
  const auto book = saveAndOpen(writer, dir);
  ASSERT_TRUE(book);
  ASSERT_EQ(book->sheetCount(), 1);
  const auto sheet = book->readSheet(1);
  EXPECT_EQ(sheet.name(), "値");
  expectCells(sheet, {{1, 1, "共有の文字列"}, {1, 2, "LABELの文字列 "}, {2, 1, "10"}, {2, 2, "0.3"},
                      {2, 3, "-12.25"},      {3, 1, "-536870912"},      {3, 2, "12.34"}, {3, 3, "1.5"},
                      {3, 4, "0.015"},       {4, 3, "7"},               {4, 4, "8"},     {4, 5, "0.25"},
                      {5, 1, "3"},           {5, 2, text},              {5, 3, "True"},  {5, 4, "False"},
                      {5, 5, ""},            {5, 6, ""},                {5, 7, "99"},    {6, 1, "True"},
                      {6, 2, "False"},       {8, 2, ""},                {8, 3, "3"},     {999, 99, "1"}});
  EXPECT_EQ(sheet.size(), 23u);  // blanks and cells beyond the limits hold nothing
}

TEST(XlsCells, ErrorValuesOfBoolErrAndFormulasThrowWhenRead) {
  const std::pair<std::uint8_t, const char*> codes[] = {
      {0x00, "#NULL!"}, {0x07, "#DIV/0!"}, {0x0F, "#VALUE!"}, {0x17, "#REF!"},
      {0x1D, "#NAME?"}, {0x24, "#NUM!"},   {0x2A, "#N/A"}};
  TempDir dir;
  BiffWriter writer;
  const auto s = writer.addSheet("エラー");
  for (int i = 0; i < 7; ++i) {
    writer.boolErr(s, i, 0, codes[i].first, true);
    writer.formulaError(s, i, 27, codes[i].first);
  }
  const auto book = saveAndOpen(writer, dir);
  ASSERT_TRUE(book);
  const auto sheet = book->readSheet(1);
  for (int i = 0; i < 7; ++i) {
    SCOPED_TRACE(codes[i].second);
    for (const auto& [col, ref] : {std::pair{1, "A"}, std::pair{28, "AB"}}) {
      const std::string message = cellError(sheet, i + 1, col);
      EXPECT_NE(message.find(codes[i].second), std::string::npos) << message;
      EXPECT_NE(message.find(ref + std::to_string(i + 1)), std::string::npos) << message;
      EXPECT_NE(message.find("エラー"), std::string::npos) << message;
    }
  }
}

TEST(XlsCells, SharedStringsSplitAcrossContinueRecordsReadWhole) {
  const std::vector<BiffWriter::SharedString> strings = {
      {"abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz"},  // 8-bit halves
      {"日本語のとても長いテーブル名がレコードの境目をまたいで続きます"},  // 16-bit halves
      {"abcdefghijklmnopqrstuvwxyz日本語の続き"},                          // 8-bit, then 16-bit
      {"日本語の後にASCIIだけが続きます: abcdefghijklmnopqrstuvwxyz"},     // 16-bit, then 8-bit
      {"書式付きの文字列で、書式の並びも分かれます", 9},                   // rich-text runs
      {"ふりがな付きの氏名", 2, std::string(70, '\x05')},                  // phonetic data
      {""},
      {"Café ü 😀"},                                                      // Latin-1 and a surrogate pair
      {"最後"},
  };
  TempDir dir;
  // Small records, so nearly every string is cut somewhere; and the same table in one record.
  for (const std::size_t recordSize : {std::size_t{23}, std::size_t{8224}}) {
    SCOPED_TRACE(recordSize);
    BiffWriter writer(recordSize);
    const auto s = writer.addSheet("SST");
    for (std::size_t i = 0; i < strings.size(); ++i) writer.labelSst(s, static_cast<int>(i), 2, strings[i]);
    // Another sheet points at the same strings backwards, each one twice, so they are found
    // again out of table order and across record boundaries both ways.
    const auto again = writer.addSheet("逆順");
    for (std::size_t i = 0; i < strings.size(); ++i) {
      const auto index = static_cast<std::uint32_t>(strings.size() - 1 - i);
      for (const std::uint16_t col : {2, 4}) {
        writer.sheetRecord(again, 0x00FD, le16(static_cast<unsigned>(i)) + le16(col) + le16(0) + le32(index));
      }
    }
    if (recordSize < 100) {
      EXPECT_GT(recordsOfType(writer.stream(), 0x003C).size(), 20u) << "the table must be cut";
    }
    const auto book = saveAndOpen(writer, dir);
    ASSERT_TRUE(book);
    const auto sheet = book->readSheet(1);
    for (std::size_t i = 0; i < strings.size(); ++i) {
      EXPECT_EQ(sheet.text(static_cast<int>(i) + 1, 3), strings[i].text);
    }
    const auto backwards = book->readSheet(2);
    for (std::size_t i = 0; i < strings.size(); ++i) {
      const std::string& expected = strings[strings.size() - 1 - i].text;
      EXPECT_EQ(backwards.text(static_cast<int>(i) + 1, 3), expected);
      EXPECT_EQ(backwards.text(static_cast<int>(i) + 1, 5), expected);
    }
    // By now every string has been asked for three times: the first sheet again reads them
    // from what was kept.
    const auto first = book->readSheet(1);
    for (std::size_t i = 0; i < strings.size(); ++i) {
      EXPECT_EQ(first.text(static_cast<int>(i) + 1, 3), strings[i].text);
    }
  }
}

TEST(XlsCells, ContinueRecordsAfterCellsBelongToStringsOnly) {
  TempDir dir;
  BiffWriter writer;
  const auto s = writer.addSheet("続き");
  writer.number(s, 0, 0, 5);
  // After a number, a CONTINUE whose bytes look like a cell record is no cell.
  writer.sheetRecord(s, 0x003C, le16(0x00FD) + le16(10) + le16(1) + le16(1) + le16(0) + le32(0));
  // A LABEL whose characters go on in a CONTINUE, from 8-bit to 16-bit characters.
  writer.sheetRecord(s, 0x0204, le16(1) + le16(0) + le16(0) + le16(6) + std::string("\x00" "abc", 4));
  writer.sheetRecord(s, 0x003C, std::string("\x01", 1) + "d" + std::string(1, '\0') + "e" +
                                    std::string(1, '\0') + "\x42\x30");
  writer.labelSst(s, 2, 0, "後");
  const auto book = saveAndOpen(writer, dir);
  ASSERT_TRUE(book);
  const auto sheet = book->readSheet(1);
  expectCells(sheet, {{1, 1, "5"}, {2, 1, "abcdeあ"}, {3, 1, "後"}});
  EXPECT_EQ(sheet.size(), 3u);
}

TEST(XlsCells, DateFormatsGiveDatesAndOtherFormatsNumbers) {
  TempDir dir;
  for (const bool date1904 : {false, true}) {
    SCOPED_TRACE(date1904);
    BiffWriter writer;
    writer.setDate1904(date1904);
    const auto builtinDate = writer.addXf(14);
    const auto builtinTime = writer.addXf(21);
    const auto customDateTime = writer.addXf(writer.addFormat("yyyy\"年\"m\"月\"d\"日\" h:mm"));
    const auto customNumber = writer.addXf(writer.addFormat("#,##0.00\"円\""));
    const auto percent = writer.addXf(10);
    const auto s = writer.addSheet("日付");
    writer.number(s, 0, 0, 45292, builtinDate);
    writer.rk(s, 1, 0, BiffWriter::rkInteger(45292), builtinDate);
    writer.number(s, 2, 0, 0.75, builtinTime);
    writer.number(s, 3, 0, 45292.5, customDateTime);
    writer.formulaNumber(s, 4, 0, 45292, customDateTime);
    writer.number(s, 5, 0, 45292, customNumber);
    writer.number(s, 6, 0, 0.5, percent);
    writer.number(s, 7, 0, -1, builtinDate);  // no date can show it: a number
    writer.mulRk(s, 8, 0, {BiffWriter::rkInteger(45292), BiffWriter::rkInteger(45293)}, builtinDate);
    const auto book = saveAndOpen(writer, dir);
    ASSERT_TRUE(book);
    const std::string day = date1904 ? "2028/01/02" : "2024/01/01";
    // In the 1904 system a time of day still falls on the system's first day.
    expectCells(book->readSheet(1), {{1, 1, day},
                                     {2, 1, day},
                                     {3, 1, date1904 ? "1904/01/01 18:00:00" : "18:00:00"},
                                     {4, 1, day + " 12:00:00"},
                                     {5, 1, day},
                                     {6, 1, "45292"},
                                     {7, 1, "0.5"},
                                     {8, 1, "-1"},
                                     {9, 2, date1904 ? "2028/01/03" : "2024/01/02"}});
  }
}

// Shapes seen in other programs' files, each with the cells it must read; a text starting
// with '#' is an error value read.
TEST(XlsCells, ShapesOtherReadersRead) {
  auto withBiff5 = [](std::uint16_t codePage, const std::string& bytes) {
    BiffWriter writer(8224, true, codePage);
    writer.label(writer.addSheet("S"), 0, 0, bytes);
    return writer.stream();
  };
  auto withSheetRecord = [](std::uint16_t type, const std::string& body) {
    BiffWriter writer;
    const auto s = writer.addSheet("S");
    writer.sheetRecord(s, type, body);
    writer.number(s, 1, 0, 7);
    return writer.stream();
  };
  // A 16-bit string cut by the table's record, one byte left over at the cut, then an empty
  // CONTINUE before the one holding the rest.
  auto withLeftoverAndEmptyContinue = [] {
    BiffWriter writer(23);
    writer.labelSst(writer.addSheet("S"), 0, 0, "日本語のとても長いテーブル名");
    const std::string extra = std::string(1, 'x') + le16(0x003C) + le16(0);
    std::string stream = writer.stream();
    writer.setSheetOffset(0, static_cast<std::uint32_t>(recordsOfType(stream, 0x0809)[1] + extra.size()));
    stream = writer.stream();
    const std::size_t sst = recordsOfType(stream, 0x00FC)[0];
    const unsigned length = u16At(stream, sst + 2);
    stream.insert(sst + 4 + length, extra);
    stream.replace(sst + 2, 2, le16(length + 1));
    return stream;
  };
  BiffWriter badFormat;
  badFormat.globalRecord(0x041E, le16(164) + le16(200) + std::string(1, '\0') + "0.0");
  badFormat.number(badFormat.addSheet("S"), 0, 0, 5, badFormat.addXf(164));
  BiffWriter notANumber;
  notANumber.number(notANumber.addSheet("S"), 0, 0, std::numeric_limits<double>::quiet_NaN());
  notANumber.formulaNumber(0, 0, 1, -std::numeric_limits<double>::infinity());
  const std::string formulaBody = le16(0) + le16(0) + le16(0) + std::string("\0\0\0\0\0\0\x08\x40", 8) + std::string(8, '\0');
  const struct {
    const char* what;
    std::string stream;
    std::vector<CellIs> cells;
  } shapes[] = {
      {"code page 1258 holding back the last character", withBiff5(1258, "Format"), {{1, 1, "Format"}}},
      {"code page 1255", withBiff5(1255, "\xF9\xEC\xE5\xED"), {{1, 1, "שלום"}}},
      {"a FORMAT record whose text runs past its end", badFormat.stream(), {{1, 1, "5"}}},
      {"an empty LABEL without its option byte", withSheetRecord(0x0204, le16(0) + le16(0) + le16(0) + le16(0)),
       {{1, 1, ""}, {2, 1, "7"}}},
      {"a FORMULA record of BIFF4", withSheetRecord(0x0406, formulaBody), {{1, 1, "3"}, {2, 1, "7"}}},
      {"numbers that are not ones", notANumber.stream(), {{1, 1, "#NUM!"}, {1, 2, "#NUM!"}}},
      {"a leftover byte and an empty CONTINUE in the shared strings", withLeftoverAndEmptyContinue(),
       {{1, 1, "日本語のとても長いテーブル名"}}},
  };
  TempDir dir;
  for (const auto& shape : shapes) {
    SCOPED_TRACE(shape.what);
    const auto book = openStream(shape.stream, dir);
    if (!book) {
      ADD_FAILURE() << "refused";
      continue;
    }
    const auto sheet = book->readSheet(1);
    for (const auto& [row, col, text] : shape.cells) {
      if (text.starts_with('#')) EXPECT_NE(cellError(sheet, row, col).find(text), std::string::npos);
      else EXPECT_EQ(sheet.text(row, col), text) << platform::cellReference(row, col);
    }
  }
}

TEST(XlsCells, OnlyWorksheetsCountInWorkbookOrderHiddenOnesToo) {
  TempDir dir;
  BiffWriter writer;
  const auto first = writer.addSheet("表紙");
  writer.addSheet("グラフ", BiffWriter::SheetKind::Chart);
  const auto hidden = writer.addSheet("隠し", BiffWriter::SheetKind::Worksheet, true);
  writer.addSheet("Macro1", BiffWriter::SheetKind::Macro);
  const auto last = writer.addSheet("最後");
  writer.labelSst(first, 2, 2, "一枚目");
  writer.labelSst(hidden, 2, 2, "二枚目");
  writer.labelSst(last, 2, 2, "三枚目");
  const auto book = saveAndOpen(writer, dir);
  ASSERT_TRUE(book);
  ASSERT_EQ(book->sheetCount(), 3);
  const std::pair<const char*, const char*> expected[] = {{"表紙", "一枚目"}, {"隠し", "二枚目"}, {"最後", "三枚目"}};
  // Out of order, as the reader may ask: each sheet is found by its own offset.
  for (const int n : {3, 1, 2}) {
    const auto sheet = book->readSheet(n);
    EXPECT_EQ(sheet.name(), expected[n - 1].first);
    EXPECT_EQ(sheet.text(3, 3), expected[n - 1].second);
  }
  EXPECT_THROW(book->readSheet(4), WorkbookError);
}

TEST(XlsCells, Biff5BookStreamsDecodeTheirCodePage) {
  TempDir dir;
  // Shift_JIS bytes for 顧客 and 顧客ID, 日付.
  const std::string customer = "\x8C\xDA\x8B\x71";
  const std::string customerId = customer + "ID";
  BiffWriter writer(8224, true, 932);
  const auto date = writer.addXf(writer.addFormat("yyyy/mm/dd"));
  const auto s = writer.addSheet(customer);
  writer.label(s, 2, 2, customer);
  writer.label(s, 5, 3, customerId);
  writer.number(s, 5, 4, 45292, date);
  writer.formulaString(s, 5, 5, &customerId);
  writer.rk(s, 5, 6, BiffWriter::rkInteger(5));
  const auto book = saveAndOpen(writer, dir);
  ASSERT_TRUE(book);
  const auto sheet = book->readSheet(1);
  EXPECT_EQ(sheet.name(), "顧客");
  expectCells(sheet, {{3, 3, "顧客"}, {6, 4, "顧客ID"}, {6, 5, "2024/01/01"}, {6, 6, "顧客ID"}, {6, 7, "5"}});
}

}  // namespace
}  // namespace morvane::test
