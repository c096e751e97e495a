#pragma once
#include <string>

#include "model/clsHash.h"
#include "model/clsXML.h"
#include "sqlserver/clsSQLServerFieldAttr.h"

namespace morvane {

// The nine notations as the pairs of a type notation file, in file order (char ... money).
clsHash dataTypeToHash(const clsSQLServerFieldAttr& types);

// Writes the nine notations as a type notation file (.sfa); false when it cannot be written,
// also when a notation has a character that code page 932 cannot hold.
bool fnSaveDataType(const clsSQLServerFieldAttr& types, const std::string& path);

// Sets all nine notations from a tag reader that has read a file; a key the file lacks sets
// empty text.
void sbReadDataType(const clsXML& reader, clsSQLServerFieldAttr& types);

}  // namespace morvane
