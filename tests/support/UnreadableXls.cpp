#include "tests/support/UnreadableXls.h"

#include "tests/support/BiffWriter.h"

namespace morvane::test {
namespace {

BiffWriter oneTable() {
  BiffWriter writer;
  const auto sheet = writer.addSheet("Sheet1");
  writer.labelSst(sheet, 2, 2, "顧客");
  writer.labelSst(sheet, 5, 3, "顧客番号");
  return writer;
}

}  // namespace

std::string soundXlsBytes() {
  // Fields enough for a stream in large sectors, as real workbooks have.
  BiffWriter writer = oneTable();
  for (int row = 6; row < 400; ++row) writer.number(0, row, 3, row);
  return writer.bytes();
}

std::string xlsWithAbsurdStreamCutoff() {
  return soundXlsBytes().replace(0x38, 4, le32(0x10000000));
}

std::vector<UnreadableFile> writeUnreadableXlsFiles(const TempDir& dir) {
  std::vector<UnreadableFile> cases;
  auto add = [&](std::string what, std::string name, const std::string& bytes, std::string reason) {
    writeBytes(dir.file(name), bytes);
    cases.push_back({std::move(what), std::move(name), std::move(reason)});
  };
  const std::string kPassword = "パスワードで保護されています";
  const std::string kDamaged = "複合ファイルの構造が壊れています";

  BiffWriter encrypted = oneTable();
  encrypted.globalRecord(0x002F, le16(1) + std::string(52, '\x11'));
  add("FILEPASS", "encrypted.xls", encrypted.bytes(), kPassword);
  add("encrypted package", "encrypted.xlsx",
      BiffWriter::compoundFile(
          {{"EncryptionInfo", std::string(200, 'i')}, {"EncryptedPackage", std::string(5000, 'p')}}),
      kPassword);

  add("BIFF2", "biff2.xls", BiffWriter::oldBiffStream(2), "Excel 2.1 ワークシート (BIFF2)");
  add("BIFF3", "biff3.xls", BiffWriter::oldBiffStream(3), "Excel 3.0 ワークシート (BIFF3)");
  add("BIFF4", "biff4.xls", BiffWriter::oldBiffStream(4), "Excel 4.0 ワークシート (BIFF4)");
  add("BIFF4W", "excel4.xlw", BiffWriter::oldBiffStream(4, true), "Excel 4.0 ブック (BIFF4W)");
  add("BIFF4 in a compound file", "biff4-compound.xls",
      BiffWriter::compoundFile({{"Book", BiffWriter::oldBiffStream(4)}}), "Excel 4.0 ワークシート (BIFF4)");

  const std::string sound = soundXlsBytes();
  add("header only", "header-only.xls", sound.substr(0, 512), kDamaged);
  add("cut in the header", "cut.xls", sound.substr(0, 300), kDamaged);
  // The first directory sector overwritten.
  add("directory overwritten", "directory.xls",
      std::string(sound).replace((std::size_t{1} << sound.at(0x1E)) * (u32At(sound, 0x30) + 1), 512,
                                 std::string(512, '\xFF')),
      kDamaged);
  add("absurd small-stream cutoff", "cutoff.xls", xlsWithAbsurdStreamCutoff(), kDamaged);

  add("a Word document", "letter.xls", BiffWriter::compoundFile({{"WordDocument", std::string(5000, 'w')}}),
      "Word 文書です");
  add("no workbook stream", "other.xls", BiffWriter::compoundFile({{"Contents", std::string(100, 'c')}}),
      "Excel のブックのストリーム (Workbook) がありません");

  add("text", "notes.xls", "テーブル定義\tメモ\r\n顧客,顧客番号\r\n", "テキストファイルです");
  add("HTML", "page.xls",
      "\xEF\xBB\xBF<!DOCTYPE html>\n<html><body><table><tr><td>1</td></tr></table></body></html>\n",
      "HTML ファイルです");
  add("XML spreadsheet 2003", "sheet2003.xls",
      "<?xml version=\"1.0\"?>\n<?mso-application progid=\"Excel.Sheet\"?>\n"
      "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\"></Workbook>\n",
      "XML スプレッドシート 2003");
  add("PDF", "print.xls", "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n", "PDF ファイルです");
  return cases;
}

}  // namespace morvane::test
