#pragma once
#include <stdexcept>
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

// A notation is one word of a design document's type column, compared with every field's type:
// a longer value in a type notation file is refused.
inline constexpr std::size_t kMaxTypeWordBytes = 256;

class TypeNotationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Sets all nine notations from a tag reader that has read a file; a key the file lacks sets
// empty text. Throws TypeNotationError naming the key when a value is longer than
// kMaxTypeWordBytes; the notations then stay as they were.
void sbReadDataType(const clsXML& reader, clsSQLServerFieldAttr& types);

}  // namespace morvane
