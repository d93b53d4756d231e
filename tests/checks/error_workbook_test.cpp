// The error workbook through the check window's "Output to Excel" menu, read
// back from the saved file as a person would find it; the file writer and the
// sheet operations the export relies on, directly.
#include "checks/error_workbook.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "checks/error_workbook_export.h"
#include "checks/error_workbook_writer.h"
#include "checks/frmCCheckView.h"
#include "checks/workbook_stamp.h"
#include "core/convert.h"
#include "core/errors.h"
#include "support/case_table.h"
#include "support/comma_decimal_locale.h"
#include "support/file_size_limit.h"
#include "support/scripted_ui.h"
#include "support/work_db.h"
#include "support/xlsx_cells.h"

namespace sorvane::testing {
namespace {

namespace fs = std::filesystem;

class ErrorWorkbookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OpenTestWorkDb(state.WorkConn);
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
          "INSERT INTO MT_TEMP2A (SITE, POINT_ID, A_PARAMETER, VALUE, REVIEWED) VALUES "
          "('1234567', 'MW-" +
          std::to_string(i) + "', 'NE', 5, 'NEW')");
    }
  }
  // The cells of sheet `name` of the saved file, one line per row.
  std::vector<std::string> Sheet(const std::string& name) {
    const std::string text = XlsxCellsText(file);
    size_t at = text.find("[" + name + "]\n");
    if (at == std::string::npos) return {};
    std::vector<std::string> lines;
    for (at = text.find('\n', at) + 1; at < text.size() && text[at] != '[';) {
      const size_t end = text.find('\n', at);
      lines.push_back(text.substr(at, end - at));
      at = end + 1;
    }
    return lines;
  }
  std::string NotYet(int n) {
    return "1\tPossible Problems for Table " + std::to_string(n) + " not Exported yet.";
  }

  TempDataDir dir;
  ScriptedUi ui;
  RunState state{ui, dir.paths()};
  frmCCheckView view{state};
  const fs::path file = dir.dir() / "Errors - 1234567.xlsx";
};

TEST_F(ErrorWorkbookTest, FirstExportWritesTheTablesFailedChecksAndMarksTheOthers) {
  AddBrokenWell("NULL");  // an empty value in column A still fills its cell
  view.mnuExcelChecks_Click(2);

  EXPECT_EQ(ui.documents, std::vector<std::string>{file.string()});
  // The layout of the checks and their records is the sample's committed copy
  // (review_test); here: the table's own sheet, an empty cell filled.
  const std::vector<std::string> sheet = Sheet("2");
  ASSERT_EQ(sheet.size(), 10u);
  EXPECT_EQ(sheet[0], "1\tProblems with Table 2");
  EXPECT_EQ(sheet[3], "4\t \tMW-1 \tCOPPER \t ");
  for (int n : {1, 3, 4, 5}) EXPECT_EQ(Sheet(std::to_string(n)), std::vector{NotYet(n)});
  EXPECT_NE(XlsxPart(file, "docProps/core.xml").find("<dc:title>Errors - 1234567</dc:title>"),
            std::string::npos);
  EXPECT_TRUE(ui.input_prompts.empty());
  EXPECT_FALSE(view.ExportStopped);
  EXPECT_EQ(state.Tables[2].TableStatus, 7);

  // Exporting again replaces that table's sheet only; a table that passes holds
  // only its line.
  view.mnuExcelChecks_Click(4);
  Exec("DELETE FROM MT_TEMP2");  // the well was corrected and imported again
  view.mnuExcelChecks_Click(2);
  EXPECT_EQ(Sheet("2"), std::vector<std::string>{"1\tNo Problems for Table 2"});
  EXPECT_EQ(Sheet("4"), std::vector<std::string>{"1\tNo Problems for Table 4"});
  EXPECT_EQ(Sheet("3"), std::vector{NotYet(3)});
  EXPECT_EQ(ui.documents.size(), 3u);
}

TEST_F(ErrorWorkbookTest, AnswerToHowManyRecordsDecidesWhatIsWritten) {
  for (const auto& c : CaseTable("record_count_answers.txt")) {
    SCOPED_TRACE(c[0] + " records, answer '" + c[1] + "'");
    Exec("DELETE FROM MT_TEMP2A");
    AddPorosityProblems(std::stoi(c[0]));
    ui.input_prompts.clear();
    ui.input_answers = {c[1] == "(cancel)" ? std::nullopt : std::optional(c[1])};
    view.ExportStopped = false;  // an export of one table leaves it as it was
    view.mnuExcelChecks_Click(2);

    if (c[0] == "250") {
      ASSERT_EQ(ui.input_prompts.size(), 1u);
      EXPECT_EQ(ui.input_prompts[0],
                "There are 250 error records for 'Possible Problem with Effective Porosity.' "
                "Enter the number to output to Excel and Press Enter or Press Cancel to skip this "
                "check.");
      EXPECT_EQ(ui.input_titles.back(),
                "Error Records for Possible Problem with Effective Porosity.");
      EXPECT_EQ(ui.input_defaults.back(), "250");
    } else {
      EXPECT_TRUE(ui.input_prompts.empty());
    }
    const std::vector<std::string> sheet = Sheet("2");
    const int records = c[3] == "stopped" ? -1 : std::stoi(c[3]);
    ASSERT_GE(sheet.size(), 2u);
    EXPECT_EQ(sheet[1], "2\tPossible Problem with Effective Porosity.  (Possible Problem) " + c[2]);
    EXPECT_EQ(sheet.size(), records < 0 ? 2u : 3u + records);
    if (records > 0) {
      EXPECT_EQ(sheet[3], "4\tNEW \tMW-0 \t5 ");
    }
    EXPECT_EQ(view.ExportStopped, c[3] == "stopped");
  }
}

TEST_F(ErrorWorkbookTest, AnswerThatIsNotANumberStopsAnAllTablesExport) {
  AddPorosityProblems(150);
  AddBrokenWell();
  ui.input_answers.push_back("twenty");
  std::vector<int> exported;
  view.ErrorExport().TableExported = [&](int t) { exported.push_back(t); };
  view.mnuExcelChecks_Click(7);

  EXPECT_TRUE(view.ExportStopped);
  EXPECT_EQ(exported, (std::vector<int>{1, 2}));
  EXPECT_EQ(Sheet("1"), std::vector<std::string>{"1\tNo Problems for Table 1"});
  const std::vector<std::string> sheet = Sheet("2");
  ASSERT_GE(sheet.size(), 3u);
  EXPECT_EQ(sheet[1], "2\tPossible Problem with Effective Porosity.  (Possible Problem) ");
  // The run goes on with the table's next failed check, right below.
  EXPECT_EQ(sheet[2], "3\tProblem with incorrect Well Materials.  (Probably a Problem) ");
  for (int n : {3, 4, 5}) EXPECT_EQ(Sheet(std::to_string(n)), std::vector{NotYet(n)});
  EXPECT_EQ(ui.documents.size(), 1u);  // what was written is still saved and shown

  ui.input_answers.push_back("20");
  exported.clear();
  view.mnuExcelChecks_Click(7);
  EXPECT_EQ(exported, (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(Sheet("5"), std::vector<std::string>{"1\tNo Problems for Table 5"});
  view.mnuExcelChecks_Click(6);  // the separator does nothing
  EXPECT_EQ(ui.documents.size(), 2u);

  // A person's stop (Ctrl-C) ends the export before the next table, unsaved.
  exported.clear();
  state.StopRequested = [&] { return exported.size() == 2; };
  const ExportResult stopped = view.mnuExcelChecks_Click(7);
  EXPECT_EQ(exported, (std::vector<int>{1, 2}));
  EXPECT_FALSE(stopped.saved);
  EXPECT_EQ(ui.documents.size(), 2u);
}

TEST_F(ErrorWorkbookTest, FacilityIdGivesASafeFileNameAndAWellFormedFile) {
  state.FacilityID = "12/..\\7";
  EXPECT_EQ(view.ErrorExport().output_path(), dir.dir() / "Errors - 12_.._7.xlsx");
  state.FacilityID = "12345\xE9";  // typed in Latin-1 on a command line
  view.mnuExcelChecks_Click(1);
  EXPECT_NE(XlsxPart(dir.dir() / "Errors - 12345\xE9.xlsx", "docProps/core.xml")
                .find("<dc:title>Errors - 12345\xEF\xBF\xBD</dc:title>"),
            std::string::npos);
}

TEST_F(ErrorWorkbookTest, AFilePersonSavedOverIsKeptBeforeTheNextExport) {
  const fs::path kept = dir.dir() / "Errors - 1234567 (1).xlsx";
  view.mnuExcelChecks_Click(1);
  view.Form_Unload();  // a later session replaces an earlier export as it left it
  view.Form_Load();
  view.mnuExcelChecks_Click(4);
  EXPECT_FALSE(fs::exists(kept));
  EXPECT_EQ(Sheet("1"), std::vector{NotYet(1)});  // closing the window dropped the workbook

  std::ofstream(file, std::ios::binary | std::ios::trunc) << "saved with notes";
  view.mnuExcelChecks_Click(2);
  EXPECT_EQ(ReadFile(kept), "saved with notes");
  EXPECT_EQ(Sheet("2"), std::vector<std::string>{"1\tNo Problems for Table 2"});

  // Saved again by a program that keeps the document's properties.
  fs::last_write_time(file, fs::last_write_time(file) + std::chrono::minutes(3));
  view.mnuExcelChecks_Click(5);
  EXPECT_TRUE(fs::exists(dir.dir() / "Errors - 1234567 (2).xlsx"));

  // A stamp cut short after its digits (a damaged or hand-made file) is one to
  // keep, and reading it stays within the part.
  const std::string custom = "<Properties><property name=\"Sorvane export\"><vt:lpwstr>1700000000";
  zipFile zip = zipOpen64(file.c_str(), APPEND_STATUS_CREATE);
  ASSERT_NE(zip, nullptr);
  zip_fileinfo info{};
  zipOpenNewFileInZip(zip, "docProps/custom.xml", &info, nullptr, 0, nullptr, 0, nullptr, 0, 0);
  zipWriteInFileInZip(zip, custom.data(), static_cast<unsigned>(custom.size()));
  zipCloseFileInZip(zip);
  zipClose(zip, nullptr);
  EXPECT_FALSE(IsUntouchedWorkbook(file));
}

TEST_F(ErrorWorkbookTest, RecordsPastASheetsLastRowGoOnFurtherSheetsOfTheTable) {
  AddPorosityProblems(12);
  view.ErrorExport().set_sheet_rows(8);  // a worksheet's 1,048,576 rows, made small
  view.mnuExcelChecks_Click(2);
  const std::string title = "2\tPossible Problem with Effective Porosity.  (Possible Problem) ";
  const std::vector<std::string> first = Sheet("2"), second = Sheet("2 (2)"),
                                 third = Sheet("2 (3)");
  ASSERT_EQ(first.size(), 8u);
  EXPECT_EQ(first[1], title);
  EXPECT_EQ(first[2], "3\tREVIEWED\tPOINT_ID\tNE");
  EXPECT_EQ(first[3], "4\tNEW \tMW-0 \t5 ");
  ASSERT_GE(second.size(), 4u);
  EXPECT_EQ(second[0], "1\tProblems with Table 2 (continued)");
  EXPECT_EQ(second[1], title + " (continued)");
  EXPECT_EQ(second[3], "4\tNEW \tMW-3 \t5 ");
  // Every record is written once, in the order of the query (by point), across the sheets.
  std::vector<std::string> records;
  for (const auto* sheet : {&first, &second, &third}) {
    for (const std::string& line : *sheet) {
      if (line.find("\t5 ") != std::string::npos) records.push_back(line.substr(line.find('\t')));
    }
  }
  ASSERT_EQ(records.size(), 12u);
  EXPECT_EQ(records[11], "\tNEW \tMW-9 \t5 ");
  // An export of the table again replaces its further sheets too.
  Exec("DELETE FROM MT_TEMP2A");
  view.mnuExcelChecks_Click(2);
  EXPECT_EQ(Sheet("2"), std::vector<std::string>{"1\tNo Problems for Table 2"});
  EXPECT_TRUE(Sheet("2 (2)").empty());
}

TEST(ErrorWorkbookWriter, SavesTextsNeverFormulasWithFontsColourAndWidths) {
  TempDataDir dir;
  auto records = std::make_shared<RecordSet>();
  records->AppendField("NAME", kTypeVarChar, 50);
  records->AppendField("VALUE", kTypeVarChar, 50000);
  records->Open();
  records->AddNew();
  records->SetValue(0, Value::Text(std::string("a\0b", 3)));  // a NUL stays visible
  records->SetValue(1, Value::Text("=SUM(A1:A9)"));           // a text, never a formula
  records->AddNew();
  records->SetValue(0, Value::Text("long"));
  records->SetValue(1, Value::Text(std::string(40000, 'x')));  // more than a cell holds
  ErrorWorkbook book;
  ErrorSheet& first = book.Sheet(book.AddSheet("1"));
  first.SetText(1, "Title");
  first.SetFont(1, CellFont{true, 12, 0});
  first.SetText(2, "Check");
  first.SetFont(2, CellFont{true, 10, kTitleGreen});
  first.AddRecords(records, 0, 1);
  first.FitColumns();
  book.Sheet(book.AddSheet("2")).AddRecords(records, 1, 1);
  book.Activate(2);
  const fs::path file = dir.dir() / "e.xlsx";
  {
    CommaDecimalLocale comma;  // as a desktop set to German conventions has it
    SaveErrorWorkbook(book, "Errors - 1", file);
  }

  const std::string cells = XlsxCellsText(file);
  EXPECT_EQ(cells.substr(0, cells.find("[2]")),
            "[1]\n1\tTitle\n2\tCheck\n3\tNAME\tVALUE\n4\ta\\\\x00b \t=SUM(A1:A9) \n");
  EXPECT_NE(cells.find("\u2026(40001 characters)\n"), std::string::npos);
  EXPECT_LT(cells.size(), 33000u);
  EXPECT_TRUE(IsUntouchedWorkbook(file));
  EXPECT_EQ(XlsxPart(file, "xl/worksheets/sheet1.xml").find("<f>"), std::string::npos);
  const std::string styles = XlsxPart(file, "xl/styles.xml");
  EXPECT_NE(styles.find("<b/><sz val=\"12\"/>"), std::string::npos) << styles;
  EXPECT_NE(styles.find("<b/><sz val=\"10\"/><color rgb=\"FF008000\"/>"), std::string::npos);
  // Column B as wide as "=SUM(A1:A9) ", column A twice that.
  const std::string sheet1 = XlsxPart(file, "xl/worksheets/sheet1.xml");
  EXPECT_NE(sheet1.find("<col min=\"2\" max=\"2\" width=\"13."), std::string::npos) << sheet1;
  EXPECT_NE(sheet1.find("<col min=\"1\" max=\"1\" width=\"26."), std::string::npos);
  EXPECT_THROW(SaveErrorWorkbook(book, "x", dir.dir() / "no such folder" / "e.xlsx"), FileError);
  try {  // a full disk is named as one
    FileSizeLimit full_disk(4096);
    SaveErrorWorkbook(book, "x", dir.dir() / "full.xlsx");
    ADD_FAILURE() << "written";
  } catch (const FileError& e) {
    EXPECT_NE(e.description().find("(File too large)"), std::string::npos) << e.description();
  }
  EXPECT_FALSE(fs::exists(dir.dir() / "full.xlsx"));
  // Stopped part way, among the rows or as the file is packed (asked once a
  // row, then while it packs), the save leaves the earlier file as it was and
  // nothing beside it.
  const std::string before = XlsxCellsText(file);
  int rows = 0;
  for (int i = 1; i <= book.SheetCount(); ++i)
    book.Sheet(i).ForEachRow([&](int64_t, const auto&, const CellFont&) { ++rows; });
  for (const int asks : {3, rows + 1}) {
    int asked = 0;
    EXPECT_FALSE(SaveErrorWorkbook(book, "Errors - 2", file, [&] { return ++asked >= asks; }));
    EXPECT_EQ(asked, asks);
    EXPECT_EQ(XlsxCellsText(file), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.dir()), fs::directory_iterator()), 1);
  }
  // Asked all along and never stopped, it writes the same as without a stop.
  EXPECT_TRUE(SaveErrorWorkbook(book, "Errors - 1", dir.dir() / "f.xlsx", [] { return false; }));
  EXPECT_EQ(XlsxCellsText(dir.dir() / "f.xlsx"), before);
}

}  // namespace
}  // namespace sorvane::testing
