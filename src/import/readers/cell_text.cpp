#include "import/readers/cell_text.h"

#include <cmath>
#include <cstring>

#include "core/date.h"
#include "core/value.h"

namespace sorvane::readers {

bool IsBuiltInDateFormat(int id) {
  return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) ||
         (id >= 50 && id <= 58);
}

bool IsDateFormatCode(std::string_view code) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  for (size_t i = 0; i < code.size(); ++i) {
    const char c = lower(code[i]);
    switch (c) {
      case '"': {
        const size_t end = code.find('"', i + 1);
        if (end == std::string_view::npos) return false;
        i = end;
        break;
      }
      case '[': {
        const size_t end = code.find(']', i + 1);
        if (end == std::string_view::npos) return false;
        i = end;
        break;
      }
      case '\\':
      case '_':
      case '*':
        ++i;  // the next character is literal text or a fill/padding character
        break;
      case 'g':
        // "General" (any case) is the general number form, not a "g" era code.
        if (code.size() - i >= 7) {
          std::string_view word = code.substr(i, 7);
          bool general = true;
          for (size_t k = 0; k < 7; ++k) general = general && lower(word[k]) == "general"[k];
          if (general) i += 6;
        }
        break;
      case 'd':
      case 'm':
      case 'y':
      case 'h':
      case 's':
        return true;
      default:
        break;
    }
  }
  return false;
}

namespace {

void AppendTime(int hour, int minute, int second, std::string& out) {
  if (hour == 0 && minute == 0 && second == 0) return;
  out += ' ';
  out += std::to_string(hour);
  out += ':';
  out += static_cast<char>('0' + minute / 10);
  out += static_cast<char>('0' + minute % 10);
  out += ':';
  out += static_cast<char>('0' + second / 10);
  out += static_cast<char>('0' + second % 10);
}

}  // namespace

double DecodeRk(uint32_t rk) {
  double v;
  if (rk & 0x02) {
    v = static_cast<double>(static_cast<int32_t>(rk) >> 2);
  } else {
    const uint64_t bits = uint64_t{rk & 0xFFFFFFFCu} << 32;
    std::memcpy(&v, &bits, sizeof v);
  }
  return (rk & 0x01) ? v / 100 : v;
}

void AppendNumberText(double value, bool is_date, bool date1904, std::string& out) {
  if (!std::isfinite(value)) {
    out += "#NUM!";
    return;
  }
  if (is_date && value >= 0) {
    double serial = value;
    if (!date1904 && value >= 1 && value < 61) {
      // The 1900 system counts a February 29 that 1900 did not have, so its
      // serials before March 1900 run one day behind the real calendar.
      if (value >= 60) {
        const auto t = Date::FromSerial(value - 60);  // the time of day only
        if (t) {
          out += "2/29/1900";
          AppendTime(t->hour(), t->minute(), t->second(), out);
          return;
        }
      } else {
        serial = value + 1;
      }
    }
    if (const auto d = Date::FromSerial(serial, date1904)) {
      out += d->ToDisplay();
      return;
    }
  }
  out += FormatGeneral(value);
}

std::string_view BooleanText(bool value) { return value ? "TRUE" : "FALSE"; }

std::string_view ErrorCodeText(uint8_t code) {
  switch (code) {
    case 0x00:
      return "#NULL!";
    case 0x07:
      return "#DIV/0!";
    case 0x0F:
      return "#VALUE!";
    case 0x17:
      return "#REF!";
    case 0x1D:
      return "#NAME?";
    case 0x24:
      return "#NUM!";
    case 0x2A:
      return "#N/A";
    case 0x2B:
      return "#GETTING_DATA";
    default:
      return "#N/A";
  }
}

}  // namespace sorvane::readers

namespace sorvane::readers {

bool IsGeneralForm(std::string_view t) {
  size_t i = 0;
  if (!t.empty() && t[0] == '-') i = 1;
  if (i >= t.size()) return false;
  const size_t int_start = i;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
  const size_t int_digits = i - int_start;
  if (int_digits == 0 || int_digits > 15) return false;
  const bool int_is_zero = int_digits == 1 && t[int_start] == '0';
  if (int_digits > 1 && t[int_start] == '0') return false;     // leading zero
  if (i == t.size()) return !(int_is_zero && int_start == 1);  // "-0" shows "0"
  if (t[i] != '.') return false;
  ++i;
  const size_t frac_start = i;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
  if (i != t.size() || i == frac_start || t.back() == '0') return false;
  size_t significant = int_is_zero ? 0 : int_digits;
  if (int_is_zero) {
    size_t zeros = 0;
    while (frac_start + zeros < t.size() && t[frac_start + zeros] == '0') ++zeros;
    if (zeros >= 4) return false;  // 0.0000x is written with an exponent
    significant = t.size() - frac_start - zeros;
  } else {
    significant += t.size() - frac_start;
  }
  return significant <= 15;
}

}  // namespace sorvane::readers
