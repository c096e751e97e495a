#include "sqlserver/TypeNotationFile.h"

namespace morvane {

clsHash dataTypeToHash(const clsSQLServerFieldAttr& types) {
  clsHash hash;
  hash.Add("char", types.getChar());
  hash.Add("varchar", types.getVarChar());
  hash.Add("date", types.getDate());
  hash.Add("identity", types.getIdentity());
  hash.Add("int", types.getInt());
  hash.Add("float", types.getFloat());
  hash.Add("real", types.getReal());
  hash.Add("decimal", types.getDecimal());
  hash.Add("money", types.getMoney());
  return hash;
}

bool fnSaveDataType(const clsSQLServerFieldAttr& types, const std::string& path) {
  return dataTypeToHash(types).fnSaveFileAsXml(path);
}

void sbReadDataType(const clsXML& reader, clsSQLServerFieldAttr& types) {
  auto value = [&reader](const std::string& key) { return reader.fnTagData("<" + key + ">", "</" + key + ">"); };
  types.setChar(value("char"));
  types.setVarChar(value("varchar"));
  types.setDate(value("date"));
  types.setInt(value("int"));
  types.setIdentity(value("identity"));
  types.setFloat(value("float"));
  types.setReal(value("real"));
  types.setMoney(value("money"));
  types.setDecimal(value("decimal"));
}

}  // namespace morvane
