#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

namespace morvane {

// True when the text reads as a number: surrounding spaces, a sign, a decimal point and an
// exponent are allowed; full-width digits and signs (typed with the input method on) count too.
bool isNumeric(std::string_view text);

// The number conversion used for layout values: surrounding spaces ignored, a fraction to the
// nearest integer with a half to the even neighbour. Empty, non-numeric and out-of-range texts
// give nothing.
std::optional<std::int32_t> toInt32(std::string_view text);

}  // namespace morvane
