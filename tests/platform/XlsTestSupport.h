#pragma once
// Helpers shared by the .xls tests.
#include <memory>
#include <string>

#include "platform/Workbook.h"
#include "platform/XlsWorkbook.h"
#include "tests/support/BiffWriter.h"
#include "tests/support/TempDir.h"

namespace morvane::test {

inline std::unique_ptr<platform::Workbook> saveAndOpen(const BiffWriter& writer, const TempDir& dir,
                                                       const std::string& name = "book.xls") {
  const std::string path = dir.file(name);
  writer.save(path);
  return platform::openXlsWorkbook(path);
}

// Opens a compound file holding just this workbook stream.
inline std::unique_ptr<platform::Workbook> openStream(const std::string& stream, const TempDir& dir,
                                                      const std::string& streamName = "Workbook") {
  const std::string path = dir.file("raw.xls");
  BiffWriter::saveCompoundFile(path, {{streamName, stream}});
  return platform::openXlsWorkbook(path);
}

}  // namespace morvane::test
