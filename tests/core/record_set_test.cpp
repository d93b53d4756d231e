#include "core/record_set.h"

#include <gtest/gtest.h>

#include "core/errors.h"

namespace sorvane {
namespace {

RecordSet Wells() {
  RecordSet rs;
  rs.AppendField("POINT_ID", 200, 10);
  rs.AppendField("TOC", 4, 0);
  rs.Open();
  const std::pair<const char*, std::optional<double>> rows[] = {
      {"mw-2", 12.5}, {"MW-1", std::nullopt}, {"MW-3", 3.0}, {"MW-10", 12.5}};
  for (const auto& [id, toc] : rows) {
    rs.AddNew();
    rs.SetValue("POINT_ID", Value::Text(id));
    rs.SetValue("TOC", toc ? Value::Real(*toc) : Value());
  }
  rs.MoveFirst();
  return rs;
}

std::vector<std::string> Column(const RecordSet& rs, size_t f) {
  std::vector<std::string> out;
  for (int64_t r = 0; r < rs.RecordCount(); ++r) out.push_back(rs.At(r, f).ToDisplay());
  return out;
}

TEST(RecordSetTest, DuplicateFieldNamesAreRefusedIgnoringCase) {
  RecordSet rs;
  rs.AppendField("FE", 200, 160);
  try {
    rs.AppendField("fe", 200, 160);
    FAIL() << "expected a duplicate-field error";
  } catch (const DuplicateFieldError& e) {
    EXPECT_EQ(e.number(), kErrDuplicateField);
    EXPECT_EQ(e.field_name(), "fe");
  }
}

TEST(RecordSetTest, TextLongerThanTheFieldIsRefused) {
  RecordSet rs;
  rs.AppendField("V", 200, 160);
  rs.Open();
  rs.AddNew();
  rs.SetValue(0, Value::Text(std::string(160, 'x')));
  EXPECT_EQ(rs.GetText(0).size(), 160u);
  EXPECT_THROW(rs.SetValue(0, Value::Text(std::string(161, 'x'))), ValueTooLongError);
  EXPECT_EQ(rs.GetText(0).size(), 160u);  // the old value stays
}

TEST(RecordSetTest, SortIsAscendingStableMissingFirstAndIgnoresCase) {
  RecordSet rs = Wells();
  rs.Sort("TOC");
  EXPECT_EQ(Column(rs, 0), (std::vector<std::string>{"MW-1", "MW-3", "mw-2", "MW-10"}));
  rs.Sort("POINT_ID");
  EXPECT_EQ(Column(rs, 0), (std::vector<std::string>{"MW-1", "MW-10", "mw-2", "MW-3"}));
  rs.Sort("POINT_ID");  // sorting twice gives the same ascending order
  EXPECT_EQ(Column(rs, 0), (std::vector<std::string>{"MW-1", "MW-10", "mw-2", "MW-3"}));
  rs.Sort("");
  EXPECT_EQ(Column(rs, 0), (std::vector<std::string>{"mw-2", "MW-1", "MW-3", "MW-10"}));
  EXPECT_THROW(rs.Sort("NOPE"), Error);
}

TEST(RecordSetTest, FilterCountsMatchingRowsAndClears) {
  RecordSet rs;
  rs.AppendField("FAC_ID", 200, 160);
  rs.Open();
  for (const char* id : {"1234567", "1234567", "7654321", ""}) {
    rs.AddNew();
    rs.SetValue(0, Value::Text(id));
  }
  rs.SetFilter("FAC_ID =1234567");
  EXPECT_EQ(rs.RecordCount(), 2);
  rs.ClearFilter();
  EXPECT_EQ(rs.RecordCount(), 4);
  rs.SetFilter("FAC_ID ='7654321'");
  EXPECT_EQ(rs.RecordCount(), 1);
  EXPECT_THROW(rs.SetFilter("FAC_ID ="), Error);
}

TEST(RecordSetTest, NavigationAddDeleteAndClear) {
  RecordSet rs = Wells();
  EXPECT_EQ(rs.RecordCount(), 4);
  EXPECT_FALSE(rs.Eof());
  int seen = 0;
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) ++seen;
  EXPECT_EQ(seen, 4);
  EXPECT_THROW(rs.GetValue(0), Error);  // past the end
  rs.MoveFirst();
  rs.Delete();
  EXPECT_EQ(rs.RecordCount(), 3);
  EXPECT_EQ(rs.At(0, 0).ToDisplay(), "MW-1");
  rs.Clear();
  EXPECT_EQ(rs.RecordCount(), 0);
  EXPECT_TRUE(rs.Eof());
  EXPECT_EQ(rs.FieldCount(), 2u);
}

TEST(RecordSetTest, ValuesOfEveryKindRoundTrip) {
  RecordSet rs;
  rs.AppendField("A", 3, 0);
  rs.AppendField("B", 5, 0);
  rs.AppendField("C", 7, 0);
  rs.AppendField("D", 200, 20);
  rs.Open();
  rs.AddNew();
  const Date d = *Date::FromParts(2002, 6, 30, 13, 4, 5);
  rs.SetValue(0, Value::Integer(-32768));
  rs.SetValue(1, Value::Real(0.1));
  rs.SetValue(2, Value::FromDate(d));
  rs.SetValue(3, Value::Text("Benzo(a)pyrene"));
  EXPECT_EQ(rs.GetValue(0), Value::Integer(-32768));
  EXPECT_EQ(rs.GetValue(1), Value::Real(0.1));
  EXPECT_EQ(rs.GetValue(2), Value::FromDate(d));
  EXPECT_EQ(rs.GetValue(3), Value::Text("Benzo(a)pyrene"));
  EXPECT_EQ(rs.GetValue(2).ToDisplay(), "6/30/2002 13:04:05");
  rs.SetValue(3, Value());
  EXPECT_TRUE(rs.IsMissing(3));
}

}  // namespace
}  // namespace sorvane
