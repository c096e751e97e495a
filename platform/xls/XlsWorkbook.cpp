#include "platform/xls/XlsWorkbook.h"

#include <strings.h>

#include <algorithm>
#include <climits>
#include <span>
#include <utility>

#include "platform/xls/BiffDecrypt.h"
#include "platform/xls/BiffGlobals.h"
#include "platform/xls/BiffRecords.h"
#include "platform/xls/BiffSheet.h"
#include "platform/xls/CompoundFile.h"

namespace morvane::platform {
namespace {

const char* const kPasswordProtected =
    "パスワードで保護されています。パスワードなしで保存し直してから読み込んでください";

class XlsWorkbook : public Workbook {
 public:
  XlsWorkbook(CompoundFile file, const CompoundFile::Entry& stream) : file_(std::move(file)) {
    stream_ = file_.read(stream);
  }

  // Throws WorkbookOpenError when the workbook is encrypted or in a format not read.
  void readGlobals() {
    BiffRecordReader reader(stream_, 0);
    globals_ = readBiffGlobals(reader);
    if (!globals_.encrypted) return;
    // Encrypted with the spreadsheet's default password, it opens without asking; with any
    // other password it does not.
    if (!globals_.biff8 || !decryptWithDefaultPassword(stream_, globals_.filePass, decrypted_)) {
      throw WorkbookOpenError(kPasswordProtected);
    }
    stream_ = decrypted_.bytes();
    BiffRecordReader again(stream_, 0);
    globals_ = readBiffGlobals(again);
  }

  std::int32_t sheetCount() const override {
    // Sheet numbers are 32-bit; a workbook cannot hold that many sheets anyway.
    return static_cast<std::int32_t>(std::min<std::size_t>(globals_.worksheets.size(), INT32_MAX));
  }

  using Workbook::readSheet;
  SheetCells readSheet(std::int32_t n, const SheetReach& reach) override {
    if (n < 1 || n > sheetCount()) throw WorkbookError("シート番号 " + std::to_string(n) + " はありません");
    const BiffSheetEntry& entry = globals_.worksheets[static_cast<std::size_t>(n - 1)];
    if (entry.offset >= stream_.size()) {
      throw WorkbookError("シート「" + entry.name + "」の開始位置がストリームの外です");
    }
    BiffRecordReader reader(stream_, entry.offset);
    return readBiffSheet(reader, globals_, SheetCells(entry.name, reach));
  }

 private:
  CompoundFile file_;
  std::span<const std::uint8_t> stream_;  // in the file's mapping, gathered by file_, or decrypted_
  StreamBytes decrypted_;
  BiffGlobals globals_;
};

bool hasChild(const CompoundFile& file, const char* wanted) {
  return std::any_of(file.rootEntries().begin(), file.rootEntries().end(),
                     [&](const CompoundFile::Entry& entry) { return strcasecmp(entry.name.c_str(), wanted) == 0; });
}

// The workbook stream: "Workbook" in BIFF8, "Book" in BIFF5; some writers change the case.
// Without one, the reason says what the compound file holds instead, when that is known.
const CompoundFile::Entry& findWorkbookStream(const CompoundFile& file) {
  for (const char* wanted : {"Workbook", "Book"}) {
    for (const auto& entry : file.rootEntries()) {
      // A storage of that name is not the stream.
      if (entry.stream && strcasecmp(entry.name.c_str(), wanted) == 0) return entry;
    }
  }
  // An encrypted .xlsx is a compound file around the encrypted zip package.
  if (hasChild(file, "EncryptedPackage") || hasChild(file, "EncryptionInfo")) throw WorkbookOpenError(kPasswordProtected);
  if (hasChild(file, "WordDocument")) throw WorkbookOpenError("Word 文書です (Excel のブックではありません)");
  if (hasChild(file, "PowerPoint Document")) throw WorkbookOpenError("PowerPoint のプレゼンテーションです (Excel のブックではありません)");
  throw WorkbookOpenError("複合ファイルですが、Excel のブックのストリーム (Workbook) がありません");
}

}  // namespace

std::unique_ptr<Workbook> openXlsWorkbook(const std::string& path) {
  CompoundFile file = CompoundFile::open(path);
  const CompoundFile::Entry stream = findWorkbookStream(file);
  auto book = std::make_unique<XlsWorkbook>(std::move(file), stream);
  try {
    book->readGlobals();
  } catch (const WorkbookOpenError&) {
    throw;
  } catch (const WorkbookError& damage) {
    throw WorkbookOpenError(std::string("ブックの内容が壊れています: ") + damage.what());
  }
  return book;
}

}  // namespace morvane::platform
