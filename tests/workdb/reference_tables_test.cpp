// Replacing a reference table from another file's rows: what is refused (and
// the old table kept whole), and what a replacement looks like afterwards.
#include "workdb/reference_tables.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "core/errors.h"
#include "support/work_db.h"

namespace sorvane::testing {
namespace {

using Rows = std::vector<std::vector<Value>>;

// Rows handed over as a file's table would hand them; `fail_after` rows are
// read before the read fails.
class FakeRows : public TableRows {
 public:
  FakeRows(std::vector<SourceColumn> columns, Rows rows, int fail_after = -1)
      : columns_(std::move(columns)), rows_(std::move(rows)), fail_after_(fail_after) {}
  const std::vector<SourceColumn>& columns() const override { return columns_; }
  bool Next(std::vector<Value>& row) override {
    if (static_cast<int>(next_) == fail_after_) throw Error(3343, "page 9 is damaged");
    if (next_ == rows_.size()) return false;
    row = rows_[next_++];
    return true;
  }

 private:
  std::vector<SourceColumn> columns_;
  Rows rows_;
  size_t next_ = 0;
  int fail_after_;
};

Value T(const char* s) { return Value::Text(s); }
Value I(int64_t v) { return Value::Integer(v); }

const std::vector<SourceColumn> kLabColumns = {{"LAB", SourceKind::kInteger},
                                               {"ALIAS", SourceKind::kText},
                                               {"NAME", SourceKind::kText},
                                               {"NOFORMAT", SourceKind::kText}};
FakeRows Labs(Rows rows) { return FakeRows(kLabColumns, std::move(rows)); }
FakeRows Site(Value latdd) {
  return FakeRows({{"SITE"}, {"LATDD"}, {"LATMM"}, {"LONGDD"}, {"LONGMM"}},
                  {{T("1234567"), latdd, I(1), I(2), I(3)}});
}

class ReferenceTablesTest : public ::testing::Test {
 public:
  void SetUp() override { OpenTestWorkDb(work); }
  // The shipped table structures, with `change` applied to their rows.
  FakeRows Structures(const std::function<void(Rows&)>& change) {
    RecordSet rs = work.QueryNative("SELECT * FROM MT_VBSTRUCTURE");
    std::vector<SourceColumn> columns;
    for (const Field& f : rs.fields()) columns.push_back({f.name, SourceKind::kText});
    Rows rows;
    for (int64_t r = 0; r < rs.RecordCount(); ++r) {
      rows.emplace_back();
      for (size_t f = 0; f < rs.FieldCount(); ++f) rows.back().push_back(rs.At(r, f));
    }
    change(rows);
    return FakeRows(columns, rows);
  }
  Connection work;
};

TEST_F(ReferenceTablesTest, RefusedTableKeepsTheOldOneWhole) {
  const std::string range = ", which is not a whole number from -2147483648 to 2147483647";
  auto lab_columns = kLabColumns;
  lab_columns[2].kind = SourceKind::kBinary;
  struct {
    const char* table;
    FakeRows rows;
    std::string why;
  } cases[] = {
      {"MT_TEMP5", Labs({}), "not a reference table of the work database"},
      {"MT_LAB", FakeRows({kLabColumns.begin(), kLabColumns.end() - 1}, {}),
       "it lacks the column NOFORMAT"},
      {"MT_LAB", FakeRows(lab_columns, {}), "its column NAME holds binary data"},
      {"MT_LAB", Labs({{I(7), T("A"), T("B"), T("B")}, {T("abc"), T("A"), T("B"), T("B")}}),
       "row 2: LAB holds \"abc\"" + range},
      {"mt_lab", Labs({{Value::Real(1.5), T("A"), T("B"), T("B")}}),
       "row 1: LAB holds 1.5" + range},
      {"MT_LAB", Labs({{I(3000000000), T("A"), T("B"), T("B")}}),
       "row 1: LAB holds 3000000000" + range},
      {"MT_LAB", Labs({{Value(), T("A"), T("B"), T("B")}}), "row 1: LAB is empty"},
      {"MT_LAB", Labs({{I(0), T("A"), T("B"), T("B")}}),
       "row 1: refused by the table's rules (CHECK constraint failed: LAB <> 0)"},
      {"MT_LAB", Labs({{I(7), T("A"), T("B"), T("B")}, {I(7), T("C"), T("D"), T("D")}}),
       "row 2: refused by the table's rules (UNIQUE constraint failed: MT_LAB.LAB)"},
      {"T_SITE", Site(T("north")), "row 1: LATDD holds \"north\", which is not a number"},
      {"MT_LAB", FakeRows(kLabColumns, {{I(7), T("A"), T("B"), T("B")}}, 1),
       "the file could not be read: page 9 is damaged"},
      {"MT_VBSTRUCTURE", Structures([](Rows& r) { r.clear(); }),
       "it lacks the workbook column(s) TEMP_1.FAC_ID, TEMP_1.POINT_ID, TEMP_1.LAT_DD, "
       "TEMP_1.LAT_MM, TEMP_1.LAT_SS and 62 more, which the import reads"},
      {"MT_VBSTRUCTURE", Structures([](Rows& r) { r.push_back(r.front()); }),
       "it lists the workbook column(s) TEMP_1.FAC_ID twice"},
      {"MT_VBSTRUCTURE", Structures([](Rows& r) {
         for (auto& row : r)
           if (row[1] == T("CONC")) row[2] = I(99);
       }),
       "the workbook column(s) TEMP_5.CONC have a FIELD_TYPE other than 3, 4, 7 or 200, which "
       "the import cannot convert"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.why);
    const std::string before = DumpDatabase(work);
    ReplaceOutcome out = ReplaceReferenceTable(work, c.table, c.rows);
    EXPECT_FALSE(out.replaced);
    EXPECT_EQ(out.why, c.why);
    EXPECT_EQ(DumpDatabase(work), before);
  }
}

TEST_F(ReferenceTablesTest, RowsGoIntoTheProgramsOwnLayoutOfTheTable) {
  const std::string schema_before =
      work.QueryValue("SELECT group_concat(sql, ';') FROM sqlite_master WHERE tbl_name = 'MT_LAB'")
          .ToDisplay();
  // Names in another letter case, a column the program lacks, numbers as text.
  FakeRows rows({{"lab"}, {"Name"}, {"alias"}, {"NoFormat"}, {"REMARK"}},
                {{T(" 12 "), T("Lab Twelve"), T("L12"), T("LABTWELVE"), T("x")},
                 {Value::Real(13.0), T("Lab 13"), T("L13"), T("LAB13"), Value()}});
  ReplaceOutcome out = ReplaceReferenceTable(work, "mt_lab", rows);
  EXPECT_TRUE(out.replaced) << out.why;
  EXPECT_EQ(out.rows, 2);
  EXPECT_EQ(work.QueryValue("SELECT group_concat(sql, ';') FROM sqlite_master WHERE tbl_name = "
                            "'MT_LAB'")
                .ToDisplay(),
            schema_before);
  EXPECT_EQ(work.QueryValue("SELECT group_concat(typeof(LAB) || ':' || NAME) FROM MT_LAB "
                            "WHERE NOFORMAT = 'labtwelve' OR ALIAS = 'l13'")
                .ToDisplay(),
            "integer:Lab Twelve,integer:Lab 13");
}

}  // namespace
}  // namespace sorvane::testing
