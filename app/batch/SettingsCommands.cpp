#include <iostream>
#include <utility>

#include "app/batch/BatchOptions.h"
#include "document/LayoutFile.h"
#include "model/clsXML.h"
#include "sqlserver/TypeNotationFile.h"

namespace morvane::batch {
namespace {

int fail(const std::string& reason) {
  std::cerr << "morvane-batch: " << reason << "\n";
  return 2;
}

int loadLayout(const std::string& path, clsExcelDBDocInfo& layout) {
  try {
    if (layout.fnReadFile(path)) return 0;
  } catch (const LayoutFileError& error) {
    return fail(std::string("レイアウトファイルが正しくありません: ") + error.what());
  }
  // The layout only says that loading failed; ask the reader why.
  clsXML probe;
  return fail("レイアウトファイルを読めません: " + (probe.fnReadFile(path) ? path : probe.getErrMsg()));
}

int loadTypes(const std::string& path, clsSQLServerFieldAttr& types) {
  clsXML reader;
  if (!reader.fnReadFile(path)) {
    return fail("型表記ファイルを読めません: " + reader.getErrMsg());
  }
  try {
    sbReadDataType(reader, types);
  } catch (const TypeNotationError& error) {
    return fail("型表記ファイルが正しくありません: " + path + ": " + error.what());
  }
  // A key the file lacks is stored as empty text, as the windows do; say so, since such a
  // notation matches nothing useful.
  const std::pair<const char*, const std::string*> read[] = {
      {"char", &types.getChar()},   {"varchar", &types.getVarChar()},   {"date", &types.getDate()},
      {"int", &types.getInt()},     {"identity", &types.getIdentity()}, {"float", &types.getFloat()},
      {"real", &types.getReal()},   {"money", &types.getMoney()},       {"decimal", &types.getDecimal()}};
  for (const auto& [key, value] : read) {
    if (value->empty()) std::cerr << "morvane-batch: 警告: " << path << " に " << key << " の値がありません\n";
  }
  return 0;
}

// The collection's error description names the file and the reason.
int save(clsHash pairs, const std::string& what, const std::string& path) {
  if (pairs.fnSaveFileAsXml(path)) return 0;
  return fail(what + "を保存できません: " + pairs.getErrMsg());
}

}  // namespace

int loadSettings(const BatchOptions& options, BatchSettings& settings) {
  if (!options.layoutFile.empty()) {
    if (int status = loadLayout(options.layoutFile, settings.layout); status != 0) return status;
  }
  if (!options.typesFile.empty()) {
    if (int status = loadTypes(options.typesFile, *settings.types); status != 0) return status;
  }
  return 0;
}

int saveSettings(const BatchOptions& options, const BatchSettings& settings) {
  if (!options.saveLayoutFile.empty()) {
    if (int status = save(layoutToHash(settings.layout), "レイアウトファイル", options.saveLayoutFile); status != 0) {
      return status;
    }
  }
  if (!options.saveTypesFile.empty()) {
    return save(dataTypeToHash(*settings.types), "型表記ファイル", options.saveTypesFile);
  }
  return 0;
}

}  // namespace morvane::batch
