#pragma once
// The model that the example design document must read into, built from the description the
// example workbooks are generated from (examples/design-document.json).
#include <string>

#include <nlohmann/json.hpp>

#include "app/batch/ModelJson.h"
#include "document/clsExcelDBDocInfo.h"
#include "model/clsDBInfo.h"

namespace morvane::test {

std::string exampleDescriptionPath();
// With optional, the cells that only the optional positions read (its layoutExtra) too.
clsDBInfo exampleModel(bool optional = false);
// The layout the example is read with (its layoutValues, and with optional its layoutExtra).
clsExcelDBDocInfo exampleLayout(bool optional = false);

// The model as morvane-batch --dump prints it: comparisons then show the difference.
using ::morvane::modelJson;

}  // namespace morvane::test
