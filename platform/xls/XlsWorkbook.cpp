#include "platform/xls/XlsWorkbook.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-utils.h>

#include <strings.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <utility>
#include <vector>

#include "platform/xls/BiffGlobals.h"
#include "platform/xls/BiffRecords.h"
#include "platform/xls/BiffSheet.h"
#include "platform/xls/StreamBytes.h"
#include "platform/workbook/LibraryMessages.h"

namespace morvane::platform {
namespace {

const char* const kPasswordProtected =
    "パスワードで保護されています。パスワードなしで保存し直してから読み込んでください";

[[noreturn]] void damagedCompoundFile(const std::string& what) {
  throw WorkbookOpenError("複合ファイルの構造が壊れています (" + what + ")");
}

// Owns one GObject reference.
template <typename T>
class GRef {
 public:
  GRef() = default;
  explicit GRef(T* object) : object_(object) {}
  ~GRef() { reset(); }
  GRef(GRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  GRef& operator=(GRef&&) = delete;
  GRef(const GRef&) = delete;
  GRef& operator=(const GRef&) = delete;

  T* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  void reset() {
    if (object_) g_object_unref(object_);
    object_ = nullptr;
  }

 private:
  T* object_ = nullptr;
};

class GErrorHolder {
 public:
  ~GErrorHolder() { g_clear_error(&error_); }
  GError** out() { return &error_; }

 private:
  GError* error_ = nullptr;
};

class XlsWorkbook : public Workbook {
 public:
  explicit XlsWorkbook(StreamBytes stream) : stream_(std::move(stream)) {}

  // Throws WorkbookOpenError when the workbook is encrypted or in a format not read.
  void readGlobals() {
    BiffRecordReader reader(stream_.bytes(), 0);
    globals_ = readBiffGlobals(reader);
    if (globals_.encrypted) throw WorkbookOpenError(kPasswordProtected);
  }

  std::int32_t sheetCount() const override {
    // Sheet numbers are 32-bit; a workbook cannot hold that many sheets anyway.
    return static_cast<std::int32_t>(std::min<std::size_t>(globals_.worksheets.size(), INT32_MAX));
  }

  SheetCells readSheet(std::int32_t n) override {
    if (n < 1 || n > sheetCount()) throw WorkbookError("シート番号 " + std::to_string(n) + " はありません");
    const BiffSheetEntry& entry = globals_.worksheets[static_cast<std::size_t>(n - 1)];
    if (entry.offset >= stream_.size()) {
      throw WorkbookError("シート「" + entry.name + "」の開始位置がストリームの外です");
    }
    BiffRecordReader reader(stream_.bytes(), entry.offset);
    return readBiffSheet(reader, globals_, entry.name);
  }

 private:
  StreamBytes stream_;
  BiffGlobals globals_;
};

bool hasChild(GsfInfile* ole, const char* wanted) {
  const int count = gsf_infile_num_children(ole);
  for (int i = 0; i < count; ++i) {
    const char* name = gsf_infile_name_by_index(ole, i);
    if (name && strcasecmp(name, wanted) == 0) return true;
  }
  return false;
}

// The workbook stream: "Workbook" in BIFF8, "Book" in BIFF5; some writers change the case.
// Without one, the reason says what the compound file holds instead, when that is known.
GRef<GsfInput> findWorkbookStream(GsfInfile* ole) {
  const int count = gsf_infile_num_children(ole);
  for (const char* wanted : {"Workbook", "Book"}) {
    for (int i = 0; i < count; ++i) {
      const char* name = gsf_infile_name_by_index(ole, i);
      if (name && strcasecmp(name, wanted) == 0) {
        GRef<GsfInput> child(gsf_infile_child_by_index(ole, i));
        if (!child) damagedCompoundFile(std::string("ストリーム「") + name + "」を読めません");
        // A storage of that name is not the stream.
        if (!GSF_IS_INFILE(child.get()) || gsf_infile_num_children(GSF_INFILE(child.get())) < 0) return child;
      }
    }
  }
  // An encrypted .xlsx is a compound file around the encrypted zip package.
  if (hasChild(ole, "EncryptedPackage") || hasChild(ole, "EncryptionInfo")) throw WorkbookOpenError(kPasswordProtected);
  if (hasChild(ole, "WordDocument")) throw WorkbookOpenError("Word 文書です (Excel のブックではありません)");
  if (hasChild(ole, "PowerPoint Document")) throw WorkbookOpenError("PowerPoint のプレゼンテーションです (Excel のブックではありません)");
  throw WorkbookOpenError("複合ファイルですが、Excel のブックのストリーム (Workbook) がありません");
}

// What is wrong with the header or the root entry; empty when both are sound. libgsf reads
// the root entry's sibling links as if the root could have siblings and loses what it reads
// there; a sound file never has any (they must say "no stream").
std::string compoundHeaderDamage(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  unsigned char header[512];
  if (!file.read(reinterpret_cast<char*>(header), sizeof header)) return "ヘッダーが途中で切れています";
  auto u16 = [](const unsigned char* p) { return static_cast<std::uint32_t>(p[0] | p[1] << 8); };
  auto u32 = [&](const unsigned char* p) { return u16(p) | u16(p + 2) << 16; };
  const std::uint32_t shift = u16(header + 0x1E);
  if (shift < 7 || shift > 16) return "セクターの大きさ";
  const std::uint64_t sectorSize = std::uint64_t{1} << shift;
  const std::uint64_t rootAt = std::max<std::uint64_t>(512, sectorSize) + u32(header + 0x30) * sectorSize;
  unsigned char entry[128];
  file.seekg(static_cast<std::streamoff>(rootAt));
  if (!file.read(reinterpret_cast<char*>(entry), sizeof entry)) return "ディレクトリがファイルの外にあります";
  constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
  if (u32(entry + 0x44) != kNoStream || u32(entry + 0x48) != kNoStream) return "ルート項目";
  return {};
}

}  // namespace

std::unique_ptr<Workbook> openXlsWorkbook(const std::string& path) {
  static const bool initialised = [] {
    gsf_init();
    quietLibraryMessages();
    return true;
  }();
  (void)initialised;
  if (const std::string damage = compoundHeaderDamage(path); !damage.empty()) damagedCompoundFile(damage);
  GErrorHolder error;
  GRef<GsfInput> file(gsf_input_stdio_new(path.c_str(), error.out()));
  if (!file) throw WorkbookOpenError("ファイルを読めません");
  GErrorHolder oleError;
  GRef<GsfInfile> ole(gsf_infile_msole_new(file.get(), oleError.out()));
  if (!ole) damagedCompoundFile("ヘッダー、割り当て表またはディレクトリ");
  GRef<GsfInput> stream = findWorkbookStream(ole.get());
  // The stream is read once, in one piece: every sheet is then parsed in place. A stream
  // cannot be larger than the file that holds it.
  const gsf_off_t size = gsf_input_size(stream.get());
  if (size < 0 || size > gsf_input_size(file.get())) damagedCompoundFile("ストリーム「Workbook」の大きさ");
  StreamBytes bytes(static_cast<std::size_t>(size));
  if (size > 0 && !gsf_input_read(stream.get(), static_cast<std::size_t>(size), bytes.data())) {
    damagedCompoundFile("ストリーム「Workbook」を読めません");
  }
  stream.reset();
  ole.reset();
  file.reset();
  auto book = std::make_unique<XlsWorkbook>(std::move(bytes));
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
