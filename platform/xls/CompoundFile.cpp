#include "platform/xls/CompoundFile.h"


#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/text/Utf8.h"
#include "platform/workbook/MappedFile.h"
#include "platform/workbook/Workbook.h"

namespace morvane::platform {
namespace {

constexpr std::uint32_t kLastRegularSector = 0xFFFFFFF9;  // beyond are the chain's special marks
constexpr std::uint32_t kNoEntry = 0xFFFFFFFF;
constexpr std::size_t kHeaderFatEntries = 109;
constexpr std::size_t kEntrySize = 128;

std::uint16_t u16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t u32(const std::uint8_t* p) { return u16(p) | static_cast<std::uint32_t>(u16(p + 2)) << 16; }
std::uint64_t u64(const std::uint8_t* p) { return u32(p) | static_cast<std::uint64_t>(u32(p + 4)) << 32; }

[[noreturn]] void damaged(const std::string& what) {
  throw WorkbookOpenError("複合ファイルの構造が壊れています (" + what + ")");
}

[[noreturn]] void unreadable(const CompoundFile::Entry& entry) { damaged("ストリーム「" + entry.name + "」を読めません"); }

struct RawEntry {
  std::uint8_t type = 0;
  std::uint32_t left = kNoEntry;
  std::uint32_t right = kNoEntry;
  std::uint32_t child = kNoEntry;
  const std::uint8_t* bytes = nullptr;
};

}  // namespace

CompoundFile::~CompoundFile() {
  unmapFile({base_, length_});
}

CompoundFile::CompoundFile(CompoundFile&& other) noexcept
    : base_(std::exchange(other.base_, nullptr)),
      length_(std::exchange(other.length_, 0)),
      sectorShift_(other.sectorShift_),
      miniShift_(other.miniShift_),
      version4_(other.version4_),
      miniCutoff_(other.miniCutoff_),
      fat_(std::move(other.fat_)),
      miniFat_(std::move(other.miniFat_)),
      miniStreamSectors_(std::move(other.miniStreamSectors_)),
      miniRead_(other.miniRead_),
      root_(std::move(other.root_)),
      rootEntries_(std::move(other.rootEntries_)),
      gathered_(std::move(other.gathered_)) {}

CompoundFile CompoundFile::open(const std::string& path) {
  const MappedBytes mapped = mapWorkbookFile(path);
  CompoundFile file(mapped.data, mapped.length);
  file.readHeader();
  file.readAllocationTable();
  file.readDirectory();
  return file;
}

void CompoundFile::readHeader() {
  static constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  if (length_ < 512) damaged("ヘッダーが途中で切れています");
  if (!std::equal(kSignature, kSignature + 8, base_)) damaged("ヘッダー");
  sectorShift_ = u16(base_ + 0x1E);
  miniShift_ = u16(base_ + 0x20);
  if (sectorShift_ < 7 || sectorShift_ > 16 || miniShift_ < 2 || miniShift_ > sectorShift_) damaged("セクターの大きさ");
  version4_ = u16(base_ + 0x1A + 2) == 4;
  miniCutoff_ = u32(base_ + 0x38);
}

std::uint64_t CompoundFile::sectorOffset(std::uint32_t sector) const {
  const std::uint64_t size = std::uint64_t{1} << sectorShift_;
  return std::max<std::uint64_t>(512, size) + sector * size;
}

std::uint32_t CompoundFile::nextSector(std::uint32_t sector) const {
  return sector < fat_.size() ? fat_[sector] : kNoEntry;
}

void CompoundFile::readAllocationTable() {
  const std::size_t sectorSize = std::size_t{1} << sectorShift_;
  const std::size_t perSector = sectorSize / 4;
  const std::uint64_t fatCount = u32(base_ + 0x2C);
  // Each allocation sector is a sector of the file: more than the file holds is damage.
  if (fatCount > length_ / sectorSize + 1) damaged("割り当て表");
  std::vector<std::uint32_t> fatSectors;
  fatSectors.reserve(static_cast<std::size_t>(fatCount));
  for (std::size_t i = 0; i < kHeaderFatEntries && fatSectors.size() < fatCount; ++i) {
    fatSectors.push_back(u32(base_ + 0x4C + 4 * i));
  }
  // The rest are listed in a chain of sectors of their own, each ending with the next one's number.
  std::uint32_t difat = u32(base_ + 0x44);
  for (std::uint64_t seen = 0; fatSectors.size() < fatCount; ++seen) {
    if (difat > kLastRegularSector || seen > fatCount) damaged("割り当て表");
    const std::uint64_t at = sectorOffset(difat);
    if (at > length_ || length_ - at < sectorSize) damaged("割り当て表");
    for (std::size_t i = 0; i + 1 < perSector && fatSectors.size() < fatCount; ++i) {
      fatSectors.push_back(u32(base_ + at + 4 * i));
    }
    difat = u32(base_ + at + sectorSize - 4);
  }
  fat_.resize(fatSectors.size() * perSector);
  std::size_t out = 0;
  for (const std::uint32_t sector : fatSectors) {
    const std::uint64_t at = sectorOffset(sector);
    if (sector > kLastRegularSector || at > length_ || length_ - at < sectorSize) damaged("割り当て表");
    for (std::size_t i = 0; i < perSector; ++i) fat_[out++] = u32(base_ + at + 4 * i);
  }
}

void CompoundFile::readDirectory() {
  const std::size_t sectorSize = std::size_t{1} << sectorShift_;
  std::vector<RawEntry> entries;
  std::vector<bool> visited(fat_.size());
  std::uint32_t sector = u32(base_ + 0x30);
  // A chain that loops back on itself ends there; what was read before it stands.
  while (sector <= kLastRegularSector && (sector >= visited.size() || !visited[sector])) {
    const std::uint64_t at = sectorOffset(sector);
    if (at > length_ || length_ - at < sectorSize) damaged("ディレクトリがファイルの外にあります");
    if (sector < visited.size()) visited[sector] = true;
    for (std::size_t i = 0; i < sectorSize / kEntrySize; ++i) {
      const std::uint8_t* p = base_ + at + i * kEntrySize;
      entries.push_back(RawEntry{p[0x42], u32(p + 0x44), u32(p + 0x48), u32(p + 0x4C), p});
    }
    sector = nextSector(sector);
  }
  if (entries.empty() || entries[0].type != 5) damaged("ルート項目");
  // The root has no siblings; links that say otherwise are damage.
  if (entries[0].left != kNoEntry || entries[0].right != kNoEntry) damaged("ルート項目");

  auto entryOf = [&](const RawEntry& raw) {
    Entry entry;
    const std::size_t nameBytes = std::min<std::size_t>(u16(raw.bytes + 0x40), 64);
    Utf16ToUtf8 name(nameBytes / 2);
    for (std::size_t i = 0; i + 1 < nameBytes; i += 2) {
      const char16_t unit = u16(raw.bytes + i);
      if (unit == 0) break;
      name.push(unit);
    }
    entry.name = name.take();
    entry.storage = raw.type == 1;
    entry.stream = raw.type == 2;
    entry.start = u32(raw.bytes + 0x74);
    // Version 3 files keep only 32 bits of size; the high half may be anything.
    entry.size = version4_ ? u64(raw.bytes + 0x78) : u32(raw.bytes + 0x78);
    return entry;
  };
  root_ = entryOf(entries[0]);

  // The root's children form a tree through their sibling links; every node once.
  std::vector<bool> seen(entries.size());
  std::vector<std::uint32_t> pending{entries[0].child};
  std::vector<std::uint32_t> children;
  seen[0] = true;
  while (!pending.empty()) {
    const std::uint32_t index = pending.back();
    pending.pop_back();
    if (index >= entries.size() || seen[index]) continue;
    seen[index] = true;
    if (entries[index].type != 1 && entries[index].type != 2) continue;
    children.push_back(index);
    pending.push_back(entries[index].left);
    pending.push_back(entries[index].right);
  }
  std::sort(children.begin(), children.end());
  rootEntries_.reserve(children.size());
  for (const std::uint32_t index : children) rootEntries_.push_back(entryOf(entries[index]));
}

std::span<const std::uint8_t> CompoundFile::read(const Entry& entry) {
  if (entry.size > length_) damaged("ストリーム「" + entry.name + "」の大きさ");
  if (entry.size == 0) return {};
  return entry.size < miniCutoff_ ? readMini(entry) : readRegular(entry);
}

std::span<const std::uint8_t> CompoundFile::readRegular(const Entry& entry) {
  const std::uint64_t sectorSize = std::uint64_t{1} << sectorShift_;
  const std::uint64_t count = (entry.size + sectorSize - 1) / sectorSize;
  // First pass: every sector in the file, and whether they lie in order. The file's last
  // sector may be cut short of its padding: it reads as if padded with zeros.
  bool inOrder = true;
  std::uint32_t sector = entry.start;
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::uint64_t needed = std::min(sectorSize, entry.size - i * sectorSize);
    const std::uint64_t at = sectorOffset(sector);
    if (sector > kLastRegularSector || at >= length_) unreadable(entry);
    if (length_ - at < needed) inOrder = false;
    if (i + 1 < count) {
      const std::uint32_t next = nextSector(sector);
      if (next != sector + 1) inOrder = false;
      sector = next;
    }
  }
  const std::uint8_t* first = base_ + sectorOffset(entry.start);
  if (inOrder) return {first, static_cast<std::size_t>(entry.size)};
  gathered_ = StreamBytes(static_cast<std::size_t>(entry.size));
  sector = entry.start;
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::uint64_t at = sectorOffset(sector);
    const std::uint64_t needed = std::min({sectorSize, entry.size - i * sectorSize, length_ - at});
    std::memcpy(gathered_.data() + i * sectorSize, base_ + at, static_cast<std::size_t>(needed));
    sector = nextSector(sector);
  }
  return gathered_.bytes();
}

void CompoundFile::readMiniTables() {
  if (miniRead_) return;
  miniRead_ = true;
  const std::size_t sectorSize = std::size_t{1} << sectorShift_;
  std::vector<bool> visited(fat_.size());
  for (std::uint32_t sector = u32(base_ + 0x3C); sector < fat_.size() && !visited[sector]; sector = nextSector(sector)) {
    visited[sector] = true;
    const std::uint64_t at = sectorOffset(sector);
    if (at > length_ || length_ - at < sectorSize) break;
    for (std::size_t i = 0; i < sectorSize / 4; ++i) miniFat_.push_back(u32(base_ + at + 4 * i));
  }
  if (root_.size > length_) return;
  const std::uint64_t count = (root_.size + sectorSize - 1) / sectorSize;
  std::uint32_t sector = root_.start;
  for (std::uint64_t i = 0; i < count && sector < fat_.size(); ++i, sector = nextSector(sector)) {
    const std::uint64_t at = sectorOffset(sector);
    if (at > length_ || length_ - at < sectorSize) break;
    miniStreamSectors_.push_back(sector);
  }
}

std::span<const std::uint8_t> CompoundFile::readMini(const Entry& entry) {
  readMiniTables();
  const std::uint64_t miniSize = std::uint64_t{1} << miniShift_;
  const std::uint64_t count = (entry.size + miniSize - 1) / miniSize;
  const std::uint64_t held = static_cast<std::uint64_t>(miniStreamSectors_.size()) << sectorShift_;
  gathered_ = StreamBytes(static_cast<std::size_t>(entry.size));
  std::uint32_t mini = entry.start;
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::uint64_t needed = std::min(miniSize, entry.size - i * miniSize);
    const std::uint64_t offset = static_cast<std::uint64_t>(mini) << miniShift_;
    if (mini >= miniFat_.size() || offset + needed > held) unreadable(entry);
    const std::uint32_t sector = miniStreamSectors_[static_cast<std::size_t>(offset >> sectorShift_)];
    const std::uint64_t within = offset & ((std::uint64_t{1} << sectorShift_) - 1);
    std::memcpy(gathered_.data() + i * miniSize, base_ + sectorOffset(sector) + within, static_cast<std::size_t>(needed));
    mini = miniFat_[mini];
  }
  return gathered_.bytes();
}

}  // namespace morvane::platform
