#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <new>

#include "platform/files/Files.h"
#include "platform/workbook/FileKind.h"
#include "platform/workbook/Workbook.h"
#include "platform/xls/XlsWorkbook.h"
#include "platform/xlsx/XlsxWorkbook.h"

namespace morvane::platform {

std::unique_ptr<Workbook> openWorkbook(const std::string& path) {
  if (path.find_first_not_of(" ") == std::string::npos) throw WorkbookOpenError("ブックのパスが指定されていません");
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) throw WorkbookOpenError("ファイルが見つかりません");
  if (S_ISDIR(info.st_mode)) throw WorkbookOpenError("ファイルではなくフォルダです");
  if (const std::string reason = specialFileReason(path); !reason.empty()) throw WorkbookOpenError(reason);
  if (info.st_size == 0) throw WorkbookOpenError("ファイルが空です (0 バイト)");
  // Enough of the start to tell what a file that is not a workbook is.
  char head[512] = {};
  std::size_t headSize = 0;
  {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw WorkbookOpenError("ファイルを開けません (読み取りが許可されていません)");
    file.read(head, sizeof head);
    headSize = static_cast<std::size_t>(file.gcount());
  }
  const auto* magic = reinterpret_cast<const unsigned char*>(head);
  static constexpr unsigned char kZip[4] = {0x50, 0x4B, 0x03, 0x04};
  static constexpr unsigned char kCompound[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::unique_ptr<Workbook> book;
  try {
    if (std::equal(kZip, kZip + 4, magic)) book = openXlsxWorkbook(path);
    else if (std::equal(kCompound, kCompound + 8, magic)) book = openXlsWorkbook(path);
    else throw WorkbookOpenError(describeOtherFile(std::string_view(head, headSize)));
  } catch (const WorkbookError&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw WorkbookOpenError("メモリが足りません");
  } catch (const std::exception& error) {
    throw WorkbookOpenError(std::string("ブックを読めません: ") + error.what());
  }
  if (!book) throw WorkbookOpenError("ブックが壊れているか、読めない形式です");
  return book;
}

}  // namespace morvane::platform
