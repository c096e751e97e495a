// Workbooks from strangers, .xls and .xlsx alike: what is refused when opened and what only when
// a sheet is read, each with the words of the one-line reason the user sees. Never a crash, a
// hang or memory run out. The files are under tests/fixtures/refused; "small" is a one-sheet
// .xls (シート1: 顧客 in C3, numbers in D6 and D7) whose shared string table is at 70.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/platform/WorkbookTestSupport.h"
#include "tests/support/XlsxDamage.h"

namespace morvane::test {
namespace {

struct Refusal {
  std::string what;
  std::string bytes;
  std::vector<std::string> words;
};

void expectReason(const std::string& reason, const std::vector<std::string>& words) {
  for (const std::string& word : words) EXPECT_NE(reason.find(word), std::string::npos) << reason;
  EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
  EXPECT_EQ(reason.find("root:"), std::string::npos) << reason;  // no external entity was read
}

TEST(Refusals, WhatCannotBeOpenedSaysWhy) {
  std::vector<Refusal> rows;
  auto add = [&](const std::string& file, const std::string& what, const std::string& reason) {
    rows.push_back({what + " (" + file + ")", fixtureBytes("refused/" + file), {reason}});
  };
  TempDir dir;
  for (const auto& file : writeUnreadableXlsFiles(dir)) {
    rows.push_back({file.what, readBytes(dir.file(file.name)), {file.reason}});
  }
  for (const auto& package : unreadablePackages())
    rows.push_back({package.label, package.bytes, package.words});

  const std::string broken = "ブックの内容が壊れています: ";
  const std::string noBof = broken + "ブックがBOFレコードで始まっていません";
  const std::string past = broken + "レコードの長さがストリームの外を指しています (位置 ";
  const std::string cut = broken + "レコードがデータの途中で終わっています";
  add("globals-cut-at-0.xls", "an empty workbook stream", noBof);
  add("globals-cut-at-3.xls", "small's stream cut at 3",
      broken + "ブックのストリームがレコードの途中で終わっています (位置 0)");
  add("globals-cut-at-10.xls", "small's stream cut at 10", past + "0)");
  add("globals-cut-in-the-shared-strings.xls", "cut 7 bytes into the shared strings", past + "70)");
  add("no-bof-first.xls", "small's stream without its first 4 bytes", noBof);
  add("biff4-version-word.xls", "BOF version 0x0400", "Excel 4.0 ワークシート (BIFF4)");
  add("biff3-version-word.xls", "BOF version 0x0300", "BIFF3");
  add("unknown-version-word.xls", "BOF version 0x0700", "0x0700");
  add("globals-record-too-long.xls", "the shared strings' length 0xFFF0", past + "70)");
  // Shared strings no cell uses running past the table still stop the open.
  add("shared-string-of-5.xls", "an unused last string of 5 characters holding 4", cut);
  add("shared-string-of-65535.xls", "an unused last string of 65535 characters", cut);
  for (const std::string keyBits : {"0", "40", "56", "128"}) {
    add("wrong-password-key-of-" + keyBits + ".xls", "small encrypted with the password 'secret'",
        "パスワードで保護されています。パスワードなしで保存し直してから読み込んでください");
  }
  // A string of 65535 characters whose CONTINUE records run on to the end of the stream, some
  // of them empty, the rest holding an option byte and nothing more.
  std::string endless = BiffWriter().stream().substr(0, 20) + std::string("\xFC\0\x0D\0", 4) + le32(1) +
                        le32(1) + std::string("\xFF\xFF\0ab", 5);
  for (int i = 0; i < 20000; ++i) {
    endless += i % 2 ? std::string("\x3C\0\0\0", 4) : std::string("\x3C\0\1\0\1", 5);
  }
  rows.push_back(
      {"a CONTINUE chain that never ends", BiffWriter::compoundFile({{"Workbook", endless}}), {cut}});

  const std::string damaged = "複合ファイルの構造が壊れています";
  const std::string unreadable = "ストリーム「Workbook」を読めません";
  add("directory-sector-outside-the-file.xls", "sound.xls, directory at sector 0xFFFFF0", damaged);
  add("truncated.xls", "sound.xls cut to 700 bytes", damaged);
  add("more-allocation-sectors-than-sectors.xls", "sound.xls claiming 0x1000000 of them", "割り当て表");
  add("cut-before-the-last-sector.xls", "cut before the stream's unpadded last sector", unreadable);
  add("chain-ending-before-the-stream.xls", "the stream's chain ending at its first sector", unreadable);
  const auto [listed, list] = withAllocationListBeyondTheHeader(soundXlsBytes());
  rows.push_back(
      {"allocation sector outside", std::string(listed).replace(list, 4, le32(0xFFFFF0)), {"割り当て表"}});
  rows.push_back(
      {"allocation list lost", std::string(listed).replace(0x44, 4, le32(0xFFFFFFFE)), {"割り当て表"}});

  const std::string noDirectory =
      "zip ファイルが壊れています: 中央ディレクトリが見つかりません (ファイルが途中で切れています)";
  rows.push_back(
      {"zip signature, then text", "PK\x03\x04 but nothing of a zip archive follows", {noDirectory}});
  for (const std::string size : {"40", "822", "1635"}) {
    add("zip-cut-to-" + size + "-bytes.xlsx", "a one-cell package cut short", noDirectory);
  }
  rows.push_back({"PK", "PK", {"テキストファイルです (Excel のブックではありません)"}});
  add("a-word-processor-document.xlsx", "word/document.xml only",
      "Word の文書 (.docx) で、Excel のブックではありません");
  // small.xlsx (with shared strings and styles) with "<unclosed>" after one part.
  for (const auto& [file, part] : std::vector<std::pair<std::string, std::string>>{
           {"xl-workbook-xml", "xl/workbook.xml"},
           {"xl-rels-workbook-xml-rels", "xl/_rels/workbook.xml.rels"},
           {"rels-rels", "_rels/.rels"},
           {"xl-sharedstrings-xml", "xl/sharedStrings.xml"},
           {"xl-styles-xml", "xl/styles.xml"}}) {
    add("not-well-formed-" + file + ".xlsx", "an unclosed element", part);
  }
  add("2-gib-declared.xlsx", "xl/workbook.xml declaring 0x7FFFFFF0 bytes", "xl/workbook.xml");

  for (const Refusal& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string reason = openError(fileOf(row.bytes));
    EXPECT_NE(reason, "(opened)");
    expectReason(reason, row.words);
  }
  for (const char* sound : {"xls/small.xls", "xlsx/small.xlsx"}) {
    EXPECT_EQ(openError(fileOf(fixtureBytes(sound))), "(opened)") << sound;
  }
  // What a path may name besides a file.
  for (const auto& [path, reason] : std::vector<std::pair<std::string, std::string>>{
           {"", "ブックのパスが指定されていません"},
           {"   ", "ブックのパスが指定されていません"},
           {dir.file("missing.xlsx"), "ファイルが見つかりません"},
           {dir.path().string(), "ファイルではなくフォルダです"},
           {fileOf(""), "ファイルが空です (0 バイト)"}}) {
    EXPECT_EQ(openError(path), reason) << path;
  }
}

TEST(Refusals, DamageInASheetShowsWhenItIsRead) {
  // The workbook opens, the sheet does not read. small.xls's last NUMBER is at 145, its stream
  // 167 bytes long; the .xlsx ones hold one worksheet.
  const std::string sheet = "シート「シート1」", part = "xl/worksheets/sheet1.xml";
  const std::string broken = part + " が壊れています: ",
                    doctype = "XML の 1 行目: 文書型宣言 (DOCTYPE) があります";
  const std::string pastStrings = "XML の 2 行目: 共有文字列 2 がありません";
  const std::string outside = sheet + "の開始位置がストリームの外です";
  const std::vector<std::tuple<std::string, std::string, std::string>> rows = {
      {"sheet-cut-at-147.xls", "small cut in its last NUMBER's header", sheet},
      {"sheet-cut-at-154.xls", "small cut in its last NUMBER's value", sheet},
      {"sheet-cut-at-165.xls", "small cut in the sheet's EOF", sheet},
      {"sheet-record-past-the-end.xls", "the last NUMBER's length 0xFFFF",
       sheet + ": レコードの長さがストリームの外を指しています (位置 145)"},
      {"sheet-without-its-eof.xls", "the sheet's EOF cut off", sheet + "がEOFレコードなしで終わっています"},
      {"sheet-shared-string-index-1.xls", "a LABELSST in B8 past the one shared string",
       sheet + "のセルB8が共有文字列表にない文字列 (番号 1) を指しています"},
      {"sheet-shared-string-index-4294967295.xls", "a LABELSST in B8 with index 0xFFFFFFFF",
       sheet + "のセルB8が共有文字列表にない文字列 (番号 4294967295) を指しています"},
      {"sheet-offset-4294967280.xls", "BOUNDSHEET offset 0xFFFFFFF0", outside},
      {"sheet-offset-2147483647.xls", "BOUNDSHEET offset 0x7FFFFFFF", outside},
      {"sheet-offset-20.xls", "BOUNDSHEET offset 20", sheet + "がBOFレコードで始まっていません"},
      {"sheet-row-not-closed.xlsx", "a <row> never closed", part},
      {"sheet-string-without-table.xlsx", "a t=\"s\" cell and no shared strings", part},
      {"sheet-reference-1a.xlsx", "a cell reference 1A", part},
      {"sheet-row-number-one.xlsx", "a row numbered \"one\"", part},
      {"sheet-number-twelve.xlsx", "a number cell valued \"twelve\"", part},
      {"sheet-boolean-x.xlsx", "a boolean cell valued \"x\"", part},
      {"sheet-line-of-the-damage.xlsx", "</c> closing <v> on the part's line 4",
       "シート「Sheet1」を読めません: パーツ " + broken +
           "XML の 4 行目: 終了タグ </c> が開始タグ <v> と合いません"},
      // One item more than the table holds, on the quick path for plain items and on the full one.
      {"sheet-string-index-past-plain.xlsx", "string 2 of two plain items", pastStrings},
      {"sheet-string-index-past-reference.xlsx", "string 2, the second item &amp;", pastStrings},
      {"sheet-string-index-past-rich.xlsx", "string 2, the second item a rich run", pastStrings},
      {"sheet-part-missing.xlsx", "the related worksheet part not in the zip",
       "シート「Sheet1」を読めません: パーツ " + part + " がありません"},
      // Worksheet parts are inflated only when their sheet is read.
      {"sheet-checksum.xlsx", "the worksheet's CRC 0", broken + "チェックサム (CRC) が合いません"},
      // Refused by its size, never inflated.
      {"sheet-declared-300-mib.xlsx", "the worksheet part declaring 300 MiB",
       part + " が大きすぎます (314572800 バイト、上限は 268435456 バイト)"},
      {"sheet-garbled-deflate-data.xlsx", "160 bytes of the worksheet's deflate data garbled",
       broken + "圧縮データが壊れています"},
      {"sheet-entity-expansion.xlsx", "entities expanding to 5120 characters", doctype},
      {"sheet-external-entity.xlsx", "an entity naming file:///etc/passwd", doctype},
      {"sheet-doctype.xlsx", "a plain <!DOCTYPE worksheet>", doctype},
  };
  for (const auto& [file, what, reason] : rows) {
    SCOPED_TRACE(what + " (" + file + ")");
    const std::string error = errorOf([&] {
      const auto book = platform::openWorkbook(fileOf(fixtureBytes("refused/" + file)));
      EXPECT_NE(errorOf([&] { book->readSheet(1); }, "(no error)"), "(no error)");
      expectReason(errorOf([&] { book->readSheet(1); }), {reason, reason == part ? "Sheet1" : ""});
    });
    EXPECT_EQ(error, "") << "not opened";
  }
}

// Another program cutting the file short after it was opened changes nothing: the file is read
// into memory, never mapped (a mapped file cut short kills the reader with SIGBUS).
TEST(Refusals, AWorkbookCutShortAfterItWasOpenedStillReads) {
  for (const char* file : {"xlsx/cut-short-later.xlsx", "xls/small.xls"}) {
    const std::string path = fileOf(fixtureBytes(file));
    const auto book = platform::openWorkbook(path);
    std::filesystem::resize_file(path, 0);
    EXPECT_EQ(book->readSheet(1).text(3, 3), "顧客") << file;
  }
}

}  // namespace
}  // namespace morvane::test
