// The error workbook seen through the check window's "Output to Excel" menu:
// real check runs over an in-memory work database, the sheets and cells a
// person would find, and the .xlsx file read back.
#include "checks/error_workbook.h"

#include <gtest/gtest.h>
#include <unzip.h>
#include <zip.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "checks/error_workbook_export.h"
#include "checks/error_workbook_writer.h"
#include "checks/frmCCheckView.h"
#include "core/errors.h"
#include "support/scripted_ui.h"
#include "support/work_db.h"

namespace sorvane {
namespace {

namespace fs = std::filesystem;
using testing::ScriptedUi;
using testing::TempDataDir;

const CellFont kBold12{true, 12, 0};
const CellFont kGreenTitle{true, 10, kTitleGreen};

// A workbook part as text, read with minizip.
std::string ReadPart(const fs::path& file, const std::string& part) {
  unzFile zip = unzOpen(file.string().c_str());
  if (!zip) return "<no zip>";
  std::string out;
  if (unzLocateFile(zip, part.c_str(), 0) == UNZ_OK && unzOpenCurrentFile(zip) == UNZ_OK) {
    char buf[4096];
    int n;
    while ((n = unzReadCurrentFile(zip, buf, sizeof buf)) > 0)
      out.append(buf, static_cast<size_t>(n));
    unzCloseCurrentFile(zip);
  } else {
    out = "<no part " + part + ">";
  }
  unzClose(zip);
  return out;
}

class ErrorWorkbookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::OpenTestWorkDb(state.WorkConn);
    state.FacilityID = "1234567";
    state.SelectedTable = 3;  // the window opens on a table that passes
    view.Form_Load();
  }

  void Exec(const std::string& sql) { state.WorkConn.ExecuteNative(sql); }

  // A well of the facility: MW-1 in copper, 10 inches wide and absent from
  // table 1, which fails checks 2.6, 2.12 and 2.15.
  void AddBrokenWell(const std::string& reviewed = "'NEW'") {
    Exec(
        "INSERT INTO MT_TEMP2 (SITE, POINT_ID, REVIEWED, INSTALL_DATE, STATUS, TOC, TOP_SCR, "
        "BOT_SCR, BOC, DIA, MATERIAL, AQUIFER) VALUES ('1234567', 'MW-1', " +
        reviewed + ", '2001-05-02 00:00:00', 'ACTIVE', 25, 5, 15, 15, 10, 'COPPER', 'SURFICIAL')");
  }
  // `count` effective-porosity values of 5 (check 2.0 lists each one).
  void AddPorosityProblems(int count) {
    for (int i = 0; i < count; ++i) {
      Exec(
          "INSERT INTO MT_TEMP2A (SITE, POINT_ID, A_PARAMETER, VALUE, UNITS, REVIEWED) VALUES "
          "('1234567', 'MW-" +
          std::to_string(i) + "', 'NE', 5, '', 'NEW')");
    }
  }

  ErrorWorkbookExport& Export() { return view.ErrorExport(); }
  ErrorSheet& Sheet(int index) { return Export().workbook()->Sheet(index); }

  TempDataDir dir;
  ScriptedUi ui;
  RunState state{ui, dir.paths()};
  frmCCheckView view{state};
};

TEST_F(ErrorWorkbookTest, FirstExportOfTable2WithThreeFailedChecks) {
  AddBrokenWell();
  view.mnuExcelChecks_Click(2);

  EXPECT_EQ(Export().caption(), "Errors - 1234567");
  ErrorWorkbook& book = *Export().workbook();
  ASSERT_EQ(book.SheetCount(), 5);
  for (int n : {1, 3, 4, 5}) {
    EXPECT_EQ(book.Sheet(n).name(), std::to_string(n));
    EXPECT_EQ(book.Sheet(n).Text(1, 1),
              "Possible Problems for Table " + std::to_string(n) + " not Exported yet.");
    EXPECT_EQ(book.Sheet(n).Font(1, 1), kBold12);
    EXPECT_EQ(book.Sheet(n).LastRow(), 1);
  }
  const ErrorSheet& s = book.Sheet(2);
  EXPECT_EQ(s.name(), "2");
  EXPECT_EQ(book.active_sheet(), 2);
  EXPECT_EQ(s.Text(1, 1), "Problems with Table 2");
  EXPECT_EQ(s.Font(1, 1), kBold12);

  const std::vector<std::vector<std::string>> expected = {
      {"Problem with incorrect Well Materials.  (Probably a Problem) "},
      {"REVIEWED", "POINT_ID", "MATERIAL", "COMMENTS"},
      {"NEW ", "MW-1 ", "COPPER ", " "},
      {"MAY be a problem with Well Diameters.  (Probably a Problem) "},
      {"REVIEWED", "POINT_ID", "DIA", "TOC", "TOP_SCR", "BOT_SCR", "BOC", "COMMENTS"},
      {"NEW ", "MW-1 ", "10 ", "25 ", "5 ", "15 ", "15 ", " "},
      {"Integrity Problems - Point IDs in table 2, are not in table 1.  (Must be Fixed) "},
      {"SITE", "POINT_ID"},
      {"1234567 ", "MW-1 "},
  };
  for (size_t r = 0; r < expected.size(); ++r) {
    const int row = static_cast<int>(r) + 2;
    for (size_t c = 0; c < expected[r].size(); ++c) {
      EXPECT_EQ(s.Text(row, static_cast<int>(c) + 1), expected[r][c]) << "row " << row;
    }
    EXPECT_EQ(s.Text(row, static_cast<int>(expected[r].size()) + 1), "") << "row " << row;
  }
  EXPECT_EQ(s.LastRow(), 10);
  for (int title_row : {2, 5, 8}) EXPECT_EQ(s.Font(title_row, 1), kGreenTitle);
  EXPECT_EQ(s.Font(3, 1), CellFont{});

  // Columns B.. fit their longest text; A is twice B.
  EXPECT_DOUBLE_EQ(s.ColumnWidth(2), FittedWidth("POINT_ID", CellFont{}));
  EXPECT_DOUBLE_EQ(s.ColumnWidth(1), 2 * s.ColumnWidth(2));
  EXPECT_DOUBLE_EQ(s.ColumnWidth(8), FittedWidth("COMMENTS", CellFont{}));
  EXPECT_DOUBLE_EQ(s.ColumnWidth(9), kDefaultColumnWidth);

  EXPECT_TRUE(ui.input_prompts.empty());
  EXPECT_FALSE(view.ExportStopped);
  const fs::path file = dir.dir() / "Errors - 1234567.xlsx";
  EXPECT_EQ(ui.documents, std::vector<std::string>{file.string()});
  EXPECT_TRUE(fs::exists(file));
  EXPECT_EQ(state.Tables[2].TableStatus, 7);
}

TEST_F(ErrorWorkbookTest, TableThatPassesHoldsOnlyItsNoProblemsLine) {
  view.mnuExcelChecks_Click(4);
  EXPECT_EQ(Sheet(4).Text(1, 1), "No Problems for Table 4");
  EXPECT_EQ(Sheet(4).Font(1, 1), kBold12);
  EXPECT_EQ(Sheet(4).LastRow(), 1);
  EXPECT_EQ(Sheet(4).LastColumn(), 1);
  EXPECT_EQ(state.Tables[4].TableStatus, 8);
}

struct CountCase {
  const char* name;
  std::optional<std::string> answer;
  std::string note;  // appended to the title
  int records;       // data rows written; -1 = neither names nor records
};

class RecordCountTest : public ErrorWorkbookTest,
                        public ::testing::WithParamInterface<CountCase> {};

TEST_P(RecordCountTest, AnswerDecidesWhatIsWritten) {
  const CountCase& c = GetParam();
  AddPorosityProblems(250);
  ui.input_answers.push_back(c.answer);
  view.mnuExcelChecks_Click(2);

  ASSERT_EQ(ui.input_prompts.size(), 1u);
  EXPECT_EQ(ui.input_prompts[0],
            "There are 250 error records for 'Possible Problem with Effective Porosity.' Enter "
            "the number to output to Excel and Press Enter or Press Cancel to skip this check.");
  EXPECT_EQ(ui.input_titles[0], "Error Records for Possible Problem with Effective Porosity.");
  EXPECT_EQ(ui.input_defaults[0], "250");

  const ErrorSheet& s = Sheet(2);
  EXPECT_EQ(s.Text(2, 1),
            "Possible Problem with Effective Porosity.  (Possible Problem) " + c.note);
  if (c.records < 0) {
    EXPECT_EQ(s.LastRow(), 2);
  } else {
    EXPECT_EQ(s.Text(3, 1), "REVIEWED");
    EXPECT_EQ(s.Text(3, 3), "NE");
    EXPECT_EQ(s.LastRow(), 3 + c.records);
    if (c.records > 0) {
      EXPECT_EQ(s.Text(4, 3), "5 ");
    }
  }
  EXPECT_FALSE(view.ExportStopped);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, RecordCountTest,
    ::testing::Values(CountCase{"Twenty", "20", "20 of 250 output.", 20},
                      CountCase{"Default", "250", "250 of 250 output.", 250},
                      CountCase{"Cancel", std::nullopt, ":  Skipped 250 records.", -1},
                      CountCase{"Cleared", "", ":  Skipped 250 records.", -1},
                      CountCase{"Zero", "0", "", -1}, CountCase{"Negative", "-3", "", -1},
                      CountCase{"AboveTotal", "400", "", 250},
                      CountCase{"Blanks", " 7 ", "7 of 250 output.", 7}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ErrorWorkbookTest, AnswerThatIsNotANumberStopsAnAllTablesExport) {
  AddPorosityProblems(150);
  AddBrokenWell();
  ui.input_answers.push_back("twenty");
  view.mnuExcelChecks_Click(7);

  EXPECT_TRUE(view.ExportStopped);
  EXPECT_EQ(Sheet(1).Text(1, 1), "No Problems for Table 1");
  const ErrorSheet& s = Sheet(2);
  EXPECT_EQ(s.Text(2, 1), "Possible Problem with Effective Porosity.  (Possible Problem) ");
  // The run goes on with the table's next failed check, right below.
  EXPECT_EQ(s.Text(3, 1), "Problem with incorrect Well Materials.  (Probably a Problem) ");
  for (int n : {3, 4, 5}) {
    EXPECT_EQ(Sheet(n).Text(1, 1),
              "Possible Problems for Table " + std::to_string(n) + " not Exported yet.");
  }
  EXPECT_EQ(ui.documents.size(), 1u);  // what was written is still saved and shown
}

TEST_F(ErrorWorkbookTest, ExactlyOneHundredRecordsAreWrittenWithoutAsking) {
  AddPorosityProblems(100);
  view.mnuExcelChecks_Click(2);
  EXPECT_TRUE(ui.input_prompts.empty());
  EXPECT_EQ(Sheet(2).Text(2, 1), "Possible Problem with Effective Porosity.  (Possible Problem) ");
  EXPECT_EQ(Sheet(2).LastRow(), 103);
}

TEST_F(ErrorWorkbookTest, RenamedSheetIsRecreatedAfterTheLast) {
  view.mnuExcelChecks_Click(3);
  Export().workbook()->RenameSheet(3, "Water levels");
  Export().workbook()->AddSheet("Notes");  // a sheet of the person's own
  view.mnuExcelChecks_Click(3);

  EXPECT_EQ(ui.messages,
            std::vector<std::string>{"Spreadsheet 3 has been deleted or renamed.  It will be "
                                     "recreated."});
  ErrorWorkbook& book = *Export().workbook();
  ASSERT_EQ(book.SheetCount(), 7);
  EXPECT_EQ(book.Sheet(7).name(), "3");
  EXPECT_EQ(book.Sheet(7).Text(1, 1), "No Problems for Table 3");
  EXPECT_EQ(Export().ErrorSheetNo(), 7);
  EXPECT_EQ(book.active_sheet(), 7);
  EXPECT_EQ(book.Sheet(3).Text(1, 1), "No Problems for Table 3");  // kept as the person left it
  EXPECT_EQ(book.Sheet(6).LastRow(), 0);
}

TEST_F(ErrorWorkbookTest, DeletedSheetIsRecreatedToo) {
  view.mnuExcelChecks_Click(1);
  Export().workbook()->DeleteSheet(1);
  view.mnuExcelChecks_Click(1);
  EXPECT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(Export().workbook()->Sheet(5).name(), "1");
}

TEST_F(ErrorWorkbookTest, EmptyValueInColumnAStillFillsItsCell) {
  AddBrokenWell("NULL");
  view.mnuExcelChecks_Click(2);
  const ErrorSheet& s = Sheet(2);
  EXPECT_EQ(s.Text(4, 1), " ");
  // The next block starts below the record, not inside the previous block.
  EXPECT_EQ(s.Text(5, 1), "MAY be a problem with Well Diameters.  (Probably a Problem) ");
}

TEST_F(ErrorWorkbookTest, ExportingATableAgainReplacesItsSheetOnly) {
  AddBrokenWell();
  view.mnuExcelChecks_Click(1);
  view.mnuExcelChecks_Click(2);
  ASSERT_EQ(Sheet(2).LastRow(), 10);

  Exec("DELETE FROM MT_TEMP2");  // the well was corrected and imported again
  view.mnuExcelChecks_Click(2);
  EXPECT_EQ(Sheet(2).Text(1, 1), "No Problems for Table 2");
  EXPECT_EQ(Sheet(2).LastRow(), 1);
  EXPECT_EQ(Sheet(1).Text(1, 1), "No Problems for Table 1");
  EXPECT_EQ(Sheet(3).Text(1, 1), "Possible Problems for Table 3 not Exported yet.");
  EXPECT_EQ(ui.documents.size(), 3u);
}

TEST_F(ErrorWorkbookTest, ClosedWorkbookOrWindowStartsAFreshWorkbook) {
  view.mnuExcelChecks_Click(1);
  Export().objWorkBookErr_BeforeClose();
  EXPECT_EQ(Export().workbook(), nullptr);
  view.mnuExcelChecks_Click(2);
  ASSERT_NE(Export().workbook(), nullptr);
  EXPECT_EQ(Sheet(1).Text(1, 1), "Possible Problems for Table 1 not Exported yet.");
  EXPECT_EQ(Sheet(2).Text(1, 1), "No Problems for Table 2");

  Export().CloseApplicationWindow();
  view.mnuExcelChecks_Click(3);
  EXPECT_EQ(Sheet(2).Text(1, 1), "Possible Problems for Table 2 not Exported yet.");
  EXPECT_EQ(Sheet(3).Text(1, 1), "No Problems for Table 3");
  EXPECT_EQ(Export().caption(), "Errors - 1234567");
}

TEST_F(ErrorWorkbookTest, AllTablesExportWritesEveryTable) {
  AddBrokenWell();
  std::vector<int> exported;
  Export().TableExported = [&](int t) { exported.push_back(t); };
  view.mnuExcelChecks_Click(7);
  EXPECT_EQ(exported, (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(Sheet(2).Text(1, 1), "Problems with Table 2");
  for (int n : {1, 3, 4, 5}) {
    EXPECT_EQ(Sheet(n).Text(1, 1), "No Problems for Table " + std::to_string(n));
  }
  EXPECT_EQ(ui.documents.size(), 1u);
  view.mnuExcelChecks_Click(6);  // the separator does nothing
  EXPECT_EQ(ui.documents.size(), 1u);
}

TEST_F(ErrorWorkbookTest, FacilityIdCannotTurnTheFileNameIntoAPath) {
  state.FacilityID = "12/..\\7";
  EXPECT_EQ(Export().output_path(), dir.dir() / "Errors - 12_.._7.xlsx");
}

TEST_F(ErrorWorkbookTest, FacilityIdThatIsNotUtf8StillGivesAWellFormedFile) {
  state.FacilityID = "12345\xE9";  // typed in Latin-1 on a command line
  view.mnuExcelChecks_Click(1);
  const fs::path file = dir.dir() / "Errors - 12345\xE9.xlsx";
  EXPECT_NE(
      ReadPart(file, "docProps/core.xml").find("<dc:title>Errors - 12345\xEF\xBF\xBD</dc:title>"),
      std::string::npos);
}

TEST_F(ErrorWorkbookTest, ClosingTheCheckWindowDropsTheWorkbook) {
  view.mnuExcelChecks_Click(1);
  view.Form_Unload();
  state.SelectedTable = 3;
  view.Form_Load();
  view.mnuExcelChecks_Click(2);
  EXPECT_EQ(Sheet(1).Text(1, 1), "Possible Problems for Table 1 not Exported yet.");
}

TEST_F(ErrorWorkbookTest, SavedFileHoldsTextsFontsColourAndWidths) {
  AddBrokenWell();
  Exec("UPDATE MT_TEMP2 SET COMMENTS = '=SUM(A1:A9)'");
  view.mnuExcelChecks_Click(2);
  const fs::path file = dir.dir() / "Errors - 1234567.xlsx";

  const std::string workbook = ReadPart(file, "xl/workbook.xml");
  for (int n = 1; n <= 5; ++n) {
    EXPECT_NE(workbook.find("<sheet name=\"" + std::to_string(n) + "\""), std::string::npos);
  }
  EXPECT_NE(ReadPart(file, "docProps/core.xml").find("<dc:title>Errors - 1234567</dc:title>"),
            std::string::npos);
  const std::string strings = ReadPart(file, "xl/sharedStrings.xml");
  for (const char* text :
       {"Problems with Table 2", "Possible Problems for Table 4 not Exported yet.",
        "Problem with incorrect Well Materials.  (Probably a Problem) ", "COPPER ",
        "=SUM(A1:A9) "}) {
    EXPECT_NE(strings.find(text), std::string::npos) << text;
  }
  const std::string styles = ReadPart(file, "xl/styles.xml");
  EXPECT_NE(styles.find("<b/><sz val=\"12\"/>"), std::string::npos) << styles;
  EXPECT_NE(styles.find("<b/><sz val=\"10\"/><color rgb=\"FF008000\"/>"), std::string::npos)
      << styles;

  const std::string sheet2 = ReadPart(file, "xl/worksheets/sheet2.xml");
  EXPECT_EQ(sheet2.find("<f>"), std::string::npos);  // never a formula
  std::smatch m;
  double width_a = 0, width_b = 0;
  std::regex col("<col min=\"(\\d+)\" max=\"(\\d+)\" width=\"([0-9.]+)\"");
  for (auto it = std::sregex_iterator(sheet2.begin(), sheet2.end(), col);
       it != std::sregex_iterator(); ++it) {
    if ((*it)[1] == "1") width_a = std::stod((*it)[3]);
    if ((*it)[1] == "2") width_b = std::stod((*it)[3]);
  }
  const ErrorSheet& s = Sheet(2);
  // The file stores widths with the program's cell padding added (under one character).
  EXPECT_NEAR(width_b, s.ColumnWidth(2), 1.0);
  EXPECT_NEAR(width_a, s.ColumnWidth(1), 1.0);
  EXPECT_NEAR(width_a, 2 * width_b, 1.0);
}

TEST_F(ErrorWorkbookTest, AFilePersonSavedOverIsKeptBeforeTheNextExport) {
  const fs::path file = dir.dir() / "Errors - 1234567.xlsx";
  const fs::path kept = dir.dir() / "Errors - 1234567 (1).xlsx";
  view.mnuExcelChecks_Click(1);
  view.mnuExcelChecks_Click(3);
  view.Form_Unload();  // a later session replaces an earlier export as it left it
  view.Form_Load();
  view.mnuExcelChecks_Click(4);
  EXPECT_FALSE(fs::exists(kept));

  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << "saved with notes from the spreadsheet program";
  }
  view.mnuExcelChecks_Click(2);
  std::ifstream in(kept, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
            "saved with notes from the spreadsheet program");
  EXPECT_NE(ReadPart(file, "xl/workbook.xml").find("<sheet name=\"5\""), std::string::npos);
  EXPECT_EQ(ui.documents.back(), file.string());

  // Saved again by a program that keeps the document's properties.
  fs::last_write_time(file, fs::last_write_time(file) + std::chrono::minutes(3));
  view.mnuExcelChecks_Click(5);
  EXPECT_TRUE(fs::exists(dir.dir() / "Errors - 1234567 (2).xlsx"));
}

// A package whose stamp property is cut short after its digits (a damaged or
// hand-made file) is one to keep, and reading it stays within the part.
TEST_F(ErrorWorkbookTest, StampCutShortAfterItsDigitsIsNotAnUntouchedExport) {
  const fs::path file = dir.dir() / "Errors - 1234567.xlsx";
  const std::string custom = "<Properties><property name=\"Sorvane export\"><vt:lpwstr>1700000000";
  zipFile zip = zipOpen64(file.c_str(), APPEND_STATUS_CREATE);
  ASSERT_NE(zip, nullptr);
  zip_fileinfo info{};
  zipOpenNewFileInZip(zip, "docProps/custom.xml", &info, nullptr, 0, nullptr, 0, nullptr, 0, 0);
  zipWriteInFileInZip(zip, custom.data(), static_cast<unsigned>(custom.size()));
  zipCloseFileInZip(zip);
  zipClose(zip, nullptr);
  EXPECT_FALSE(IsUntouchedErrorWorkbook(file));
}

TEST(ErrorWorkbookModel, SheetNamesFollowTheSpreadsheetRules) {
  ErrorWorkbook book;
  book.AddSheet("1");
  book.AddSheet("2");
  EXPECT_THROW(book.AddSheet("1"), Error);
  EXPECT_THROW(book.RenameSheet(2, "a/b"), Error);
  EXPECT_THROW(book.RenameSheet(2, ""), Error);
  EXPECT_THROW(book.Sheet(3), Error);
  book.DeleteSheet(1);
  EXPECT_THROW(book.DeleteSheet(1), Error);  // the last sheet stays
  EXPECT_EQ(book.FindSheet("2"), 1);
}

TEST(ErrorWorkbookModel, ClearingKeepsFontsAndEndDownJumpsGaps) {
  ErrorSheet s("1");
  s.SetText(1, 1, "a");
  s.SetFont(1, 1, kBold12);
  s.SetText(2, 1, "b");
  s.SetText(3, 1, "c");
  s.SetText(6, 1, "d");
  EXPECT_TRUE(s.RegionAroundA1HasMoreCells());
  EXPECT_EQ(s.EndDown(1, 1), 3);
  EXPECT_EQ(s.EndDown(3, 1), 6);
  EXPECT_EQ(s.EndDown(6, 1), kSheetRows);
  s.ClearContents();
  EXPECT_EQ(s.LastRow(), 0);
  EXPECT_EQ(s.Font(1, 1), kBold12);
  EXPECT_FALSE(s.RegionAroundA1HasMoreCells());
}

TEST(ErrorWorkbookModel, RecordCountAnswers) {
  EXPECT_EQ(ParseRecordCount("20"), 20);
  EXPECT_EQ(ParseRecordCount(" 20.5 "), 20);  // half to even
  EXPECT_EQ(ParseRecordCount("1e3"), 1000);
  EXPECT_EQ(ParseRecordCount("1e400"), std::nullopt);
  EXPECT_EQ(ParseRecordCount("20 records"), std::nullopt);
  EXPECT_EQ(ParseRecordCount("   "), std::nullopt);
}

}  // namespace
}  // namespace sorvane
