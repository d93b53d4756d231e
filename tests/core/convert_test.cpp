#include "core/convert.h"

#include <gtest/gtest.h>

namespace sorvane {
namespace {

struct WholeCase {
  const char* text;
  std::optional<int16_t> expected;
};

TEST(ConvertTest, WholeNumbersRoundHalfToEvenWithinSixteenBits) {
  const WholeCase cases[] = {
      {"12", 12},
      {"12.5", 12},
      {"13.5", 14},
      {"-2.5", -2},
      {" 7 ", 7},
      {"32767", 32767},
      {"32767.4", 32767},
      {"32767.5", std::nullopt},
      {"-32768", -32768},
      {"-32768.5", -32768},
      {"-32769", std::nullopt},
      {"40000", std::nullopt},
      {"abc", std::nullopt},
      {"", std::nullopt},
      {"1e3", 1000},
      {"1,000", std::nullopt},
      {"+5", 5},
      {".5", 0},
      {"1.5", 2},
      {"12a", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToWholeNumber(c.text), c.expected) << c.text;
    EXPECT_EQ(IsIntegerText(c.text), c.expected.has_value()) << c.text;
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

struct DateCase {
  const char* text;
  const char* iso;  // nullptr: not a date
};

TEST(ConvertTest, DatesAcceptTheDocumentedFormsMonthFirst) {
  const DateCase cases[] = {
      {"6/30/2002", "2002-06-30 00:00:00"},
      {"6/30/02", "2002-06-30 00:00:00"},
      {"1/2/29", "2029-01-02 00:00:00"},  // 00-29: this century
      {"1/2/30", "1930-01-02 00:00:00"},  // 30-99: the last one
      {"2002-06-30", "2002-06-30 00:00:00"},
      {"31-AUG-00", "2000-08-31 00:00:00"},
      {"31-Aug-2000", "2000-08-31 00:00:00"},
      {"6/30/2002 14:05", "2002-06-30 14:05:00"},
      {"6/30/2002 2:05:09 PM", "2002-06-30 14:05:09"},
      {"6/30/2002 12:00 AM", "2002-06-30 00:00:00"},
      {"2/29/2000", "2000-02-29 00:00:00"},
      {"13/1/2002", nullptr},
      {"2/29/2001", nullptr},
      {"2/30/2000", nullptr},
      {"30/6/2002", nullptr},
      {"6/30", nullptr},
      {"__/__/____", nullptr},
      {"", nullptr},
      {"6/30/2002 25:00", nullptr},
      {"31-XYZ-00", nullptr},
  };
  for (const auto& c : cases) {
    auto d = ToDate(c.text);
    if (c.iso == nullptr) {
      EXPECT_FALSE(d.has_value()) << c.text;
      EXPECT_FALSE(IsDateText(c.text)) << c.text;
    } else {
      ASSERT_TRUE(d.has_value()) << c.text;
      EXPECT_EQ(d->ToIso(), c.iso) << c.text;
    }
  }
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
