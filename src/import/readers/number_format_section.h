// The compiled form of one section of a number format code, shared by the
// files that render it (number_format.cpp; number_fraction.cpp for fractions).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "import/readers/number_format.h"

namespace sorvane::readers {

enum class Tok {
  kLiteral,
  kDigit,      // ch: '0', '#' or '?'
  kPoint,      // decimal point
  kThousands,  // a comma between integer placeholders
  kPercent,
  kExponent,  // ch: '+' or '-'
  kGeneral,
  kText,  // '@'
  kYear,
  kMonth,
  kMinute,
  kDay,
  kHour,
  kSecond,
  kElapsedHour,
  kElapsedMinute,
  kElapsedSecond,
  kAmPm,      // ch: 'A' for AM/PM, 'a' for A/P (case kept in text)
  kFraction,  // fractions of a second, n digits
};

struct Token {
  Tok kind;
  char ch = 0;
  int n = 0;  // count of letters of a date code
  std::string text;
};

struct NumberFormat::Section {
  std::vector<Token> tokens;
  std::string cond_op;  // "", "<", "<=", ">", ">=", "=", "<>"
  double cond_value = 0;
  bool is_date = false;
  int percent = 0, scale = 0;
  bool drop_sign = false;  // set for the negative section chosen by sign
  // A fraction ("# ?/?", "?/8"): `tokens[slash]` is the literal that starts
  // with its '/', `denominator` its fixed denominator (0: placeholders), and
  // `fraction_end` the first token after the denominator (a fixed one's zeros
  // are placeholder tokens: "?/100").
  bool fraction = false;
  size_t slash = 0, fraction_end = 0;
  int64_t denominator = 0;

  bool Test(double v) const {
    if (cond_op == "<") return v < cond_value;
    if (cond_op == "<=") return v <= cond_value;
    if (cond_op == ">") return v > cond_value;
    if (cond_op == ">=") return v >= cond_value;
    if (cond_op == "=") return v == cond_value;
    if (cond_op == "<>") return v != cond_value;
    return true;
  }
};

// Marks `sec` as a fraction when its placeholders are one ("# ?/?", "# ??/??",
// "?/16"): a '/' right after digit placeholders, then placeholders or a fixed
// denominator, with no decimal point or exponent.
void MarkFraction(NumberFormat::Section& sec);

// The text of `value` in the fraction section `sec`: the whole part in its
// placeholders and the rest as the closest fraction whose denominator has as
// many digits as its placeholders (or is the fixed one); a whole number shows
// blanks for the fraction, and a format without a whole part shows an
// improper fraction ("5/2").
std::string RenderFraction(const NumberFormat::Section& sec, double value);

}  // namespace sorvane::readers
