// Reading and judging a table: the reading stage over delivered rows, real
// workbooks read through the workbook set's file list as they are shown, the
// import driver and its verdict, and the stages after reading (field names,
// Facility IDs, data types).
#include <gmock/gmock.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "acquire/workbook_set.h"
#include "core/errors.h"
#include "import/data_types.h"
#include "import/facility_ids.h"
#include "import/import_driver.h"
#include "import/import_problems.h"
#include "import/import_workbook.h"
#include "import/mends.h"
#include "import/table_structures.h"
#include "import_fixture.h"
#include "support/case_table.h"
#include "support/failing_allocation.h"
#include "support/zip_file.h"
#include "viewers/table_view.h"

namespace sorvane::testing {
namespace {

using ImportRowsTest = ImportTest;

TEST_F(ImportRowsTest, MapFieldNameUpperCasesAndMapsAliasesExactly) {
  for (const auto& c : CaseTable("field_name_aliases.txt")) {
    std::string name = c[0];
    EXPECT_EQ(MapFieldName(name), c[1]) << c[0];
    EXPECT_EQ(name, c[2]) << c[0];
  }
}

TEST_F(ImportRowsTest, TwoHeadersMappingToOneNameStopTheTable) {
  for (Cells header : {Cells{"FAC_ID", "fe+2", "Fe2"}, Cells{"FE", "X", "fe2"}}) {
    state.Tables[4].TableStatus = 3;
    EXPECT_FALSE(Import(4, {header, {kFacility, "1", "2"}}));
    EXPECT_EQ(Label(4).caption, "FE appears to be duplicated.");
    EXPECT_TRUE(Label(4).highlighted);
    EXPECT_EQ(state.Tables[4].TableStatus, 0);
    EXPECT_EQ(state.SheetRecordset[4]->FieldCount(), 0u);
    EXPECT_EQ(state.SheetRecordset[4]->RecordCount(), 0);
  }
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ImportRowsTest, ValuesGoToFieldsByPositionAndShortRowsFillWithEmptyTexts) {
  ASSERT_TRUE(Import(1, {{"A", "", "C", "", ""}, {"x"}, {"y", "z", "w"}, {"1"}, {""}, {"3"}}));
  EXPECT_EQ(SheetFields(1), (Cells{"A", "C"}));  // empty headers add no field
  EXPECT_EQ(SheetRow(1, 0), (Cells{"x", ""}));
  EXPECT_EQ(SheetRow(1, 1), (Cells{"y", "z"}));
  EXPECT_FALSE(state.SheetRecordset[1]->IsMissing(1));  // empty text, not Null
  EXPECT_EQ(state.SheetRecordset[1]->RecordCount(), 4);
  EXPECT_EQ(state.view.ProgressBar.max, 6);  // the rows of the sheet
  EXPECT_EQ(state.view.ProgressBar.value, 6);
}

TEST_F(ImportRowsTest, RowsThatDoNotSortAfterABlankAddNoRecordAndQuotesGo) {
  for (const auto& c : CaseTable("row_skip_rule.txt")) {
    ASSERT_TRUE(Import(1, {{"A", "B"}, Cells(c.begin() + 1, c.end())}));
    EXPECT_EQ(state.SheetRecordset[1]->RecordCount(), c[0] == "1" ? 1 : 0)
        << "row of " << c.size() - 1 << " cells, first '" << (c.size() > 1 ? c[1] : "") << "'";
  }
  for (const auto& c : CaseTable("quoted_cells.txt")) {
    ASSERT_TRUE(Import(1, {{"A", "B"}, {"x", c[0]}})) << c[0];
    EXPECT_EQ(SheetText(1, 0, "B"), c[1]) << c[0];
  }
}

TEST_F(ImportRowsTest, ValueOf160CharactersIsAcceptedAnd161StopsTheTableNamedButCut) {
  std::string v160;
  for (int i = 0; i < 160; ++i) v160 += "\xC3\xA9";  // 160 characters, 320 bytes
  ASSERT_TRUE(Import(2, {{"A", "B"}, {"1", v160}}));
  EXPECT_EQ(SheetText(2, 0, "B"), v160);

  const std::string v161 = std::string(160, 'y') + "z";
  EXPECT_FALSE(Import(2, {{"A", "B"}, {"1", "ok"}, {"2", v161}, {"3", "later"}}));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0],
            "A value (" + v161 + ") in Table 2 appears to be longer than the allowed length.");
  EXPECT_EQ(Label(2).caption, "One of the values appears to be longer than the allowed length.");
  EXPECT_TRUE(Label(2).highlighted);
  EXPECT_EQ(state.Tables[2].TableStatus, 0);
  // No partial rows are left for the table view.
  EXPECT_EQ(state.SheetRecordset[2]->RecordCount(), 0);

  // A value too long for the sheet is cut in the message.
  ui.messages.clear();
  Cells row = Row(3);
  row[1] = std::string(17'000'000, 'x');
  EXPECT_FALSE(Import(3, {Header(3), row}));
  EXPECT_EQ(ui.messages, (Cells{"A value (" + std::string(300, 'x') +
                                "\u2026(17000000 characters)) in Table 3 appears to be longer "
                                "than the allowed length."}));
}

TEST_F(ImportRowsTest, ReaderFailureTellsTheUserAndLeavesNoRows) {
  RowSource failing = [](const ShownRowCallback& on_row, const ShapeCallback&) {
    on_row(1, {"A", "B"}, RowFormats{});
    on_row(2, {"1", "2"}, RowFormats{});
    throw WorkbookError(WorkbookError::Reason::kTruncated,
                        "\"x.xlsx\" cannot be read: the file ends too early.");
  };
  state.Tables[3].TableStatus = 6;
  EXPECT_FALSE(ImportRows(state, 3, failing));
  EXPECT_EQ(ui.messages, (Cells{"\"x.xlsx\" cannot be read: the file ends too early."}));
  EXPECT_EQ(Label(3).caption, "Table 3 not imported.");
  EXPECT_FALSE(Label(3).highlighted);
  EXPECT_EQ(state.Tables[3].TableStatus, 0);
  EXPECT_EQ(state.SheetRecordset[3]->FieldCount(), 0u);

  // Memory running out, in the reader or while a row is stored (here at the
  // window's turn), is said as such, not as a problem with the row's text.
  ui.messages.clear();
  RowSource no_memory = [](const ShownRowCallback&, const ShapeCallback&) {
    throw std::bad_alloc();
  };
  EXPECT_FALSE(ImportRows(state, 3, no_memory));
  Sheet rows = {Header(3)};
  for (int r = 0; r < 400; ++r) rows.push_back(Row(3));
  ui.on_yield = [] { throw std::bad_alloc(); };
  EXPECT_FALSE(Import(3, rows));
  ui.on_yield = nullptr;
  const std::string said =
      "Table 3 could not be read: there is not enough memory. Close other programs and import "
      "the table again.";
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0], said);
  EXPECT_EQ(ui.messages[1].rfind("Table 3 could not be read: there is not enough memory (it ran "
                                 "out at row ",
                                 0),
            0u)
      << ui.messages[1];
  EXPECT_EQ(Label(3).caption, "Table 3 not imported.");
  EXPECT_EQ(state.SheetRecordset[3]->FieldCount(), 0u);
}

TEST_F(ImportRowsTest, AReaderStartingOverLeavesOnlyTheRowsOfItsSecondRun) {
  // A sheet whose claimed range was wrong: two rows on it, then the real shape
  // and every row again, one of them skipped.
  const Sheet second = {{"A", "B"}, {"x", "1"}, {"", "lost"}, {"y", "2"}};
  RowSource starting_over = [&](const ShownRowCallback& on_row, const ShapeCallback& on_shape) {
    SheetShape shape;
    shape.last_row = 9;
    on_shape(shape);
    on_row(1, {"A", "B", "C"}, RowFormats{});
    on_row(2, {"x", "1", "extra"}, RowFormats{});
    FromRows(second)(on_row, on_shape);
  };
  state.Tables[1].Origin.path = "levels.xlsx";
  ASSERT_TRUE(ImportRows(state, 1, starting_over));
  EXPECT_EQ(SheetFields(1), (Cells{"A", "B"}));
  EXPECT_EQ(SheetRow(1, 0), (Cells{"x", "1"}));
  EXPECT_EQ(SheetRow(1, 1), (Cells{"y", "2"}));
  EXPECT_EQ(state.SheetRecordset[1]->RecordCount(), 2);
  EXPECT_EQ(state.Tables[1].Origin.record_rows, (std::vector<int32_t>{2, 4}));
  EXPECT_EQ(state.Tables[1].SkippedRows, (std::vector<int64_t>{3}));
  EXPECT_EQ(state.view.ProgressBar.value, 4);
}

TEST_F(ImportRowsTest, CancelWhileASheetIsReadStopsTheRun) {
  WriteCleanSet(2000);
  // The window yields while Table 1 is read; a close of the window (or a
  // Ctrl-C) asks to cancel there.
  ui.on_yield = [&] {
    if (ui.yields == 2) state.CancelRequested = true;
  };
  const ImportResult result = mnuRunData_Click(state, 0, nullptr);
  EXPECT_TRUE(result.cancelled);
  EXPECT_EQ(state.StatusLabel(1).caption, "Import of Table 1 cancelled. ");
  EXPECT_EQ(state.SheetRecordset[1]->RecordCount(), 0);
  for (int n = 2; n <= 5; ++n) {
    EXPECT_EQ(state.StatusLabel(n).caption, "") << n;
    EXPECT_EQ(state.Tables[n].TableStatus, stage::kNone) << n;
  }
  EXPECT_EQ(state.WorkConn.QueryValue("SELECT COUNT(*) FROM MT_TEMP1"), Value::Integer(0));
}

// Table 1's workbook as an .ods of 2000 clean rows; stored unzipped, 1.4 MB.
class OdsImportTest : public ImportTest {
 protected:
  void WriteSetWithOds(bool stored) {
    WriteCleanSet();
    auto row = [](const Cells& cells) {
      std::string r = "<table:table-row>";
      for (const std::string& c : cells)
        r += "<table:table-cell office:value-type=\"string\"><text:p>" + c +
             "</text:p></table:table-cell>";
      return r + "</table:table-row>";
    };
    std::string rows = row(Header(1));
    for (int i = 0; i < 2000; ++i) rows += row(Row(1));
    const std::filesystem::path dir = state.paths.WorkbookDir();
    std::filesystem::remove(dir / "1234567_1.xlsx");
    std::ofstream(dir / "1234567_1.ods", std::ios::binary) << ZipFile(
        {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
         {"content.xml", "<office:document-content><office:body><office:spreadsheet><table:table>" +
                             rows + "</table:table></office:spreadsheet></office:body>" +
                             "</office:document-content>"}},
        !stored);
  }
};

// An .ods sheet is read twice, and its first pass, which delivers no rows and
// tells no shape, yields as well: a cancel there stops the run.
TEST_F(OdsImportTest, CancelWhileAnOdsSheetIsFirstReadStopsTheRun) {
  WriteSetWithOds(false);
  int64_t shape_told = -1;
  ui.on_yield = [&] {
    if (ui.yields != 2) return;
    shape_told = state.view.ProgressBar.max;
    state.CancelRequested = true;
  };
  EXPECT_TRUE(mnuRunData_Click(state, 0, nullptr).cancelled);
  EXPECT_EQ(shape_told, 1);  // not yet the sheet's 2001 rows
  EXPECT_EQ(state.StatusLabel(1).caption, "Import of Table 1 cancelled. ");
  EXPECT_EQ(state.SheetRecordset[1]->RecordCount(), 0);

  // From the command line a workbook of a megabyte or more is read on the
  // second core, where no window is served: a Ctrl-C stops that first pass.
  WriteSetWithOds(true);
  state.KeepsImportedRows = false;
  state.CancelRequested = false;
  ui.interrupt_pending = true;
  ui.interrupt_asks = 0;
  ui.on_yield = [&] {
    if (ui.interrupt_asks > 0) state.CancelRequested = true;  // the Ctrl-C, delivered
  };
  EXPECT_TRUE(mnuRunData_Click(state, 0, nullptr).cancelled);
  EXPECT_EQ(ui.interrupt_asks, 2);  // by the reader, then by the import it stopped
  EXPECT_EQ(state.StatusLabel(1).caption, "Import of Table 1 cancelled. ");
  EXPECT_EQ(state.SheetRecordset[1]->RecordCount(), 0);
}

using ImportWorkbookTest = ImportTest;

TEST_F(ImportWorkbookTest, TableWithoutAWorkbookInTheListIsNotImported) {
  WriteWorkbook(1, Table(1, {Row(1)}));
  ASSERT_FALSE(VerifyWorkbookSet(state));  // one file of five
  ui.messages.clear();
  EXPECT_FALSE(ImportWorkbook(state, 4));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].find("Table 4"), std::string::npos) << ui.messages[0];
  EXPECT_EQ(Label(4).caption, "Table 4 not imported.");
}

TEST_F(ImportWorkbookTest, FacilityIdShownWithLeadingZerosImportsAllFiveTables) {
  const std::string id = "0123456";
  state.WorkConn.ExecuteNative("INSERT INTO T_SITE (SITE) VALUES ('0123456')");
  state.view.txtFacilityID.text = id;
  for (int n = 1; n <= 5; ++n) {
    const Cells names = Header(n), texts = Row(n);
    XlsxRows rows(2);
    for (size_t i = 0; i < names.size(); ++i) {
      rows[0].emplace_back(names[i]);
      rows[1].push_back(names[i] == "FAC_ID" ? XlsxCell(123456.0, "0000000")
                        : names[i] == "WL"   ? XlsxCell(12.75, "0")  // shown "13", stored 12.75
                                             : XlsxCell(texts[i]));
    }
    WriteXlsx(state.paths.WorkbookDir() / (id + "_" + std::to_string(n) + ".xlsx"), rows);
  }
  mnuRunData_Click(state, 0, [](bool) {});
  for (int n = 1; n <= 5; ++n) EXPECT_EQ(state.Tables[n].TableStatus, 6) << "table " << n;
  EXPECT_TRUE(ui.messages.empty()) << ui.messages[0];
  EXPECT_EQ(state.WorkConn.QueryValue("SELECT SITE FROM MT_TEMP3").ToDisplay(), id);
  EXPECT_EQ(state.WorkConn.QueryValue("SELECT WL FROM MT_TEMP3").ToDisplay(), "12.75");
}

// Another program saved blank cells across the grid's last three rows: the
// used range is 16,384 columns by 1,048,576 rows, of which two hold the data.
// Only those count; the empty rows in between are no skipped records.
TEST_F(ImportWorkbookTest, SheetReachingTheGridsLastCellImportsItsRowsOnly) {
  const auto source = std::filesystem::path(SORVANE_CORPUS_DIR) / "xlsx/calamine_issue_174.xlsx";
  if (!std::filesystem::exists(source)) GTEST_SKIP() << "the shared corpus is absent";
  WriteCleanSet();
  std::filesystem::copy_file(source, state.paths.WorkbookDir() / "1234567_1.xlsx",
                             std::filesystem::copy_options::overwrite_existing);
  ASSERT_TRUE(VerifyWorkbookSet(state));
  ASSERT_TRUE(ImportWorkbook(state, 1));
  EXPECT_EQ(SheetFields(1),
            (Cells{"YOUR REF #", "CONTACT NAME", "CONTACT NUMBER", "ADDRESS", "CITY", "WEIGHT",
                   "PIECES", "MATERIAL COST", "SPL INSTRUCTION", "REMARKS", "YOUR COMPANY"}));
  ASSERT_EQ(state.SheetRecordset[1]->RecordCount(), 1);
  EXPECT_EQ(SheetText(1, 0, "CITY"), "My City");
  EXPECT_TRUE(state.Tables[1].SkippedRows.empty());
  EXPECT_EQ(state.view.ProgressBar.max, 1048576);
  EXPECT_EQ(Label(1).caption, "Table 1 imported.");
}

TEST_F(ImportWorkbookTest, EncryptedWorkbookAsksForItsPasswordNamingTheWorkbook) {
  const auto source = std::filesystem::path(SORVANE_CORPUS_DIR) / "xls/poi_password.xls";
  if (!std::filesystem::exists(source)) GTEST_SKIP() << "the shared corpus is absent";
  WriteCleanSet();
  std::filesystem::remove(state.paths.WorkbookDir() / "1234567_3.xlsx");
  std::filesystem::copy_file(source, state.paths.WorkbookDir() / "1234567_3.xls");
  ASSERT_TRUE(VerifyWorkbookSet(state));
  const auto given = [](const std::string& s) {
    return s == "<none>" ? std::nullopt : std::optional<std::string>(s);
  };
  for (const auto& c : CaseTable("workbook_passwords.txt")) {
    SCOPED_TRACE(c[0]);
    ui.messages.clear();
    ui.input_prompts.clear();
    ui.input_answers = {given(c[2])};
    state.WorkbookPassword = given(c[1]);
    const bool imported = c[3] == "1";
    EXPECT_EQ(ImportWorkbook(state, 3), imported);
    EXPECT_EQ(ui.messages, c[4].empty() ? Cells{} : Cells{c[4]});
    ASSERT_EQ(ui.input_prompts.size(), std::stoul(c[5]));
    if (c[5] != "0") {
      EXPECT_EQ(ui.input_prompts[0],
                "The workbook \"1234567_3.xls\" of Table 3 is protected by a password. Enter its "
                "password:");
    }
    EXPECT_EQ(Label(3).caption, imported ? "Table 3 imported." : "Table 3 not imported.");
  }
}

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
  // Sorts after the five, so it is never read: hovering the table says so.
  { std::ofstream(state.paths.WorkbookDir() / "z1234567_5.ods") << "saved later"; }
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
  EXPECT_EQ(Label(5).tooltip, "z1234567_5.ods was not read: Table 5 was read from 1234567_5.xlsx.");
  EXPECT_EQ(Label(4).tooltip, "");

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
  // Hovering a label says what is wrong where; a table without problems says nothing.
  EXPECT_EQ(Label(4).tooltip, "Row 3, SAM_DATE: \"2021-02-30\" is not a date.");
  EXPECT_EQ(Label(2).tooltip, "The FLUW_ID field of Table 2 is missing or misspelled.");
  EXPECT_EQ(Label(1).tooltip, "");
  EXPECT_EQ(SheetText(4, 1, "SAM_DATE"), "**2021-02-30**");
  EXPECT_EQ(Count("MT_TEMP4"), 0);
  EXPECT_EQ(Count("MT_TEMP3"), 2);
}

// Memory that runs out for a moment costs only the table it ran out in, and
// is said; the tables after it still go.
TEST_F(ImportDriverTest, RunningOutOfMemoryStopsOnlyTheTableItHappensIn) {
  WriteCleanSet(2);
  bool typing_failed = false, transfer_failed = false;
  ui.on_refresh = [&] {
    if (!typing_failed && Label(5).caption == "Checking Data Types for Table 5 ...") {
      typing_failed = true;
      FailNextAllocation();
    }
    if (!transfer_failed && Label(3).caption.starts_with("Transferring 2 records of Table 3")) {
      transfer_failed = true;
      FailNextAllocation();
    }
  };
  Run(0);
  EXPECT_THAT(ui.messages,
              ::testing::ElementsAre(
                  "Table 5 could not be imported: there is not enough memory (it ran out "
                  "while its data types were checked). Close other programs and import "
                  "the table again.",
                  "7  Out of memory (close other programs and try again)"));
  EXPECT_EQ(Statuses(), (std::vector<int>{6, 6, 4, 6, 0}));
  EXPECT_EQ(Label(5).caption, "Table 5 not imported.");
  EXPECT_EQ(Label(3).caption, "Transfer to Access for Table 3 failed. ");
  EXPECT_EQ(StatusLine().caption, "Fix table 5 and reimport.");
  EXPECT_EQ(Count("MT_TEMP3"), 0);
  EXPECT_EQ(Count("MT_TEMP4"), 2);
  EXPECT_EQ(Count("MT_TEMP5"), 0);
  EXPECT_EQ(state.SheetRecordset[5]->RecordCount(), 0);

  // With the memory back, the table imports as if nothing had happened.
  ui.messages.clear();
  Run(5);
  EXPECT_TRUE(ui.messages.empty()) << ui.messages[0];
  EXPECT_EQ(Count("MT_TEMP5"), 2);
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
  WriteWorkbook(0, {{"x"}});  // 1234567_0.xlsx: a sixth file keeps the set from passing
  Run(0);                     // stops at the workbook set: the ID is not fixed
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

class FieldNamesTest : public ImportTest {
 protected:
  bool Check(int n, Cells header) {
    EXPECT_TRUE(Import(n, {header}));
    return CheckFieldNames(state, n);
  }
};

TEST_F(FieldNamesTest, ExpectedFieldsInAnyOrderAndCaseOrByTheirAliasesPass) {
  EXPECT_TRUE(Check(3, {"WL", "wl_comments", "FAC_ID", "WL_DATE", "POINT_ID", "WL_Contractor"}));
  EXPECT_EQ(Label(3).caption, "Field Names correct for Table 3");
  EXPECT_FALSE(Label(3).highlighted);
  EXPECT_EQ(state.Tables[3].TableStatus, 2);
  Cells header = Header(4);
  std::replace(header.begin(), header.end(), std::string("CONDUCTIVITY"), std::string("Cond"));
  std::replace(header.begin(), header.end(), std::string("FE"), std::string("Fe+2"));
  EXPECT_TRUE(Check(4, header));
  // Structure names in lower case are stored in upper case.
  state.WorkConn.ExecuteNative(
      "UPDATE MT_VBSTRUCTURE SET FIELD_NAME = lower(FIELD_NAME) WHERE TABLE_NAME = 'TEMP_3'");
  LoadTableStructures(state);
  EXPECT_TRUE(Check(3, {"fac_id", "point_id", "wl_date", "wl", "wl_contract", "wl_comments"}));
}

// A name with a character nobody sees beside it is another name, and so is
// one written nearly alike; the problem says what is there, at its cell. A
// name not near the field's ("RESULT" for CONC) places it at the header row.
TEST_F(FieldNamesTest, AMissingFieldWhoseNameHasAnUnseenCharacterBesideItIsSaidToHaveIt) {
  Cells header = Header(5);
  std::replace(header.begin(), header.end(), std::string("UNITS"), std::string("Units\u00a0"));
  std::replace(header.begin(), header.end(), std::string("MDL"), std::string("\ufeff\nMDL"));
  std::replace(header.begin(), header.end(), std::string("LAB_Q"), std::string("Lab Q"));
  std::replace(header.begin(), header.end(), std::string("CONC"), std::string("RESULT"));
  EXPECT_FALSE(Check(5, header));
  EXPECT_EQ(Label(5).caption,
            "The CONC, UNITS, LAB_Q, MDL field(s) of Table 5 is/are missing or misspelled.  ");
  std::vector<ImportProblem> problems = ImportProblemsOf(state, 5);
  ASSERT_EQ(problems.size(), 4u);
  EXPECT_EQ(problems[0].text, "The CONC field of Table 5 is missing or misspelled.");
  EXPECT_TRUE(problems[0].places[0].cells.empty());
  EXPECT_EQ(problems[2].text,
            "The LAB_Q field of Table 5 is missing or misspelled. Its header cell I1 holds "
            "\"Lab Q\".");
  EXPECT_EQ(problems[2].places[0].cells, CellColumns({"I"}));
  problems.erase(problems.begin() + 2);
  problems.erase(problems.begin());
  EXPECT_EQ(problems[0].text,
            "The UNITS field of Table 5 is missing or misspelled. Its header cell H1 holds the "
            "name with a non-breaking space after it.");
  EXPECT_EQ(problems[0].places[0].cells, CellColumns({"H"}));
  EXPECT_EQ(problems[1].text,
            "The MDL field of Table 5 is missing or misspelled. Its header cell J1 holds the name "
            "with a byte-order mark before it.");
}

TEST_F(FieldNamesTest, MissingFieldsAreReportedBeforeExtraOnesInStructureOrder) {
  // Table 1 without POINT_ID and SL_COL_DATE (misspelled), with a column of its own.
  Cells header = Header(1);
  std::erase(header, "POINT_ID");
  std::replace(header.begin(), header.end(), std::string("SL_COL_DATE"), std::string("SLCOLDATE"));
  header.insert(header.begin(), "NOTES");
  EXPECT_FALSE(Check(1, header));
  EXPECT_EQ(Label(1).caption,
            "The POINT_ID, SL_COL_DATE field(s) of Table 1 is/are missing or misspelled.  ");
  EXPECT_TRUE(Label(1).highlighted);
  EXPECT_EQ(state.Tables[1].TableStatus, 1);

  header.push_back("Point_ID");
  header.push_back("SL_COL_DATE");
  EXPECT_FALSE(Check(1, header));
  EXPECT_EQ(Label(1).caption,
            "The NOTES, SLCOLDATE field(s) of 1 may have data, but should not be included in "
            "this table. ");
  EXPECT_EQ(state.Tables[1].TableStatus, 1);

  // An empty worksheet has no fields; a table without structure rows has no
  // expected ones.
  EXPECT_FALSE(Check(3, {}));
  EXPECT_EQ(Label(3).caption,
            "The FAC_ID, POINT_ID, WL_DATE, WL, WL_CONTRACT, WL_COMMENTS field(s) of Table 3 "
            "is/are missing or misspelled.  ");
  state.WorkConn.ExecuteNative("DELETE FROM MT_VBSTRUCTURE WHERE TABLE_NAME = 'TEMP_5'");
  LoadTableStructures(state);
  EXPECT_FALSE(Check(5, {"FAC_ID", "CONC"}));
  EXPECT_EQ(Label(5).caption,
            "The FAC_ID, CONC field(s) of 5 may have data, but should not be included in this "
            "table. ");
}

TEST_F(FieldNamesTest, UnusableStructureTableStopsStartUp) {
  for (const char* size : {"1e12", "-3e9"}) {
    state.WorkConn.ExecuteNative(std::string("UPDATE MT_VBSTRUCTURE SET FIELD_SIZE = ") + size +
                                 " WHERE TABLE_NAME = 'TEMP_4' AND FIELD_ORDER = 2");
    try {
      LoadTableStructures(state);
      ADD_FAILURE() << size;
    } catch (const Error& e) {
      EXPECT_EQ(e.NumberDescription(), "6 Overflow") << size;
    }
  }
}

class FacilityIdsTest : public ImportTest {
 protected:
  // Imports table 3 with the given FAC_ID per row and runs the name stage.
  // FAC_ID is the last column, so a row with an empty ID is still a row.
  bool Check(const std::vector<std::string>& fac_ids, const std::string& facility = kFacility) {
    Sheet sheet{Header(3)};
    std::rotate(sheet[0].begin(), sheet[0].begin() + 1, sheet[0].end());
    for (const auto& id : fac_ids) {
      Cells row = Row(3, {{"FAC_ID", id}});
      std::rotate(row.begin(), row.begin() + 1, row.end());
      sheet.push_back(row);
    }
    EXPECT_TRUE(Import(3, sheet));
    EXPECT_TRUE(CheckFieldNames(state, 3));
    return CheckRowFacilityIDs(state, 3, facility);
  }
};

TEST_F(FacilityIdsTest, RowsOfTheFacilityKnownToTheSitesPass) {
  EXPECT_TRUE(Check({kFacility, kFacility}));
  EXPECT_EQ(Label(3).caption, "FAC IDs OK and Field Names correct for Table 3");
  EXPECT_FALSE(Label(3).highlighted);
  EXPECT_EQ(state.Tables[3].TableStatus, 3);
  EXPECT_EQ(state.SheetRecordset[3]->RecordCount(), 2);  // the filter is gone
  EXPECT_TRUE(Check({}));                                // judged by the sites alone
  // An ID with a character after it that the quotes do not show is said to have it.
  state.FacilityID = kFacility;
  EXPECT_FALSE(Check({kFacility, kFacility + std::string("\u200b")}));
  EXPECT_EQ(ImportProblemsOf(state, 3).at(0).text,
            "Row 3: FAC_ID \"" + std::string(kFacility) + "\u200b\" is not the facility's ID " +
                kFacility + " (it is \"" + kFacility + "\" with a zero-width space after it).");
  // An ID kept as a number has lost its leading zero.
  state.WorkConn.ExecuteNative("INSERT INTO T_SITE (SITE) VALUES ('0123456')");
  state.FacilityID = "0123456";
  EXPECT_FALSE(Check({"0123456", "123456"}, "0123456"));
  EXPECT_EQ(ImportProblemsOf(state, 3).at(0).text,
            "Row 3: FAC_ID \"123456\" is not the facility's ID 0123456. It is the facility's ID "
            "without its leading zero, as a spreadsheet keeps an ID typed as a number: format the "
            "column as text and type the ID again.");
  // Its mend is the ID as text; another ID has none.
  const std::vector<CellMend> mends = MendsOf(state, 3);
  ASSERT_EQ(mends.size(), 1u);
  EXPECT_EQ(mends[0].row, 3);
  EXPECT_EQ(mends[0].kind, CellMend::Kind::kText);
  EXPECT_EQ(mends[0].now, "0123456");
  EXPECT_EQ(mends[0].was, "123456");
  EXPECT_EQ(mends[0].why, "the facility's ID without its leading zero");
  EXPECT_FALSE(Check({"0123456", "7654321"}, "0123456"));
  EXPECT_TRUE(MendsOf(state, 3).empty());
}

// A row with another or no ID stops the table. A site matches on the end of
// its identifier; '%' and '_' would match any site and a quote would end the
// SQL literal, so they match only themselves.
TEST_F(FacilityIdsTest, AnyRowWithAnotherIdOrAFacilityNoSiteEndsWithStopsTheTable) {
  state.WorkConn.ExecuteNative("INSERT INTO T_SITE (SITE) VALUES ('FL-7777777'), ('X-12''4567')");
  EXPECT_TRUE(Check({"7777777"}, "7777777"));
  EXPECT_TRUE(Check({"12'4567"}, "12'4567"));
  for (const auto& c : CaseTable("facility_id_rows.txt")) {
    const std::vector<std::string> ids(c.begin() + 1, c.end());
    EXPECT_FALSE(Check(ids, c[0])) << c[0] << " " << ids[ids.size() / 2];
    EXPECT_EQ(Label(3).caption,
              ids.size() > 1 ? "Problem with FAC IDs" : "FAC ID not in Main Database");
    EXPECT_TRUE(Label(3).highlighted);
    EXPECT_EQ(state.Tables[3].TableStatus, 2);
    EXPECT_EQ(state.SheetRecordset[3]->RecordCount(), static_cast<int64_t>(ids.size()));
  }
  EXPECT_EQ(CountSitesEndingWith(state.WorkConn, "123456%"), 0);
}

TEST_F(FacilityIdsTest, FailingSiteQueryIsShownAndFailsTheTable) {
  state.WorkConn.ExecuteNative("DROP TABLE T_SITE");
  EXPECT_FALSE(Check({kFacility}));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].find("T_SITE"), std::string::npos) << ui.messages[0];
  EXPECT_EQ(state.Tables[3].TableStatus, 2);
}

class DataTypesTest : public ImportTest {
 protected:
  // Imports table n with `rows` (full rows built by Row()) and converts it.
  bool Convert(int n, const std::vector<Cells>& rows) {
    EXPECT_TRUE(Import(n, Table(n, rows)));
    return ConvertDataTypes(state, n);
  }
  Value Typed(int n, int64_t r, const std::string& name) {
    const RecordSet& rs = *state.TempRecordset[n];
    return rs.At(r, static_cast<size_t>(rs.FieldIndex(name)));
  }
};

TEST_F(DataTypesTest, CleanSheetConvertsEveryValueToItsType) {
  // Once typed, the texts as read are let go, in the window too: the table is
  // shown from its typed rows from then on.
  ASSERT_TRUE(Convert(1, {Row(1, {{"LAT_DD", "12.5"}, {"SL_METHOD", " ABCDEFGHIJ "}}),
                          Row(1, {{"NAVD", "-3.25e1"}, {"SL_METHOD", ""}})}));
  EXPECT_EQ(SheetText(1, 0, "LAT_DD"), "");
  EXPECT_EQ(state.SheetRecordset[1]->RecordCount(), 2);
  EXPECT_EQ(Label(1).caption, "Data Types OK for Table 1");
  EXPECT_FALSE(Label(1).highlighted);
  EXPECT_EQ(state.Tables[1].TableStatus, 4);
  ASSERT_EQ(state.TempRecordset[1]->RecordCount(), 2);
  EXPECT_EQ(Typed(1, 0, "LAT_DD"), Value::Integer(12));  // 12.5 rounds half to even
  // Ten characters with blanks around them fit the ten of SL_METHOD once trimmed.
  EXPECT_EQ(Typed(1, 0, "SL_METHOD"), Value::Text("ABCDEFGHIJ"));
  EXPECT_EQ(Typed(1, 0, "SL_COL_DATE"), Value::FromDate(*Date::FromParts(2021, 3, 15)));
  EXPECT_EQ(Typed(1, 1, "NAVD"), Value::Real(-32.5));
  EXPECT_TRUE(Typed(1, 1, "SL_METHOD").IsMissing());  // an empty cell is Null

  ASSERT_TRUE(Convert(1, {Row(1, {{"POINT_ID", "MW-9"}})}));  // starts from an empty target
  ASSERT_EQ(state.TempRecordset[1]->RecordCount(), 1);
  ASSERT_TRUE(Convert(5, {}));
  EXPECT_EQ(state.Tables[5].TableStatus, 4);
}

TEST_F(DataTypesTest, BadValuesAreMarkedAndTheirFieldsNamedOnceInSheetOrder) {
  const std::string junk = std::string(158, '9') + "x";
  for (bool keeps : {true, false}) {
    SCOPED_TRACE(keeps ? "rows kept" : "rows let go once typed");
    state.KeepsImportedRows = keeps;
    ASSERT_FALSE(Convert(4, {Row(4, {{"PH", "seven"}, {"SAM_DATE", "13/45/2020"}}),
                             Row(4, {{"SAM_DATE", "yesterday"}, {"DEPTH_BLS", ""}}),
                             Row(4, {{"MATRIX", "ABCDEFGHIJKLMNOPQRSTU"}, {"PH", junk}})}));
    EXPECT_EQ(SheetText(4, 0, "SAM_DATE"), "**13/45/2020**");
    EXPECT_EQ(SheetText(4, 1, "SAM_DATE"), "**yesterday**");
    EXPECT_EQ(SheetText(4, 0, "PH"), "**seven**");
    EXPECT_EQ(SheetText(4, 1, "DEPTH_BLS"), "");  // empty cells are never marked
    // Text longer than its field is cut behind the mark; a marked long number
    // still fits the sheet's field.
    EXPECT_EQ(SheetText(4, 2, "MATRIX"), "**ABCDEFGH");
    EXPECT_EQ(SheetText(4, 2, "PH"), "**" + std::string(156, '9') + "**");
    EXPECT_EQ(Label(4).caption, "Data Type Problems for Table 4: SAM_DATE, MATRIX, PH");
    EXPECT_TRUE(Label(4).highlighted);
    EXPECT_EQ(state.Tables[4].TableStatus, 3);
    EXPECT_EQ(state.view.DataGrid1.source, state.SheetRecordset[4]);  // the marked rows
    EXPECT_TRUE(state.view.DataGrid1.visible);
    EXPECT_EQ(state.TempRecordset[4]->RecordCount(), 0);  // nothing half converted
    // A field typed whole before the first bad value has nothing to mark.
    EXPECT_EQ(SheetText(4, 0, "POINT_ID").empty(), !keeps);
  }
  // What the quotes do not show is said; hovering the marked cell in the table
  // view (sorted or not) says where it is and the same.
  ASSERT_FALSE(Convert(4, {Row(4, {{"PH", "8"}}), Row(4, {{"PH", "7\u00a0"}})}));
  const std::string said =
      "Row 3, PH: \"7\u00a0\" is not a number (it is \"7\" with a non-breaking space after it).";
  EXPECT_EQ(ImportProblemsOf(state, 4).at(0).text, said);
  state.Tables[4].WorkbookName = "1234567_4.xls";
  state.Tables[4].SheetName = "Field Data";
  RecordSet& shown = *state.view.DataGrid1.source;
  const int ph = shown.FieldIndex("PH");
  shown.Sort("PH");  // "**7 **" before "8"
  EXPECT_EQ(TableViewPlace(state, TableViewRowAt(state, 0, ph)),
            "1234567_4.xls, Field Data, row 3, cell " +
                ColumnLetters(state.Tables[4].Origin.FieldIndex("PH")));
  EXPECT_EQ(MarkedCellProblem(state, 4, TableViewRowAt(state, 0).record,
                              state.Tables[4].Origin.FieldIndex("PH")),
            said);
  EXPECT_EQ(MarkedCellProblem(state, 4, TableViewRowAt(state, 1).record,
                              state.Tables[4].Origin.FieldIndex("PH")),
            "");

  for (const auto& c : CaseTable("value_findings.txt")) {
    const int n = std::stoi(c[0]);
    ASSERT_FALSE(Convert(n, {Row(n, {{c[1], c[2]}})})) << c[2];
    EXPECT_EQ(ImportProblemsOf(state, n).at(0).text, c[3]);
  }
}

TEST_F(DataTypesTest, ALargeSheetIsTypedAlikeOnOneCoreOrTwo) {
  // Large enough for a review without a window to type the fields on two cores.
  std::vector<Cells> rows;
  for (int r = 0; r < 9000; ++r) rows.push_back(Row(3, {{"WL", std::to_string(r) + ".25"}}));
  std::vector<std::string> typed[2], marks[2];
  for (bool keeps : {true, false}) {
    state.KeepsImportedRows = keeps;
    ASSERT_TRUE(Convert(3, rows)) << keeps;
    const RecordSet& rs = *state.TempRecordset[3];
    for (int64_t r = 0; r < rs.RecordCount(); r += 97) {
      for (size_t f = 0; f < rs.FieldCount(); ++f) typed[keeps].push_back(rs.At(r, f).ToDisplay());
    }
  }
  EXPECT_EQ(typed[0], typed[1]);
  EXPECT_EQ(Typed(3, 97, "WL").ToDisplay(), "97.25");
  rows[8999] = Row(3, {{"WL_DATE", "soon"}, {"WL", "x"}});
  for (bool keeps : {true, false}) {
    state.KeepsImportedRows = keeps;
    ASSERT_FALSE(Convert(3, rows)) << keeps;
    for (const CellMark& m : state.Tables[3].Origin.type_marks)
      marks[keeps].push_back(std::to_string(m.record) + ":" + SheetText(3, m.record, "WL"));
    EXPECT_EQ(Label(3).caption, "Data Type Problems for Table 3: WL_DATE, WL") << keeps;
  }
  EXPECT_EQ(marks[0], marks[1]);
  EXPECT_EQ(marks[0], (std::vector<std::string>{"8999:**x**", "8999:**x**"}));
}

TEST_F(DataTypesTest, FieldsWithoutALimitOrOfAnUnknownTypeAreNeverMarked) {
  state.WorkConn.ExecuteNative(
      "UPDATE MT_VBSTRUCTURE SET FIELD_SIZE = -1 WHERE FIELD_NAME = 'WL_COMMENTS';"
      "UPDATE MT_VBSTRUCTURE SET FIELD_TYPE = 11 WHERE FIELD_NAME = 'WL_CONTRACT'");
  LoadTableStructures(state);
  const std::string comment(160, 'c');
  ASSERT_TRUE(Convert(3, {Row(3, {{"WL_COMMENTS", comment}, {"WL_CONTRACT", "anything"}})}));
  EXPECT_EQ(Typed(3, 0, "WL_COMMENTS"), Value::Text(comment));
  EXPECT_TRUE(Typed(3, 0, "WL_CONTRACT").IsMissing());  // an unknown type arrives empty
}

}  // namespace
}  // namespace sorvane::testing
