#pragma once
// The model that the example design document must read into, built from the description the
// example workbooks are generated from (examples/design-document.json).
#include <string>

#include <nlohmann/json.hpp>

#include "document/clsExcelDBDocInfo.h"
#include "model/clsDBInfo.h"

namespace morvane::test {

std::string exampleDescriptionPath();
// With optional, the cells that only the optional positions read (its layoutExtra) too.
clsDBInfo exampleModel(bool optional = false);
// The layout the example is read with (its layoutValues, and with optional its layoutExtra).
clsExcelDBDocInfo exampleLayout(bool optional = false);

// The model as JSON, the shape morvane-batch --dump prints, for comparisons that show the
// difference when they fail.
nlohmann::ordered_json modelJson(const clsDBInfo& db);

}  // namespace morvane::test
