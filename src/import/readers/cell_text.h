// How a cell's stored value becomes the text a person sees in the sheet: number
// formats that make a number a date, the general number form, date texts in
// either date system, booleans and error codes. Shared by both readers so an
// .xls and an .xlsx holding the same cells give the same texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sorvane::readers {

// Built-in number formats that show a date or time (14-22, 45-47 and the
// locale-dependent date formats 27-36 and 50-58).
bool IsBuiltInDateFormat(int format_id);

// A custom format code shows a date or time when, outside quoted text, bracketed
// parts ([Red], [$-409]), escaped characters and fill/padding characters, it
// uses one of d, m, y, h, s (or e for years, AM/PM). "General" is no date.
bool IsDateFormatCode(std::string_view code);

// Appends the display text of a number to `out`: general form, or "M/D/YYYY[ H:MM:SS]" when
// `is_date`. A date outside the calendar falls back to the general form; non-finite numbers show
// "#NUM!". Serials 1 to 60 of the 1900 system show the dates a spreadsheet shows for them
// (including its 2/29/1900).
void AppendNumberText(double value, bool is_date, bool date1904, std::string& out);

// The number an RK value of a binary workbook stores in four bytes: a 30-bit
// integer or the high 30 bits of a double, either one divided by 100 when its
// lowest bit says so.
double DecodeRk(uint32_t rk);

// "TRUE" / "FALSE".
std::string_view BooleanText(bool value);

// Error text of a BIFF error code (0x07 -> "#DIV/0!"); unknown codes show "#N/A".
std::string_view ErrorCodeText(uint8_t code);

}  // namespace sorvane::readers

namespace sorvane::readers {

// True when `text`, a number as stored in a file, already is its own general
// form ("12", "-0.5", "1234.125"), so it can be shown without converting it: a
// plain decimal without superfluous zeros or sign, at most 15 significant
// digits, no exponent, and a size the general form writes without exponent.
bool IsGeneralForm(std::string_view text);

}  // namespace sorvane::readers
