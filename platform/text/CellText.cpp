#include "platform/text/CellText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/workbook/Workbook.h"

namespace morvane::platform {
namespace {

void stripTrailingZeros(std::string& digits) {
  if (digits.find('.') == std::string::npos) return;
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  if (!digits.empty() && digits.back() == '.') digits.pop_back();
}

// Days from 1970-01-01 to a civil date (Howard Hinnant's algorithm), and back.
void civilFromDays(long long z, int& y, unsigned& m, unsigned& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long yy = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<int>(yy + (m <= 2));
}

}  // namespace

std::string formatNumber(double value) {
  if (!std::isfinite(value)) return "#NUM!";
  if (value == 0.0) return "0";
  const double magnitude = std::fabs(value);
  char buffer[64];
  // Round to 15 significant digits first, so 0.1+0.2 shows 0.3 and the exponent is the rounded one.
  std::snprintf(buffer, sizeof buffer, "%.14e", value);
  const double rounded = std::strtod(buffer, nullptr);
  const int exponent = std::atoi(std::string(buffer).substr(std::string(buffer).find('e') + 1).c_str());
  if (magnitude >= 1e-5 && std::fabs(rounded) < 1e15) {
    const int decimals = exponent >= 14 ? 0 : 14 - exponent;
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, rounded);
    std::string text = buffer;
    stripTrailingZeros(text);
    if (text == "-0") text = "0";
    return text;
  }
  std::string text = buffer;  // d.dddddddddddddde±XX
  const auto e = text.find('e');
  std::string mantissa = text.substr(0, e);
  stripTrailingZeros(mantissa);
  const int exp = std::atoi(text.c_str() + e + 1);
  std::snprintf(buffer, sizeof buffer, "E%c%02d", exp < 0 ? '-' : '+', std::abs(exp));
  return mantissa + buffer;
}

std::string formatDateSerial(double serial, bool date1904) {
  // Whole seconds; the spreadsheet shows dates from 1900 (or 1904) to 9999.
  const double maxSerial = date1904 ? 2957003.0 : 2958466.0;
  if (!(serial >= 0.0) || serial >= maxSerial) {
    throw WorkbookError("日付として表せない値です: " + formatNumber(serial));
  }
  long long totalSeconds = std::llround(serial * 86400.0);
  long long days = totalSeconds / 86400;
  const long long seconds = totalSeconds % 86400;
  char date[32] = "";
  bool hasDate = days != 0 || date1904;
  if (hasDate) {
    int y;
    unsigned m, d;
    if (!date1904 && days == 60) {
      // The 1900 system counts a 29 February 1900 that never was.
      y = 1900, m = 2, d = 29;
    } else {
      // Serial 1 is 1900-01-01 (1904-01-02 in the 1904 system); below 60 the 1900 system is
      // one day off because of the phantom leap day.
      long long unixDays;
      if (date1904) {
        unixDays = days - 24107;  // 1904-01-01 is serial 0
      } else if (days < 60) {
        unixDays = days - 25568;  // serial 1 = 1900-01-01
      } else {
        unixDays = days - 25569;  // serial 25569 = 1970-01-01
      }
      civilFromDays(unixDays, y, m, d);
    }
    std::snprintf(date, sizeof date, "%04d/%02u/%02u", y, m, d);
  }
  char time[16];
  std::snprintf(time, sizeof time, "%02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
  if (!hasDate) return time;
  if (seconds == 0) return date;
  return std::string(date) + " " + time;
}

bool isBuiltinDateFormat(int id) {
  return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) ||
         (id >= 50 && id <= 58);
}

bool isDateFormatCode(std::string_view code) {
  // Only the first section decides; quoted text, escaped characters and colour or
  // condition brackets say nothing about dates.
  bool inQuote = false;
  for (std::size_t i = 0; i < code.size(); ++i) {
    const char c = code[i];
    if (inQuote) {
      if (c == '"') inQuote = false;
      continue;
    }
    switch (c) {
      case '"':
        inQuote = true;
        continue;
      case '\\':
      case '_':
      case '*':
        ++i;
        continue;
      case ';':
        return false;
      case '[': {
        const auto close = code.find(']', i);
        if (close == std::string_view::npos) return false;
        const std::string_view inside = code.substr(i + 1, close - i - 1);
        // [h], [mm], [ss]: elapsed time.
        if (!inside.empty() && inside.find_first_not_of("hHmMsS") == std::string_view::npos) return true;
        i = close;
        continue;
      }
      default:
        break;
    }
    if (code.substr(i, 7) == "General" || code.substr(i, 7) == "general") {
      i += 6;
      continue;
    }
    switch (c) {
      case 'y': case 'Y': case 'm': case 'M': case 'd': case 'D':
      case 'h': case 'H': case 's': case 'S':
        return true;
      default:
        break;
    }
  }
  return false;
}

}  // namespace morvane::platform
