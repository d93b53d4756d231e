#include "core/date.h"

#include <fmt/format.h>

#include <charconv>
#include <cmath>
#include <ctime>

namespace sorvane {
namespace {

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Days from 1970-01-01 (Howard Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

const int64_t kEpoch1899 = DaysFromCivil(1899, 12, 30);
const int64_t kEpoch0001 = DaysFromCivil(1, 1, 1);

bool ReadInt(std::string_view s, int& out) {
  if (s.empty()) return false;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && p == s.data() + s.size();
}

}  // namespace

std::optional<Date> Date::FromParts(int year, int month, int day, int hour, int minute,
                                    int second) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return std::nullopt;
  if (day > DaysInMonth(year, month)) return std::nullopt;
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
    return std::nullopt;
  Date d;
  d.year_ = year;
  d.month_ = month;
  d.day_ = day;
  d.hour_ = hour;
  d.minute_ = minute;
  d.second_ = second;
  return d;
}

double Date::ToSerial(bool date1904) const {
  return static_cast<double>(Ticks() - Date().Ticks()) / 86400 - (date1904 ? 1462 : 0);
}

std::optional<Date> Date::FromSerial(double serial, bool date1904) {
  if (!std::isfinite(serial)) return std::nullopt;
  if (date1904) serial += 1462;
  // 2,958,466 is 10000-01-01; -657,434 is 0100-01-01.
  if (serial < -657434.0 || serial >= 2958466.0) return std::nullopt;
  const int64_t total = static_cast<int64_t>(std::llround(serial * 86400.0));
  int64_t days = total / 86400;
  int64_t secs = total % 86400;
  if (secs < 0) {
    secs += 86400;
    days -= 1;
  }
  int y, m, d;
  CivilFromDays(kEpoch1899 + days, y, m, d);
  return FromParts(y, m, d, static_cast<int>(secs / 3600), static_cast<int>(secs / 60 % 60),
                   static_cast<int>(secs % 60));
}

std::optional<Date> Date::FromIso(std::string_view t) {
  if (t.size() != 10 && t.size() != 19) return std::nullopt;
  if (t[4] != '-' || t[7] != '-') return std::nullopt;
  int y, mo, d, h = 0, mi = 0, s = 0;
  if (!ReadInt(t.substr(0, 4), y) || !ReadInt(t.substr(5, 2), mo) || !ReadInt(t.substr(8, 2), d))
    return std::nullopt;
  if (t.size() == 19) {
    if ((t[10] != ' ' && t[10] != 'T') || t[13] != ':' || t[16] != ':') return std::nullopt;
    if (!ReadInt(t.substr(11, 2), h) || !ReadInt(t.substr(14, 2), mi) ||
        !ReadInt(t.substr(17, 2), s))
      return std::nullopt;
  }
  return FromParts(y, mo, d, h, mi, s);
}

Date Date::FromTicks(int64_t ticks) {
  int64_t days = ticks / 86400;
  int64_t secs = ticks % 86400;
  if (secs < 0) {
    secs += 86400;
    days -= 1;
  }
  Date r;
  CivilFromDays(kEpoch0001 + days, r.year_, r.month_, r.day_);
  r.hour_ = static_cast<int>(secs / 3600);
  r.minute_ = static_cast<int>(secs / 60 % 60);
  r.second_ = static_cast<int>(secs % 60);
  return r;
}

Date Date::Now() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return *FromParts(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                    tm.tm_sec > 59 ? 59 : tm.tm_sec);
}

Date Date::Today() {
  Date n = Now();
  return *FromParts(n.year_, n.month_, n.day_);
}

int64_t Date::Ticks() const {
  const int64_t days =
      DaysFromCivil(year_, static_cast<unsigned>(month_), static_cast<unsigned>(day_)) - kEpoch0001;
  return days * 86400 + hour_ * 3600 + minute_ * 60 + second_;
}

std::string Date::ToIso() const {
  return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", year_, month_, day_, hour_, minute_,
                     second_);
}

std::string Date::ToIsoT() const {
  return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}", year_, month_, day_, hour_, minute_,
                     second_);
}

std::string Date::ToShortDate() const { return fmt::format("{}/{}/{}", month_, day_, year_); }

std::string Date::ToDisplay() const {
  if (!HasTime()) return ToShortDate();
  return fmt::format("{}/{}/{} {}:{:02}:{:02}", month_, day_, year_, hour_, minute_, second_);
}

}  // namespace sorvane
