#pragma once
#include <string_view>

namespace morvane {

// The product's home page, linked from the title page of every documentation set.
inline constexpr std::string_view kSiteAddress = "https://morvane.example/";

}  // namespace morvane
