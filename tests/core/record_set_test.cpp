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

TEST(RecordSetTest, DuplicateFieldAndTooLongTextAreRefused) {
  RecordSet rs;
  rs.AppendField("V", 200, 160);
  try {
    rs.AppendField("v", 200, 160);
    FAIL() << "expected a duplicate-field error";
  } catch (const DuplicateFieldError& e) {
    EXPECT_EQ(e.number(), kErrDuplicateField);
    EXPECT_EQ(e.field_name(), "v");
  }
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

}  // namespace
}  // namespace sorvane
