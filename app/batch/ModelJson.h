#pragma once
// The model as --dump prints it: each optional text only when it is not empty.
#include <nlohmann/json.hpp>

#include "model/clsDBInfo.h"

namespace morvane {

nlohmann::ordered_json modelJson(const clsDBInfo& db);

}  // namespace morvane
