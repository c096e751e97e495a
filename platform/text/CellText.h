#pragma once
// How both workbook backends turn cell values into text, so an .xls and an .xlsx of the same
// document read alike.
#include <string>
#include <string_view>

namespace morvane::platform {

// A number as a General cell shows it: at most 15 significant digits, no trailing zeros, plain
// decimal between 1e-5 and 1e15, otherwise mantissa and exponent ("1E+15", "1.5E-06").
std::string formatNumber(double value);

// A date serial as text: "yyyy/mm/dd" when it has no time of day, "hh:mm:ss" when it has no
// date part, else "yyyy/mm/dd hh:mm:ss". Rounded to the second. Throws WorkbookError for a
// serial outside the range the spreadsheet can show.
std::string formatDateSerial(double serial, bool date1904);

// Whether a built-in number format (by id) shows a date or time.
bool isBuiltinDateFormat(int formatId);

// Whether a format code ("yyyy/m/d", "[h]:mm", "0.00") shows a date or time.
bool isDateFormatCode(std::string_view code);

// "True" or "False", as the spreadsheet's value converts to text.
inline std::string formatBoolean(bool value) { return value ? "True" : "False"; }

}  // namespace morvane::platform
