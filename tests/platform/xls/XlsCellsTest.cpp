// .xls workbooks as text: every cell record, shared strings cut by CONTINUE records, date
// formats, code pages, encryption, compound file layouts and files written by python3-xlwt
// (tests/fixtures/xls/make-fixtures.py).
#include <gtest/gtest.h>

#include <cstdio>
#include <limits>

#include "tests/platform/WorkbookTestSupport.h"
#include "tests/support/UnreadableXls.h"

namespace morvane::test {
namespace {

using Kind = BiffWriter::SheetKind;

std::string fixture(const std::string& name) {
  return readBytes(std::string(MORVANE_SOURCE_DIR) + "/tests/fixtures/xls/" + name);
}

Book everyKindOfCellRecord() {
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
  writer.formulaResult(s, 4, 1, 0, 0, &text);
  writer.formulaResult(s, 4, 2, 1, 1);
  writer.formulaResult(s, 4, 3, 1, 0);
  writer.formulaResult(s, 4, 4, 3, 0);
  writer.formulaResult(s, 4, 5, 0, 0);  // no STRING record: no cached result
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
  // The error values, of BOOLERR and of formulas.
  const std::pair<std::uint8_t, const char*> codes[] = {{0x00, "#NULL!"}, {0x07, "#DIV/0!"},
                                                        {0x0F, "#VALUE!"}, {0x17, "#REF!"}, {0x1D, "#NAME?"},
                                                        {0x24, "#NUM!"}, {0x2A, "#N/A"}};
  std::vector<CellIs> cells = {
      {0, 0, "値"},      {1, 1, "共有の文字列"}, {1, 2, "LABELの文字列 "}, {2, 1, "10"},   {2, 2, "0.3"},
      {2, 3, "-12.25"}, {3, 1, "-536870912"},   {3, 2, "12.34"},          {3, 3, "1.5"},  {3, 4, "0.015"},
      {4, 3, "7"},      {4, 4, "8"},            {4, 5, "0.25"},           {5, 1, "3"},    {5, 2, text},
      {5, 3, "True"},   {5, 4, "False"},        {5, 5, ""},               {5, 6, ""},     {5, 7, "99"},
      {6, 1, "True"},   {6, 2, "False"},        {7, 1, ""},               {8, 2, ""},     {8, 3, "3"},
      {999, 99, "1"},   {1000, 1, ""},          {1, 100, ""}};
  for (int i = 0; i < 7; ++i) {
    writer.boolErr(s, 10 + i, 0, codes[i].first, true);
    writer.formulaResult(s, 10 + i, 27, 2, codes[i].first);
    cells.push_back({11 + i, 1, codes[i].second});
    cells.push_back({11 + i, 28, codes[i].second});
  }
  return {"every kind of cell record", writer.bytes(), {{1, cells}}, 1};
}

// Small records, so nearly every string is cut somewhere; and the same table in one record.
// Another sheet points at the strings backwards, each twice, so they are found again out of
// table order and across record boundaries both ways; then the first sheet is read again.
Book sharedStringsAcrossContinueRecords(std::size_t recordSize) {
  const std::vector<BiffWriter::SharedString> strings = {
      {"abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz"},  // 8-bit halves
      {"日本語のとても長いテーブル名がレコードの境目をまたいで続きます"},  // 16-bit halves
      {"abcdefghijklmnopqrstuvwxyz日本語の続き"},                          // 8-bit, then 16-bit
      {"日本語の後にASCIIだけが続きます: abcdefghijklmnopqrstuvwxyz"},     // 16-bit, then 8-bit
      {"書式付きの文字列で、書式の並びも分かれます", 9},                   // rich-text runs
      {"ふりがな付きの氏名", 2, std::string(70, '\x05')},                  // phonetic data
      {""},
      {"Café ü 😀"},  // Latin-1 and a surrogate pair
      {"最後"},
  };
  BiffWriter writer(recordSize);
  const auto s = writer.addSheet("SST"), again = writer.addSheet("逆順");
  std::vector<CellIs> forwards, backwards;
  for (std::size_t i = 0; i < strings.size(); ++i) {
    const int row = static_cast<int>(i);
    const auto index = static_cast<unsigned>(strings.size() - 1 - i);
    writer.labelSst(s, row, 2, strings[i]);
    forwards.push_back({row + 1, 3, strings[i].text});
    for (const unsigned col : {2, 4}) {
      writer.sheetRecord(again, 0x00FD, le16(row) + le16(col) + le16(0) + le32(index));
      backwards.push_back({row + 1, static_cast<int>(col) + 1, strings[index].text});
    }
  }
  return {"shared strings in records of " + std::to_string(recordSize), writer.bytes(),
          {{1, forwards}, {2, backwards}, {1, forwards}}};
}

Book dates(bool date1904) {
  BiffWriter writer;
  writer.setDate1904(date1904);
  const auto builtinDate = writer.addXf(14), builtinTime = writer.addXf(21), percent = writer.addXf(10);
  const auto customDateTime = writer.addXf(writer.addFormat("yyyy\"年\"m\"月\"d\"日\" h:mm"));
  const auto customNumber = writer.addXf(writer.addFormat("#,##0.00\"円\""));
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
  const std::string day = date1904 ? "2028/01/02" : "2024/01/01";
  // In the 1904 system a time of day still falls on the system's first day.
  return {std::string("dates, 1904 system: ") + (date1904 ? "yes" : "no"), writer.bytes(),
          {{1,
            {{1, 1, day}, {2, 1, day}, {3, 1, date1904 ? "1904/01/01 18:00:00" : "18:00:00"},
             {4, 1, day + " 12:00:00"}, {5, 1, day}, {6, 1, "45292"}, {7, 1, "0.5"}, {8, 1, "-1"},
             {9, 2, date1904 ? "2028/01/03" : "2024/01/02"}}}}};
}

std::vector<Book> shapesOtherReadersRead() {
  auto withBiff5 = [](std::uint16_t codePage, const std::string& bytes) {
    BiffWriter writer(8224, true, codePage);
    writer.label(writer.addSheet("S"), 0, 0, bytes);
    return writer.bytes();
  };
  auto withSheetRecord = [](std::uint16_t type, const std::string& body) {
    BiffWriter writer;
    const auto s = writer.addSheet("S");
    writer.sheetRecord(s, type, body);
    writer.number(s, 1, 0, 7);
    return writer.bytes();
  };
  // A 16-bit string cut by the table's record, one byte left over at the cut, then an empty
  // CONTINUE before the one holding the rest.
  BiffWriter leftover(23);
  leftover.labelSst(leftover.addSheet("S"), 0, 0, "日本語のとても長いテーブル名");
  const std::string extra = std::string(1, 'x') + le16(0x003C) + le16(0);
  const std::size_t sheetAt = recordsOfType(leftover.stream(), 0x0809)[1];
  leftover.setSheetOffset(0, static_cast<std::uint32_t>(sheetAt + extra.size()));
  std::string withLeftover = leftover.stream();
  const std::size_t sst = recordsOfType(withLeftover, 0x00FC)[0], length = u16At(withLeftover, sst + 2);
  withLeftover.insert(sst + 4 + length, extra).replace(sst + 2, 2, le16(static_cast<unsigned>(length + 1)));
  BiffWriter badFormat;
  badFormat.globalRecord(0x041E, le16(164) + le16(200) + std::string(1, '\0') + "0.0");
  badFormat.number(badFormat.addSheet("S"), 0, 0, 5, badFormat.addXf(164));
  BiffWriter notANumber;
  notANumber.number(notANumber.addSheet("S"), 0, 0, std::numeric_limits<double>::quiet_NaN());
  notANumber.formulaNumber(0, 0, 1, -std::numeric_limits<double>::infinity());
  const std::string formulaBody = std::string(12, '\0') + "\x08\x40" + std::string(8, '\0');
  // After a number, a CONTINUE whose bytes look like a cell record is no cell; a LABEL whose
  // characters go on in a CONTINUE, from 8-bit to 16-bit characters.
  BiffWriter continued;
  const auto c = continued.addSheet("続き");
  continued.number(c, 0, 0, 5);
  continued.sheetRecord(c, 0x003C, le16(0x00FD) + le16(10) + le16(1) + le16(1) + le16(0) + le32(0));
  continued.sheetRecord(c, 0x0204, le16(1) + le16(0) + le16(0) + le16(6) + std::string("\x00" "abc", 4));
  continued.sheetRecord(c, 0x003C, std::string("\x01" "d\0e\0\x42\x30", 7));
  continued.labelSst(c, 2, 0, "後");
  return {
      {"code page 1258 holding back a last letter", withBiff5(1258, "Format"), {{1, {{1, 1, "Format"}}}}},
      {"code page 1255", withBiff5(1255, "\xF9\xEC\xE5\xED"), {{1, {{1, 1, "שלום"}}}}},
      {"a FORMAT record whose text runs past its end", badFormat.bytes(), {{1, {{1, 1, "5"}}}}},
      {"an empty LABEL without its option byte", withSheetRecord(0x0204, std::string(8, '\0')),
       {{1, {{1, 1, ""}, {2, 1, "7"}}}}},
      {"a FORMULA record of BIFF4", withSheetRecord(0x0406, formulaBody), {{1, {{1, 1, "3"}, {2, 1, "7"}}}}},
      {"numbers that are not ones", notANumber.bytes(), {{1, {{1, 1, "#NUM!"}, {1, 2, "#NUM!"}}}}},
      {"a leftover byte and an empty CONTINUE", xlsOf(withLeftover),
       {{1, {{1, 1, "日本語のとても長いテーブル名"}}}}},
      {"CONTINUE records after cells", continued.bytes(),
       {{1, {{1, 1, "5"}, {2, 1, "abcdeあ"}, {3, 1, "後"}, {2, 2, ""}}}}},
  };
}

TEST(XlsCells, EachBookReadsAsExpected) {
  std::vector<Book> books = {everyKindOfCellRecord(), sharedStringsAcrossContinueRecords(23),
                             sharedStringsAcrossContinueRecords(8224), dates(false), dates(true)};
  for (Book& shape : shapesOtherReadersRead()) books.push_back(std::move(shape));

  // Only worksheets count, hidden ones too, in workbook order; each found by its own offset.
  BiffWriter order;
  const auto first = order.addSheet("表紙");
  order.addSheet("グラフ", Kind::Chart);
  const auto hidden = order.addSheet("隠し", Kind::Worksheet, true);
  order.addSheet("Macro1", Kind::Macro);
  const auto last = order.addSheet("最後");
  order.labelSst(first, 2, 2, "一枚目");
  order.labelSst(hidden, 2, 2, "二枚目");
  order.labelSst(last, 2, 2, "三枚目");
  books.push_back({"sheet order", order.bytes(),
                   {{3, {{0, 0, "最後"}, {3, 3, "三枚目"}}}, {1, {{0, 0, "表紙"}, {3, 3, "一枚目"}}},
                    {2, {{0, 0, "隠し"}, {3, 3, "二枚目"}}}}, 3});

  // A BIFF5 "Book" stream in code page 932: Shift_JIS bytes for 顧客.
  const std::string customer = "\x8C\xDA\x8B\x71", customerId = customer + "ID";
  BiffWriter biff5(8224, true, 932);
  const auto date = biff5.addXf(biff5.addFormat("yyyy/mm/dd"));
  const auto s = biff5.addSheet(customer);
  biff5.label(s, 2, 2, customer);
  biff5.label(s, 5, 3, customerId);
  biff5.number(s, 5, 4, 45292, date);
  biff5.formulaResult(s, 5, 5, 0, 0, &customerId);
  biff5.rk(s, 5, 6, BiffWriter::rkInteger(5));
  books.push_back({"BIFF5 in code page 932", biff5.bytes(),
                   {{1,
                     {{0, 0, "顧客"}, {3, 3, "顧客"}, {6, 4, "顧客ID"}, {6, 5, "2024/01/01"},
                      {6, 6, "顧客ID"}, {6, 7, "5"}}}}});

  // The spreadsheet's default password opens an encrypted workbook, by either kind of RC4.
  BiffWriter secret;
  secret.labelSst(secret.addSheet("シート1"), 2, 2, "顧客");
  for (int row = 10; row < 200; ++row) secret.number(0, row, 3, row);  // past the first key's 1024 bytes
  for (const unsigned keyBits : {0u, 40u, 56u, 128u}) {
    books.push_back({"RC4 key of " + std::to_string(keyBits),
                     xlsOf(BiffWriter::encrypted(secret.stream(), "VelvetSweatshop", keyBits)),
                     {{1, {{3, 3, "顧客"}, {11, 4, "10"}, {200, 4, "199"}}}}});
  }
  // A table claiming four billion strings holds two.
  BiffWriter counted;
  counted.labelSst(counted.addSheet("S"), 2, 2, "顧客");
  counted.labelSst(0, 3, 2, "二つ目");
  counted.setSharedStringCount(0xFFFFFFFF);
  books.push_back({"shared string count", counted.bytes(), {{1, {{3, 3, "顧客"}, {4, 3, "二つ目"}}}}});

  // Compound file layouts: sectors out of order, a last sector without its padding, allocation
  // sectors beyond the header, a directory of three sectors (small streams in the mini stream),
  // a directory chain looping back on itself (read up to the loop, which here is all of it).
  const std::string sound = soundXlsBytes();
  const std::vector<CellIs> soundCells = {
      {3, 3, "顧客"}, {6, 4, "顧客番号"}, {7, 4, "6"}, {200, 4, "199"}, {400, 4, "399"}};
  std::vector<std::pair<std::string, std::string>> streams;
  for (int i = 0; i < 7; ++i) streams.emplace_back(std::to_string(i), std::string(i % 2 ? 9 : 5000, 'x'));
  BiffWriter small;
  small.labelSst(small.addSheet("表"), 2, 2, "顧客");
  streams.emplace_back("workbook", small.stream());
  const std::uint32_t directory = u32At(sound, 0x30);
  for (const auto& [what, bytes] : std::vector<std::pair<std::string, std::string>>{
           {"sectors swapped", withSectorsSwapped(sound)},
           {"last sector unpadded", withLastSectorUnpadded(sound).first},
           {"allocation list beyond the header", withAllocationListBeyondTheHeader(sound).first},
           {"looped directory", std::string(sound).replace(fatAt(sound, directory), 4, le32(directory))},
       }) {
    books.push_back({what, bytes, {{1, soundCells}}});
  }
  books.push_back({"directory of three sectors", BiffWriter::compoundFile(streams), {{1, {{3, 3, "顧客"}}}}});

  // Files written by python3-xlwt.
  std::vector<CellIs> values = {{0, 0, "値"}, {6, 1, ""}, {6, 2, ""}, {999, 99, "last"}, {1000, 1, ""}};
  const char* texts[5][4] = {{"text", " 前後に空白 ", "\u3000", "日本語テキスト"},
                             {"10", "1.5", "0.3", "-12.25"},
                             {"123456789012345", "1E+15", "1E-06", "1099511627776"},
                             {"True", "False", "", ""},
                             {"2024/01/01", "2024/01/01 12:34:56", "18:00:00", "45292"}};
  for (int row = 0; row < 5; ++row) {
    for (int col = 0; col < 4; ++col) values.push_back({row + 1, col + 1, texts[row][col]});
  }
  books.push_back({"xlwt values", fixture("xlwt-values.xls"), {{1, values}, {2, {{3, 3, "隠しシート"}}}}, 2});
  books.push_back({"xlwt 1904", fixture("xlwt-1904.xls"), {{1, {{1, 1, "2024/01/01"}, {1, 2, "45292"}}}}});
  std::vector<CellIs> longStrings;
  for (int r = 0; r < 40; ++r) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "列%02d:", r);
    std::string text = prefix;
    for (int i = 0; i < 30; ++i) text += r % 2 ? "日本語の長い説明文" : "long ascii text ";
    longStrings.push_back({r + 1, 1, text});
  }
  books.push_back({"xlwt long strings", fixture("xlwt-long-strings.xls"), {{1, longStrings}}});
  books.push_back({"xlwt design", fixture("xlwt-design.xls"),
                   {{1, {{0, 0, "表紙"}, {3, 3, ""}}},
                    {2, {{3, 3, "顧客"}, {6, 4, "ID"}, {6, 5, "int"}, {6, 6, "4"}, {6, 7, "○"}, {6, 9, ""},
                         {7, 4, "名前"},
                         {7, 6, "50"}, {7, 9, "○"}, {8, 4, "登録日"}, {8, 5, "date"}, {8, 6, ""}}},
                    {3, {{3, 3, "注文"}}}}, 3});
  expectBooks(books);
}

}  // namespace
}  // namespace morvane::test
