#include "core/convert.h"

#include <gtest/gtest.h>

#include "support/case_table.h"

namespace sorvane {
namespace {

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
