// A calendar date with a time of day, second resolution, no time zone.
// Dates are what the workbooks, the work database and the checks compare: the
// database stores them as "YYYY-MM-DD HH:MM:SS" text so text order is time order.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sorvane {

class Date {
 public:
  Date() = default;  // 1899-12-30 00:00:00, the spreadsheet epoch

  // Returns nothing when a part is out of range (month 13, February 30, hour 24...).
  static std::optional<Date> FromParts(int year, int month, int day, int hour = 0, int minute = 0,
                                       int second = 0);
  // Days (and fraction) since 1899-12-30, as spreadsheets store dates; `date1904`
  // selects the 1904 system. Rounds to the nearest second. Nothing for values
  // outside years 100..9999 or non-finite.
  static std::optional<Date> FromSerial(double serial, bool date1904 = false);
  // Inverse of FromSerial: days (and fraction) since the system's epoch.
  double ToSerial(bool date1904 = false) const;
  // Reads "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS" or "YYYY-MM-DDTHH:MM:SS".
  static std::optional<Date> FromIso(std::string_view text);
  // Inverse of Ticks().
  static Date FromTicks(int64_t ticks);
  static Date Now();    // local time
  static Date Today();  // local date, midnight

  int year() const { return year_; }
  int month() const { return month_; }
  int day() const { return day_; }
  int hour() const { return hour_; }
  int minute() const { return minute_; }
  int second() const { return second_; }
  bool HasTime() const { return hour_ != 0 || minute_ != 0 || second_ != 0; }

  // Seconds since 0001-01-01 00:00:00 (proleptic Gregorian); orders dates.
  int64_t Ticks() const;

  std::string ToIso() const;        // "YYYY-MM-DD HH:MM:SS"
  std::string ToIsoT() const;       // "YYYY-MM-DDTHH:MM:SS"
  std::string ToDisplay() const;    // "M/D/YYYY", with " H:MM:SS" when it has a time
  std::string ToShortDate() const;  // "M/D/YYYY"

  friend bool operator==(const Date& a, const Date& b) { return a.Ticks() == b.Ticks(); }
  friend std::strong_ordering operator<=>(const Date& a, const Date& b) {
    return a.Ticks() <=> b.Ticks();
  }

 private:
  int year_ = 1899, month_ = 12, day_ = 30, hour_ = 0, minute_ = 0, second_ = 0;
};

}  // namespace sorvane
