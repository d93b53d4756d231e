// The sort a heading click asks for (refused fields, long values and filters
// show in the import stages' tests).
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

}  // namespace
}  // namespace sorvane
