#pragma once
// The streams of a compound file (the container of an .xls), read from the file held in
// memory. A stream whose sectors lie one after another, as spreadsheet programs write the
// workbook stream, is used where it lies; any other is gathered once into memory of its own.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/xls/StreamBytes.h"

namespace morvane::platform {

class CompoundFile {
 public:
  struct Entry {
    std::string name;  // UTF-16 name as UTF-8
    bool stream = false;
    bool storage = false;
    std::uint32_t start = 0;
    std::uint64_t size = 0;
  };

  // Throws WorkbookOpenError "複合ファイルの構造が壊れています (...)" when the header, the
  // allocation tables or the directory are damaged or lie outside the file.
  static CompoundFile open(const std::string& path);
  ~CompoundFile();
  CompoundFile(CompoundFile&& other) noexcept;
  CompoundFile& operator=(CompoundFile&&) = delete;
  CompoundFile(const CompoundFile&) = delete;
  CompoundFile& operator=(const CompoundFile&) = delete;

  // The entries right under the root storage, in directory order.
  const std::vector<Entry>& rootEntries() const { return rootEntries_; }
  std::uint64_t fileSize() const { return length_; }

  // The bytes of a stream, valid while this object lives. Throws WorkbookOpenError when its
  // sectors are missing or lie outside the file.
  std::span<const std::uint8_t> read(const Entry& entry);

 private:
  CompoundFile(const std::uint8_t* base, std::size_t length) : base_(base), length_(length) {}
  void readHeader();
  void readAllocationTable();
  void readDirectory();
  void readMiniTables();
  std::uint64_t sectorOffset(std::uint32_t sector) const;
  std::uint32_t nextSector(std::uint32_t sector) const;
  std::span<const std::uint8_t> readRegular(const Entry& entry);
  std::span<const std::uint8_t> readMini(const Entry& entry);

  const std::uint8_t* base_ = nullptr;  // the file, in memory
  std::size_t length_ = 0;
  unsigned sectorShift_ = 9;
  unsigned miniShift_ = 6;
  bool version4_ = false;
  std::uint32_t miniCutoff_ = 4096;
  std::vector<std::uint32_t> fat_;
  std::vector<std::uint32_t> miniFat_;
  std::vector<std::uint32_t> miniStreamSectors_;  // the root's chain, which holds the small streams
  bool miniRead_ = false;
  Entry root_;
  std::vector<Entry> rootEntries_;
  StreamBytes gathered_;  // a stream whose sectors are scattered
};

}  // namespace morvane::platform
