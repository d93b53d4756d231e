// One cell of a record set or a database row: missing (Null), a whole number, a
// real number, a date or a text. Values compare by kind first, then by content.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "core/date.h"

namespace sorvane {

class Value {
 public:
  enum class Kind { kMissing, kInteger, kReal, kDate, kText };

  Value() = default;
  static Value Integer(int64_t v) { return Value(Data(std::in_place_index<1>, v)); }
  static Value Real(double v) { return Value(Data(std::in_place_index<2>, v)); }
  static Value FromDate(const Date& v) { return Value(Data(std::in_place_index<3>, v)); }
  static Value Text(std::string v) { return Value(Data(std::in_place_index<4>, std::move(v))); }

  Kind kind() const { return static_cast<Kind>(data_.index()); }
  bool IsMissing() const { return data_.index() == 0; }
  bool IsNumber() const { return data_.index() == 1 || data_.index() == 2; }

  // Accessors assume the matching kind (checked in debug builds by std::get).
  int64_t AsInteger() const { return std::get<1>(data_); }
  double AsReal() const { return std::get<2>(data_); }
  const Date& AsDate() const { return std::get<3>(data_); }
  const std::string& AsText() const { return std::get<4>(data_); }

  // Numeric value of a number (0 for anything else).
  double ToDouble() const;
  // What a person sees: "" for missing, numbers in general form (15 significant
  // digits), dates "M/D/YYYY[ H:MM:SS]", text as it is.
  std::string ToDisplay() const;

  friend bool operator==(const Value& a, const Value& b) { return a.data_ == b.data_; }

 private:
  using Data = std::variant<std::monostate, int64_t, double, Date, std::string>;
  explicit Value(Data d) : data_(std::move(d)) {}
  Data data_;
};

// "General" number form of a spreadsheet: up to 15 significant digits, no
// thousands separator, exponent only for very large or small magnitudes.
std::string FormatGeneral(double v);

}  // namespace sorvane
