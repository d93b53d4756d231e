// Display texts of stored values: which number formats are dates, the general
// number form, dates of both date systems (with the 1900 system's phantom
// February 29), and OOXML character escapes.
#include "import/readers/cell_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/value.h"
#include "import/readers/utf8.h"

namespace sorvane::readers {
namespace {

TEST(CellTextTest, DateFormatCodes) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"General", false},
      {"GENERAL", false},
      {"0.00", false},
      {"#,##0.00_);[Red](#,##0.00)", false},
      {"0.00E+00", false},
      {"\"days\" 0", false},
      {"0.0\\d", false},
      {"*d0", false},
      {"_(* #,##0_)", false},
      {"#,##0 \"mg/kg\"", false},
      {"@", false},
      {"m/d/yy", true},
      {"yyyy-mm-dd", true},
      {"d-mmm", true},
      {"[h]:mm:ss", true},
      {"hh:mm AM/PM", true},
      {"[$-409]mmmm d, yyyy;@", true},
      {"[Red]General;dd", true},
      {"\"unclosed", false},
      {"[unclosed", false},
  };
  for (const auto& [code, is_date] : cases) {
    EXPECT_EQ(IsDateFormatCode(code), is_date) << code;
  }
}

TEST(CellTextTest, BuiltInDateFormats) {
  std::vector<int> dates;
  for (int id = 0; id < 200; ++id) {
    if (IsBuiltInDateFormat(id)) dates.push_back(id);
  }
  EXPECT_EQ(dates, (std::vector<int>{14, 15, 16, 17, 18, 19, 20, 21, 22, 27, 28, 29, 30, 31, 32, 33,
                                     34, 35, 36, 45, 46, 47, 50, 51, 52, 53, 54, 55, 56, 57, 58}));
}

std::string Text(double v, bool is_date, bool date1904 = false) {
  std::string out = "previous ";
  AppendNumberText(v, is_date, date1904, out);
  return out.substr(9);
}

TEST(CellTextTest, NumbersAndDates) {
  struct Case {
    double value;
    bool is_date, date1904;
    const char* text;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {
      {0.1 + 0.2, false, false, "0.3"},
      {-0.5, false, false, "-0.5"},
      {1e-5, false, false, "1E-05"},
      {123456789012345678.0, false, false, "1.23456789012346E+17"},
      {nan, false, false, "#NUM!"},
      {INFINITY, true, false, "#NUM!"},
      {44270, true, false, "3/15/2021"},
      {44270.5, true, false, "3/15/2021 12:00:00"},
      {44270.999999, true, false, "3/16/2021"},  // rounds to the next second: midnight
      {1, true, false, "1/1/1900"},
      {59, true, false, "2/28/1900"},
      {60, true, false, "2/29/1900"},
      {60.25, true, false, "2/29/1900 6:00:00"},
      {61, true, false, "3/1/1900"},
      {0.75, true, false, "12/30/1899 18:00:00"},
      {0, true, true, "1/1/1904"},
      {42808, true, true, "3/15/2021"},
      {-1, true, false, "-1"},            // before the calendar: the number
      {3000000, true, false, "3000000"},  // past the year 9999
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Text(c.value, c.is_date, c.date1904), c.text) << c.value;
  }
}

TEST(CellTextTest, StoredNumberTextsThatAreTheirOwnGeneralForm) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"12", true},
      {"-0.5", true},
      {"0", true},
      {"0.0001", true},
      {"123456789012345", true},
      {"0.123456789012345", true},
      {"1234567.125", true},
      {"0.00001", false},  // shown with an exponent
      {"1234567890123456", false},
      {"0.1234567890123456", false},
      {"1.50", false},
      {"007", false},
      {"-0", false},
      {"+1", false},
      {"1e3", false},
      {".5", false},
      {"5.", false},
      {"", false},
      {"-", false},
      {"1 ", false},
  };
  for (const auto& [text, own] : cases) {
    EXPECT_EQ(IsGeneralForm(text), own) << text;
    // Whenever the shortcut applies it must agree with the conversion.
    if (own) {
      EXPECT_EQ(FormatGeneral(std::stod(text)), text);
    }
  }
}

TEST(CellTextTest, OoxmlEscapes) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"plain", "plain"},
      {"a_x000D_b", "a\rb"},
      {"_x005F_x000D_", "_x000D_"},
      {"_xD83D__xDE00_", "\xF0\x9F\x98\x80"},
      {"_xD83D_x", "\xEF\xBF\xBDx"},  // a lone surrogate
      {"_x00G1_ _x41", "_x00G1_ _x41"},
      {"_x0041__x0042_", "AB"},
  };
  for (auto [in, want] : cases) {
    std::string s = in;
    DecodeOoxmlEscapes(s);
    EXPECT_EQ(s, want) << in;
  }
}

TEST(CellTextTest, ErrorCodes) {
  EXPECT_EQ(ErrorCodeText(0x00), "#NULL!");
  EXPECT_EQ(ErrorCodeText(0x07), "#DIV/0!");
  EXPECT_EQ(ErrorCodeText(0x0F), "#VALUE!");
  EXPECT_EQ(ErrorCodeText(0x17), "#REF!");
  EXPECT_EQ(ErrorCodeText(0x1D), "#NAME?");
  EXPECT_EQ(ErrorCodeText(0x24), "#NUM!");
  EXPECT_EQ(ErrorCodeText(0x2A), "#N/A");
  EXPECT_EQ(ErrorCodeText(0x99), "#N/A");
}

}  // namespace
}  // namespace sorvane::readers
