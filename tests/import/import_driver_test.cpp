// The import driver run from the menu, and its one-line verdict.
#include "import/import_driver.h"

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "import_fixture.h"
#include "support/case_table.h"

namespace sorvane::testing {
namespace {

const std::string kAllDone =
    "All Tables transferred to Temporary tables in Oracle.\rSelect Data Checks.";

class ImportDriverTest : public ImportTest {
 protected:
  void Run(int index) {
    mnuRunData_Click(state, index, [this](bool reset_all) { menu_updates.push_back(reset_all); });
  }
  std::vector<int> Statuses() const {
    std::vector<int> s;
    for (int n = 1; n <= 5; ++n) s.push_back(state.Tables[n].TableStatus);
    return s;
  }
  int64_t Count(const std::string& table) {
    return state.WorkConn.QueryValue("SELECT count(*) FROM " + table).AsInteger();
  }
  const LabelState& StatusLine() const { return state.view.lblStatusAll; }
  bool ImportMenuEnabled() { return state.view.menus["mnuRunAllChecks"].enabled; }

  std::vector<bool> menu_updates;
};

TEST_F(ImportDriverTest, CleanSetIsTransferredAndTheVerdictIsBold) {
  WriteCleanSet(3);
  // While the run yields, a second run cannot start from the menu.
  bool import_menu_during_run = true;
  ui.on_yield = [&] {
    if (ui.yields == 1) import_menu_during_run = ImportMenuEnabled();
  };
  Run(0);
  EXPECT_FALSE(import_menu_during_run);
  EXPECT_EQ(Statuses(), (std::vector<int>{6, 6, 6, 6, 6}));
  EXPECT_EQ(StatusLine().caption, kAllDone);
  EXPECT_TRUE(StatusLine().bold);
  EXPECT_EQ(Count("MT_TEMP1"), 3);
  EXPECT_EQ(Count("MT_TEMP5"), 3);
  EXPECT_EQ(state.FacilityID, kFacility);
  EXPECT_FALSE(state.view.txtFacilityID.enabled);
  EXPECT_EQ(menu_updates, (std::vector<bool>{false}));
  EXPECT_TRUE(ImportMenuEnabled());
  EXPECT_FALSE(state.view.ProgressBar.visible);
  EXPECT_TRUE(ui.messages.empty()) << ui.messages[0];

  // A single table later uses the fixed ID, whatever the (disabled) box holds.
  state.view.txtFacilityID.text = "";
  Run(3);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(state.Tables[3].TableStatus, 6);
}

TEST_F(ImportDriverTest, LowestStageIsNamedAndAnUnreadableWorkbookStopsOnlyItsTable) {
  WriteCleanSet();
  { std::ofstream(state.paths.WorkbookDir() / "1234567_5.xlsx") << "plain text"; }
  Cells header = Header(2);
  header.erase(header.begin() + 2);  // FLUW_ID
  Cells row = Row(2);
  row.erase(row.begin() + 2);
  WriteWorkbook(2, {header, row});
  WriteWorkbook(4, Table(4, {Row(4), Row(4, {{"SAM_DATE", "2021-02-30"}})}));
  Run(0);
  EXPECT_EQ(Statuses(), (std::vector<int>{6, 1, 6, 3, 0}));
  EXPECT_EQ(StatusLine().caption, "Fix table 5 and reimport.");
  EXPECT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(Label(5).caption, "Table 5 not imported.");
  EXPECT_FALSE(StatusLine().bold);
  EXPECT_EQ(Label(2).caption, "The FLUW_ID field(s) of Table 2 is/are missing or misspelled.  ");
  EXPECT_EQ(Label(4).caption, "Data Type Problems for Table 4: SAM_DATE");
  EXPECT_EQ(SheetText(4, 1, "SAM_DATE"), "**2021-02-30**");
  EXPECT_EQ(Count("MT_TEMP4"), 0);
  EXPECT_EQ(Count("MT_TEMP3"), 2);
}

TEST_F(ImportDriverTest, InvalidReviewDateStopsBeforeAnything) {
  WriteCleanSet();
  state.view.Option1[0].selected = false;
  state.view.Option1[1].selected = true;
  state.view.me_ReviewDate.text = "13/1/2021";
  state.Tables[2].TableStatus = 6;
  Run(0);
  EXPECT_EQ(ui.messages, (Cells{"Please check the date.  There appears to be an error."}));
  EXPECT_EQ(ui.focus, (Cells{"me_ReviewDate"}));
  EXPECT_EQ(Statuses(), (std::vector<int>{0, 6, 0, 0, 0}));
  EXPECT_TRUE(menu_updates.empty());
  EXPECT_EQ(ui.yields, 0);
  EXPECT_TRUE(state.view.txtFacilityID.enabled);
}

TEST_F(ImportDriverTest, SingleTableReimportAfterTheWorkbookWasFixed) {
  WriteCleanSet();
  WriteWorkbook(4, Table(4, {Row(4, {{"PH", "neutral"}})}));
  Run(0);
  EXPECT_EQ(Statuses(), (std::vector<int>{6, 6, 6, 3, 6}));
  EXPECT_EQ(StatusLine().caption, "Fix Data Types (highlighted with **) for table 4 and reimport.");
  // Code 3 opens the table view of the table named, with the marks.
  EXPECT_EQ(state.view.DataGrid1.source, state.SheetRecordset[4]);
  EXPECT_EQ(state.view.DataGrid1.caption,
            "Table 4 Data View - Edits must be made in Excel and Re-imported");

  WriteWorkbook(4, Table(4, {Row(4, {{"PH", "7.1"}})}));
  // Corrected and saved in the other format.
  const auto listed = state.paths.WorkbookDir() / "1234567_4.xlsx";
  std::filesystem::rename(listed, state.paths.WorkbookDir() / "1234567_4.xls");
  state.Tables[1].TableStatus = 8;  // checks ran for the other tables
  state.Tables[2].TableStatus = 7;
  Run(4);
  EXPECT_EQ(Statuses(), (std::vector<int>{8, 7, 6, 6, 6}));
  EXPECT_EQ(StatusLine().caption, kAllDone);
  EXPECT_TRUE(StatusLine().bold);
  EXPECT_EQ(Count("MT_TEMP4"), 1);
  EXPECT_EQ(state.FacilityID, kFacility);
  EXPECT_FALSE(state.view.txtFacilityID.enabled);
}

TEST_F(ImportDriverTest, SingleTableWithoutAFixedIdChecksTheBoxFirst) {
  WriteCleanSet();
  WriteWorkbook(9, {{"x"}});  // 1234567_9.xlsx: a sixth file keeps the set from passing
  std::filesystem::rename(state.paths.WorkbookDir() / "1234567_9.xlsx",
                          state.paths.WorkbookDir() / "1234567_0.xlsx");
  Run(0);  // stops at the workbook set: the ID is not fixed
  ASSERT_TRUE(state.view.txtFacilityID.enabled);
  ui.messages.clear();

  for (const std::string& typed : {std::string("12345"), std::string("")}) {
    state.view.txtFacilityID.text = typed;
    menu_updates.clear();
    Run(2);
    ASSERT_EQ(ui.messages.size(), 1u) << typed;
    EXPECT_TRUE(ui.messages[0] == "Facility ID must be 7 digits." ||
                ui.messages[0] == "Please Enter a Facility ID")
        << ui.messages[0];
    ui.messages.clear();
    EXPECT_EQ(state.Tables[2].TableStatus, 0);
    EXPECT_EQ(state.SheetRecordset[2]->FieldCount(), 0u);
    EXPECT_TRUE(menu_updates.empty());
    EXPECT_TRUE(ImportMenuEnabled());
  }
  // An ID of seven characters that the files do not hold is refused as well.
  state.view.txtFacilityID.text = "7654321";
  Run(2);
  EXPECT_EQ(ui.messages, (Cells{"Facility ID does not match copied files."}));
  EXPECT_EQ(state.Tables[2].TableStatus, 0);
}

TEST_F(ImportDriverTest, SummaryNamesTheLowestCodeAndTheHighestTableAmongEquals) {
  for (const auto& c : CaseTable("import_summaries.txt")) {
    std::istringstream codes(c[0]);
    for (int n = 1; n <= 5; ++n) codes >> state.Tables[n].TableStatus;
    state.view.lblStatusAll.bold = c[2] != "1";
    ShowImportSummary(state);
    EXPECT_EQ(StatusLine().caption, c[1]);
    EXPECT_EQ(StatusLine().bold, c[2] == "1") << c[1];
  }
  // For data types it opens the table view of the table named.
  EXPECT_EQ(state.view.DataGrid1.source, state.SheetRecordset[3]);
}

}  // namespace
}  // namespace sorvane::testing
