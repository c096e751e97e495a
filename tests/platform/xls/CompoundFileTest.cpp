// The compound file around an .xls as other writers lay it out: the workbook stream's sectors
// out of order, allocation sectors listed beyond the header, a directory of several sectors.
#include <gtest/gtest.h>

#include "tests/platform/WorkbookTestSupport.h"
#include "tests/support/UnreadableXls.h"

namespace morvane::test {
namespace {

constexpr std::size_t kSector = 512;

std::uint32_t u32At(const std::string& bytes, std::size_t at) { return u16At(bytes, at) | u16At(bytes, at + 2) << 16; }
std::size_t sectorAt(std::uint32_t sector) { return kSector * (sector + 1); }

// The workbook stream's directory entry.
std::size_t workbookEntry(const std::string& bytes) {
  const std::size_t directory = sectorAt(u32At(bytes, 0x30));
  const std::string name = le16('W') + le16('o') + le16('r') + le16('k') + le16('b') + le16('o') + le16('o') + le16('k');
  for (std::size_t entry = directory; entry + 128 <= directory + kSector; entry += 128) {
    if (bytes.compare(entry, name.size(), name) == 0) return entry;
  }
  ADD_FAILURE() << "no Workbook entry";
  return 0;
}

// Where the workbook stream's chain starts.
std::uint32_t workbookStart(const std::string& bytes) { return u32At(bytes, workbookEntry(bytes) + 0x74); }

void expectSoundSheet(const std::string& path) {
  const auto book = platform::openXlsWorkbook(path);
  const auto cells = book->readSheet(1);
  expectCells(cells, {{3, 3, "顧客"}, {6, 4, "顧客番号"}, {7, 4, "6"}, {200, 4, "199"}, {400, 4, "399"}});
}

TEST(CompoundFile, AWorkbookStreamWhoseSectorsAreOutOfOrder) {
  TempDir dir;
  std::string bytes = soundXlsBytes();
  ASSERT_EQ(u16At(bytes, 0x1E), 9u);
  const std::size_t fat = sectorAt(u32At(bytes, 0x4C));
  // Swap the stream's first two sectors, and the chain with them: s1 -> s0 -> what followed s1.
  const std::uint32_t s0 = workbookStart(bytes);
  const std::uint32_t s1 = u32At(bytes, fat + 4 * s0);
  const std::uint32_t s2 = u32At(bytes, fat + 4 * s1);
  ASSERT_LT(s1, 0xFFFFFFF0u);
  const std::string first = bytes.substr(sectorAt(s0), kSector);
  bytes.replace(sectorAt(s0), kSector, bytes.substr(sectorAt(s1), kSector));
  bytes.replace(sectorAt(s1), kSector, first);
  bytes.replace(fat + 4 * s1, 4, le32(s0));
  bytes.replace(fat + 4 * s0, 4, le32(s2));
  const std::size_t directory = sectorAt(u32At(bytes, 0x30));
  for (std::size_t entry = directory; entry < directory + kSector; entry += 128) {
    if (u32At(bytes, entry + 0x74) == s0 && bytes[entry + 0x42] == 2) bytes.replace(entry + 0x74, 4, le32(s1));
  }
  writeBytes(dir.file("scattered.xls"), bytes);
  expectSoundSheet(dir.file("scattered.xls"));

  // The stream's last sector moved to the end of the file, which ends with the stream's last
  // byte, and the stream's size counting its padding: the missing padding reads as zeros. Cut
  // before that sector, the stream is refused.
  {
    std::string moved = soundXlsBytes();
    const std::size_t movedFat = sectorAt(u32At(moved, 0x4C));
    std::uint32_t before = 0xFFFFFFFF, last = workbookStart(moved);
    for (; u32At(moved, movedFat + 4 * last) < 0xFFFFFFF0u; last = u32At(moved, movedFat + 4 * last)) before = last;
    const std::uint32_t size = u32At(moved, workbookEntry(moved) + 0x78);
    const std::size_t used = size % kSector;
    const auto added = static_cast<std::uint32_t>(moved.size() / kSector - 1);
    ASSERT_TRUE(before != 0xFFFFFFFF && used != 0 && added < kSector / 4);
    moved.replace(workbookEntry(moved) + 0x78, 4, le32(static_cast<std::uint32_t>(size - used + kSector)));
    moved += moved.substr(sectorAt(last), used);
    moved.replace(movedFat + 4 * before, 4, le32(added));
    moved.replace(movedFat + 4 * added, 4, le32(0xFFFFFFFE));
    writeBytes(dir.file("unpadded.xls"), moved);
    expectSoundSheet(dir.file("unpadded.xls"));
    writeBytes(dir.file("cut.xls"), moved.substr(0, sectorAt(added)));
    EXPECT_NE(xlsOpenError(dir.file("cut.xls")).find("ストリーム「Workbook」を読めません"), std::string::npos);
  }

  // A chain that ends before the stream does.
  bytes.replace(fat + 4 * s0, 4, le32(0xFFFFFFFE));
  writeBytes(dir.file("short.xls"), bytes);
  EXPECT_NE(xlsOpenError(dir.file("short.xls")).find("ストリーム「Workbook」を読めません"), std::string::npos)
      << xlsOpenError(dir.file("short.xls"));
}

TEST(CompoundFile, AllocationSectorsListedBeyondTheHeader) {
  TempDir dir;
  const std::string sound = soundXlsBytes();
  // 110 allocation sectors: the real one first, the rest free sectors padded onto the file,
  // the last of them named in a sector of the header's continuation list.
  std::string bytes = sound;
  const auto firstPad = static_cast<std::uint32_t>(bytes.size() / kSector - 1);
  bytes += std::string(110 * kSector, '\xFF');
  const std::uint32_t list = firstPad + 110;
  for (int i = 1; i < 109; ++i) bytes.replace(0x4C + 4 * i, 4, le32(firstPad + i));
  std::string continuation = le32(firstPad + 109);
  while (continuation.size() < kSector - 4) continuation += le32(0xFFFFFFFF);
  bytes += continuation + le32(0xFFFFFFFE);
  bytes.replace(0x2C, 4, le32(110));
  bytes.replace(0x44, 4, le32(list));
  bytes.replace(0x48, 4, le32(1));
  writeBytes(dir.file("difat.xls"), bytes);
  expectSoundSheet(dir.file("difat.xls"));

  std::string outside = bytes;
  outside.replace(sectorAt(list), 4, le32(0x00FFFFF0));
  writeBytes(dir.file("outside.xls"), outside);
  EXPECT_NE(xlsOpenError(dir.file("outside.xls")).find("割り当て表"), std::string::npos) << xlsOpenError(dir.file("outside.xls"));
  std::string lostList = bytes;
  lostList.replace(0x44, 4, le32(0xFFFFFFFE));
  writeBytes(dir.file("lost.xls"), lostList);
  EXPECT_NE(xlsOpenError(dir.file("lost.xls")).find("割り当て表"), std::string::npos) << xlsOpenError(dir.file("lost.xls"));
  // More allocation sectors than the file has sectors.
  std::string tooMany = sound;
  tooMany.replace(0x2C, 4, le32(0x01000000));
  writeBytes(dir.file("many.xls"), tooMany);
  EXPECT_NE(xlsOpenError(dir.file("many.xls")).find("割り当て表"), std::string::npos) << xlsOpenError(dir.file("many.xls"));
}

TEST(CompoundFile, ADirectoryOfSeveralSectorsAndStreamsOfBothSizes) {
  TempDir dir;
  BiffWriter writer;
  writer.labelSst(writer.addSheet("表"), 2, 2, "顧客");
  // Nine entries take three directory sectors; the small streams live in the mini stream.
  std::vector<std::pair<std::string, std::string>> streams;
  for (int i = 0; i < 7; ++i) streams.emplace_back("Other" + std::to_string(i), std::string(i % 2 ? 100 : 5000, 'x'));
  streams.emplace_back("workbook", writer.stream());
  BiffWriter::saveCompoundFile(dir.file("many.xls"), streams);
  const auto book = platform::openXlsWorkbook(dir.file("many.xls"));
  EXPECT_EQ(book->readSheet(1).text(3, 3), "顧客");
}

}  // namespace
}  // namespace morvane::test
