// The one conversion from workbook text to typed values. The same functions
// convert a cell and test it, so a text that converts is never marked bad.
//
//   whole number (type 3): a decimal number, rounded half to even, -32768..32767
//   single (type 4): optional sign, digits, optional fraction and exponent;
//                    finite and within single-precision range (the value itself
//                    is kept in double precision, as written)
//   date (type 7): M/D/YYYY, M/D/YY, YYYY-MM-DD, D-MON-YY or D-MON-YYYY, each with
//                  an optional time H:MM[:SS] [AM|PM]; two-digit years 00-29 mean
//                  2000-2029, 30-99 mean 1930-1999
//   text (type 200): blanks trimmed at both ends; at most `size` characters
// Surrounding blanks are ignored by the number and date forms.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/date.h"
#include "core/value.h"

namespace sorvane {

// Field type codes of record sets (the workbook structure uses 3, 4, 7 and 200).
inline constexpr int kTypeInteger = 3;
inline constexpr int kTypeSingle = 4;
inline constexpr int kTypeDouble = 5;
inline constexpr int kTypeDate = 7;
inline constexpr int kTypeChar = 129;
inline constexpr int kTypeVarChar = 200;

std::optional<int16_t> ToWholeNumber(std::string_view text);
std::optional<double> ToSingle(std::string_view text);
std::optional<Date> ToDate(std::string_view text);
// Trimmed text when it fits `size` characters.
std::optional<std::string> ToSizedText(std::string_view text, int size);
// The same, a view into `text`.
std::optional<std::string_view> SizedText(std::string_view text, int size);

bool IsIntegerText(std::string_view text);
bool IsSingleText(std::string_view text);
bool IsDateText(std::string_view text);

// Converts a non-empty text to the value of a field type (3, 4, 7, 200); other
// types give a missing value. Nothing when the text does not convert.
std::optional<Value> ConvertText(std::string_view text, int type, int size);

// Rounds half to even, as the program's whole-number conversions do.
double RoundHalfEven(double v);

}  // namespace sorvane
