#include "tests/support/UnreadableXls.h"

namespace morvane::test {

std::string fixtureBytes(const std::string& name) {
  return readBytes(std::string(MORVANE_SOURCE_DIR) + "/tests/fixtures/" + name);
}

std::string soundXlsBytes() { return fixtureBytes("xls/sound.xls"); }
std::string xlsWithAbsurdStreamCutoff() { return fixtureBytes("unreadable/cutoff.xls"); }

std::vector<UnreadableFile> writeUnreadableXlsFiles(const TempDir& dir) {
  const std::string kPassword = "パスワードで保護されています";
  const std::string kDamaged = "複合ファイルの構造が壊れています";
  // Copied from tests/fixtures/unreadable, save the text files, written from here.
  std::vector<std::pair<UnreadableFile, std::string>> cases = {
      {{"a FILEPASS record in the globals", "encrypted.xls", kPassword}, {}},
      {{"EncryptionInfo and EncryptedPackage streams", "encrypted.xlsx", kPassword}, {}},
      {{"a bare BIFF2 stream", "biff2.xls", "Excel 2.1 ワークシート (BIFF2)"}, {}},
      {{"a bare BIFF3 stream", "biff3.xls", "Excel 3.0 ワークシート (BIFF3)"}, {}},
      {{"a bare BIFF4 stream", "biff4.xls", "Excel 4.0 ワークシート (BIFF4)"}, {}},
      {{"a BIFF4 workbook naming one sheet", "excel4.xlw", "Excel 4.0 ブック (BIFF4W)"}, {}},
      {{"a BIFF4 stream in a compound file", "biff4-compound.xls", "Excel 4.0 ワークシート (BIFF4)"}, {}},
      {{"sound.xls's header sector only", "header-only.xls", kDamaged}, {}},
      {{"sound.xls cut in its header", "cut.xls", kDamaged}, {}},
      {{"sound.xls's first directory sector overwritten", "directory.xls", kDamaged}, {}},
      {{"sound.xls with an absurd small-stream cutoff", "cutoff.xls", kDamaged}, {}},
      {{"a WordDocument stream", "letter.xls", "Word 文書です"}, {}},
      {{"a Contents stream only", "other.xls", "Excel のブックのストリーム (Workbook) がありません"}, {}},
      {{"text", "notes.xls", "テキストファイルです"}, "テーブル定義\tメモ\r\n顧客,顧客番号\r\n"},
      {{"HTML", "page.xls", "HTML ファイルです"},
       "\xEF\xBB\xBF<!DOCTYPE html>\n<html><body><table><tr><td>1</td></tr></table></body></html>\n"},
      {{"XML spreadsheet 2003", "sheet2003.xls", "XML スプレッドシート 2003"},
       "<?xml version=\"1.0\"?>\n<?mso-application progid=\"Excel.Sheet\"?>\n"
       "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\"></Workbook>\n"},
      {{"PDF", "print.xls", "PDF ファイルです"}, "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n"},
  };
  std::vector<UnreadableFile> files;
  for (auto& [file, text] : cases) {
    writeBytes(dir.file(file.name), text.empty() ? fixtureBytes("unreadable/" + file.name) : text);
    files.push_back(std::move(file));
  }
  return files;
}

}  // namespace morvane::test
