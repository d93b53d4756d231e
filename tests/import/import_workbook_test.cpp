// Reading real .xlsx workbooks from the workbook folder, through the file list
// the workbook-set verification leaves.
#include "import/import_workbook.h"

#include <string>

#include "acquire/workbook_set.h"
#include "import_fixture.h"

namespace sorvane::testing {
namespace {

class ImportWorkbookTest : public ImportTest {
 protected:
  void Verify() { ASSERT_TRUE(VerifyWorkbookSet(state)); }
};

TEST_F(ImportWorkbookTest, ReadsTheTableFromItsWorkbook) {
  WriteCleanSet();
  XlsxRows rows = {{"FAC_ID", "POINT_ID", "WL_Date", "wl", "WL_Contractor", "WL_COMMENTS"},
                   {kFacility, "MW-1", "3/15/2021", 12.5, "C-01", ""},
                   {"", "MW-2", "3/16/2021", 1, "C-01", "first cell empty: skipped"},
                   {kFacility, "\"MW-3\"", "3/17/2021", -0.25, "", "quoted"}};
  WriteXlsx(state.paths.WorkbookDir() / "1234567_3.xlsx", rows);
  Verify();
  ASSERT_TRUE(ImportWorkbook(state, 3));
  EXPECT_EQ(SheetFields(3),
            (Cells{"FAC_ID", "POINT_ID", "WL_DATE", "WL", "WL_CONTRACT", "WL_COMMENTS"}));
  ASSERT_EQ(state.SheetRecordset[3]->RecordCount(), 2);
  EXPECT_EQ(SheetRow(3, 0), (Cells{kFacility, "MW-1", "3/15/2021", "12.5", "C-01", ""}));
  EXPECT_EQ(SheetRow(3, 1), (Cells{kFacility, "MW-3", "3/17/2021", "-0.25", "", "quoted"}));
  EXPECT_EQ(Label(3).caption, "Table 3 imported. 1 row skipped, first cell empty: row 3.");
  EXPECT_EQ(state.Tables[3].SkippedRows, std::vector<int64_t>{3});
  EXPECT_EQ(state.Tables[3].TableStatus, 1);
  EXPECT_EQ(state.view.ProgressBar.max, 4);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ImportWorkbookTest, DuplicatedLastHeaderStopsTheTable) {
  WriteCleanSet();
  Cells header = Header(4);
  header.push_back("Fe2");
  WriteWorkbook(4, {header, Row(4)});
  Verify();
  EXPECT_FALSE(ImportWorkbook(state, 4));
  EXPECT_EQ(Label(4).caption, "FE appears to be duplicated.");
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ImportWorkbookTest, TableWithoutAWorkbookInTheListIsNotImported) {
  WriteWorkbook(1, Table(1, {Row(1)}));
  ASSERT_FALSE(VerifyWorkbookSet(state));  // one file of five
  ui.messages.clear();
  EXPECT_FALSE(ImportWorkbook(state, 4));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].find("Table 4"), std::string::npos) << ui.messages[0];
  EXPECT_EQ(Label(4).caption, "Table 4 not imported.");
}

}  // namespace
}  // namespace sorvane::testing
