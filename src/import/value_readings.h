// What a person meant by a value written in a way its field does not take, as
// the import's findings say it and the mends apply it: characters nobody sees
// round a name or a number, a result below its detection limit written the
// laboratory's way ("<0.5", "ND"), units after a number ("5 mg/L"), a date
// kept as its number, an ID that lost its leading zeros as a number.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace sorvane {

// A text without the characters nobody sees at its ends (a non-breaking space
// pasted from a web page, a line break typed in the cell, a byte-order mark),
// and the first of them said ("with a non-breaking space after it"; "" when
// there is none).
struct Unwrapped {
  std::string_view core;
  std::string said;
};
Unwrapped Unwrap(std::string_view text);

// The limit of a result written below it: "0.5" for "<0.5" (blanks allowed).
std::optional<std::string> BelowLimit(std::string_view value);

// A result said not to be detected without its limit: "ND", "N.D.", "BDL", ...
bool SaidNotDetected(std::string_view value);

// A number written with what another field holds after it: its units ("5
// mg/L", "0.5ug/l": UNITS) or the laboratory's qualifier ("5 J", "0.5 U":
// LAB_Q). Units have a denominator or are parts per ("ppb") or percent; a
// qualifier is one or two letters other than a measure ("mg" alone is neither).
struct NumberAnd {
  std::string number;
  std::string after;  // the units or the qualifier
};
std::optional<NumberAnd> WithUnits(std::string_view value);
std::optional<NumberAnd> WithQualifier(std::string_view value);

// The date a number in a date field stands for, as its serial (days from
// 1899-12-30): a number from 1 to that of 12/31/9999, written as a number.
std::optional<double> DateSerial(const std::string& value);

// How many leading zeros the facility's ID `facility` lost as `id` (1 for
// "123456" of 0123456); 0 when `id` is no such number.
size_t LeadingZerosLost(std::string_view id, std::string_view facility);

// The number a text holds and nothing else, as the C locale reads it.
std::optional<double> PlainNumber(std::string_view text);

}  // namespace sorvane
