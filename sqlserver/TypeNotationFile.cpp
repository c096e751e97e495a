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
  auto value = [&reader](const std::string& key) {
    std::string word = reader.fnTagData("<" + key + ">", "</" + key + ">");
    if (word.size() > kMaxTypeWordBytes) {
      throw TypeNotationError(key + " の値が長すぎます (" + std::to_string(kMaxTypeWordBytes) + " バイトまで)");
    }
    return word;
  };
  clsSQLServerFieldAttr read;
  read.setChar(value("char"));
  read.setVarChar(value("varchar"));
  read.setDate(value("date"));
  read.setInt(value("int"));
  read.setIdentity(value("identity"));
  read.setFloat(value("float"));
  read.setReal(value("real"));
  read.setMoney(value("money"));
  read.setDecimal(value("decimal"));
  types = std::move(read);
}

}  // namespace morvane
