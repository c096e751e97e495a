#pragma once
// The model that the example design document must read into, built from the description the example
// workbooks are generated from (examples/design-document.json).
#include <array>
#include <string>

#include "app/batch/ModelJson.h"
#include "document/clsExcelDBDocInfo.h"
#include "model/clsDBInfo.h"

namespace morvane::test {

// With optional, the cells that only the optional positions read (its layoutExtra) too, and the layout
// the example is read with (its layoutValues, and with optional its layoutExtra).
clsDBInfo exampleModel(bool optional = false);
clsExcelDBDocInfo exampleLayout(bool optional = false);
// The ten positions in the order of --layout-values, then the optional ones as --layout-extra gives them.
clsExcelDBDocInfo layoutOf(const std::array<std::int32_t, 10>& values, const std::string& extra = "");
using ::morvane::modelJson;  // the model as morvane-batch --dump prints it: comparisons show the difference

}  // namespace morvane::test
