#pragma once
#include <string>

#include "model/clsXML.h"
#include "sqlserver/clsSQLServerFieldAttr.h"

namespace morvane {

// Writes the nine notations as a type notation file (.sfa); false when it cannot be written.
bool fnSaveDataType(const clsSQLServerFieldAttr& types, const std::string& path);

// Sets all nine notations from a tag reader that has read a file.
void sbReadDataType(const clsXML& reader, clsSQLServerFieldAttr& types);

}  // namespace morvane
