// Values and their texts: the general number form, dates from serials, the
// text helpers, and the conversion of workbook text to each field type.
#include "core/value.h"

#include <gtest/gtest.h>

#include "core/convert.h"
#include "core/text.h"
#include "support/case_table.h"

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

TEST(ConvertTest, WholeNumbersAndDatesFromText) {
  for (const auto& c : testing::CaseTable("whole_numbers.txt")) {
    const std::optional<int16_t> expected =
        c[1] == "-" ? std::nullopt : std::optional<int16_t>(std::stoi(c[1]));
    EXPECT_EQ(ToWholeNumber(c[0]), expected) << c[0];
    EXPECT_EQ(IsIntegerText(c[0]), expected.has_value()) << c[0];
  }
  for (const auto& c : testing::CaseTable("dates.txt")) {
    const auto d = ToDate(c[0]);
    EXPECT_EQ(d ? d->ToIso() : "-", c[1]) << c[0];
    EXPECT_EQ(IsDateText(c[0]), c[1] != "-") << c[0];
  }
}

TEST(ConvertTest, SinglesKeepTheWrittenValueWithinSingleRange) {
  EXPECT_EQ(ToSingle("0.05"), 0.05);  // kept in double precision for the boundary checks
  EXPECT_EQ(ToSingle("-1.25E2"), -125.0);
  EXPECT_EQ(ToSingle("3.4e38"), 3.4e38);
  EXPECT_FALSE(ToSingle("3.5e38"));
  EXPECT_FALSE(ToSingle("1e400"));
  EXPECT_FALSE(ToSingle("nan"));
  EXPECT_FALSE(ToSingle("inf"));
  EXPECT_FALSE(ToSingle("1.2.3"));
  EXPECT_FALSE(ToSingle("e5"));
  EXPECT_FALSE(IsSingleText("ND"));
}

TEST(ConvertTest, TextIsTrimmedAndMeasuredInCharacters) {
  EXPECT_EQ(ToSizedText("  abc  ", 3), "abc");
  EXPECT_FALSE(ToSizedText("abcd", 3));
  EXPECT_EQ(ToSizedText("\xC3\xA9t\xC3\xA9", 3), "\xC3\xA9t\xC3\xA9");  // three characters
  // Twelve characters as read, ten after trimming: converts.
  EXPECT_EQ(ToSizedText(" 0123456789 ", 10), "0123456789");
}

TEST(ConvertTest, ConvertTextByFieldType) {
  EXPECT_EQ(ConvertText("12.5", kTypeInteger, 0), Value::Integer(12));
  EXPECT_EQ(ConvertText("7.25", kTypeSingle, 0), Value::Real(7.25));
  EXPECT_EQ(ConvertText("1/2/2003", kTypeDate, 0), Value::FromDate(*Date::FromParts(2003, 1, 2)));
  EXPECT_EQ(ConvertText(" MW-1 ", kTypeVarChar, 10), Value::Text("MW-1"));
  EXPECT_EQ(ConvertText("anything", 11, 0), Value());  // other types stay empty
  EXPECT_FALSE(ConvertText("abc", kTypeInteger, 0));
}

}  // namespace
}  // namespace sorvane
