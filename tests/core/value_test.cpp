#include "core/value.h"

#include <gtest/gtest.h>

#include "core/text.h"

namespace sorvane {
namespace {

TEST(ValueTest, NumbersShowInGeneralForm) {
  EXPECT_EQ(FormatGeneral(12), "12");
  EXPECT_EQ(FormatGeneral(0.1 + 0.2), "0.3");
  EXPECT_EQ(FormatGeneral(-1234567.125), "-1234567.125");
  EXPECT_EQ(FormatGeneral(1e20), "1E+20");
  EXPECT_EQ(FormatGeneral(0.00001), "1E-05");
  EXPECT_EQ(FormatGeneral(123456789012345.0), "123456789012345");
}

TEST(ValueTest, DatesFromSpreadsheetSerials) {
  EXPECT_EQ(Date::FromSerial(37437)->ToShortDate(), "6/30/2002");
  EXPECT_EQ(Date::FromSerial(37437.5)->ToDisplay(), "6/30/2002 12:00:00");
  EXPECT_EQ(Date::FromSerial(35975, true)->ToShortDate(), "6/30/2002");  // 1904 system
  EXPECT_FALSE(Date::FromSerial(1e12));
  EXPECT_EQ(Date::FromIso("2002-06-30 01:02:03")->ToIsoT(), "2002-06-30T01:02:03");
  EXPECT_EQ(Date::FromTicks(Date::FromParts(1999, 12, 31, 23, 59, 59)->Ticks()).ToIso(),
            "1999-12-31 23:59:59");
}

TEST(TextTest, NormalisingHelpers) {
  EXPECT_EQ(UpperCase("caf\xC3\xA9 mw-1"), "CAF\xC3\x89 MW-1");
  EXPECT_EQ(StripChar("1,1-Dichloroethane", ','), "11-Dichloroethane");
  EXPECT_EQ(ReplaceAll("XYZLABORATORIES", "LABORATORIES", "LAB"), "XYZLAB");
  EXPECT_EQ(SqlQuote("O'Brien"), "'O''Brien'");
  EXPECT_EQ(Utf8Length("\xC3\xA9t\xC3\xA9"), 3u);
  EXPECT_EQ(Utf8Prefix("\xC3\xA9t\xC3\xA9", 2), "\xC3\xA9t");
  EXPECT_EQ(Trim("  a b  "), "a b");
  EXPECT_TRUE(EqualsNoCase("caf\xC3\xA9 mw-1", "CAF\xC3\x89 MW-1"));
  EXPECT_FALSE(EqualsNoCase("caf\xC3\xA9", "cafe\xCC"));
  EXPECT_FALSE(EqualsNoCase("\xC3\xB7", "\xC3\x97"));  // division and multiplication signs
  EXPECT_EQ(ValidUtf8("caf\xC3\xA9 \xF0\x9F\x92\xA7"), "caf\xC3\xA9 \xF0\x9F\x92\xA7");
  // A Latin-1 byte, an overlong slash, an encoded surrogate and a cut sequence.
  EXPECT_EQ(ValidUtf8("\xE9-\xC0\xAF-\xED\xA0\x80-\xE2\x82"),
            "\xEF\xBF\xBD-\xEF\xBF\xBD\xEF\xBF\xBD-\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD-"
            "\xEF\xBF\xBD\xEF\xBF\xBD");
}

}  // namespace
}  // namespace sorvane
