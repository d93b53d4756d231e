// Problems traced to their workbook cells: the places in the JSON report and the
// marked copies of `review --annotate`, on the sample facility (one workbook as
// .xlsx with a second worksheet) and on one whose import stages find mistakes
// at known cells. A copy is read back part by part: its values must be the
// input's, of the same kinds, and its fills and comments must stand exactly at
// the places the report names.
#include <expat.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <set>
#include <sstream>

#include "checks/frmCCheckView.h"
#include "checks/marked_copies.h"
#include "checks/marked_copy_writer.h"
#include "cli_run.h"
#include "core/text.h"
#include "import/readers/workbook_reader.h"
#include "json_parse.h"
#include "review_report.h"
#include "shell/frmCMain.h"
#include "state/sheet_places.h"
#include "support/comma_decimal_locale.h"
#include "support/scripted_ui.h"
#include "support/work_db.h"
#include "support/xlsx_cells.h"
#include "support/xlsx_writer.h"

namespace sorvane::testing {
namespace {

namespace fs = std::filesystem;
using Cell = std::pair<int64_t, std::string>;  // row, column letters

// One cell of a copy's data sheet: its value as written and its fill colour.
struct CopyCell {
  std::string value;  // the text, or the number as written
  bool text = false;
  std::string fill;  // "" when not filled
};

struct Copy {
  std::vector<std::string> sheets;
  std::map<Cell, CopyCell> cells;
  std::set<Cell> comments;
  size_t links = 0;
};

// "B21" as (21, "B").
Cell Place(const std::string& ref) {
  const size_t digits = ref.find_first_of("0123456789");
  return {std::stoll(ref.substr(digits)), ref.substr(0, digits)};
}

// The copy's data sheet is its last (a marked copy) or the one numbered `data`
// (from 1); its links are those of its other sheets.
Copy ReadCopy(const fs::path& file, size_t data = 0) {
  Copy copy;
  const std::string book = XlsxPart(file, "xl/workbook.xml");
  for (auto sheet : Elements(book, "<sheet ", "/>"))
    copy.sheets.push_back(Attribute(sheet, "name"));
  const std::string styles = XlsxPart(file, "xl/styles.xml");
  std::vector<std::string> fills, xf_fill;
  for (auto fill : Elements(styles, "<patternFill", "</patternFill>")) {
    const auto color = Elements(fill, "<fgColor ", "/>");
    const bool solid = Attribute(fill, "patternType") == "solid" && !color.empty();
    fills.push_back(solid ? Attribute(color[0], "rgb").substr(2, 6) : "");
  }
  const std::string xfs = styles.substr(styles.find("<cellXfs"));
  for (auto xf : Elements(xfs, "<xf ", "</xf>"))
    xf_fill.push_back(fills.at(std::stoul(Attribute(xf, "fillId"))));
  if (data == 0) data = copy.sheets.size();
  const std::string sheet = XlsxPart(file, "xl/worksheets/sheet" + std::to_string(data) + ".xml");
  for (auto c : Elements(sheet, "<c ", "</c>")) {
    CopyCell& cell = copy.cells[Place(Attribute(c, "r"))];
    const std::string s = Attribute(c, "s");
    cell.fill = s.empty() ? "" : xf_fill.at(std::stoul(s));
    cell.text = Attribute(c, "t") == "inlineStr";
    const auto value = Elements(c, cell.text ? "<t" : "<v>", cell.text ? "</t>" : "</v>");
    if (!value.empty()) cell.value = Content(value[0]);
    // The writer keeps a control character of a text as "_x000B_".
    for (size_t at; (at = cell.value.find("_x00")) != std::string::npos &&
                    at + 7 <= cell.value.size() && cell.value[at + 6] == '_';)
      cell.value.replace(at, 7, 1,
                         static_cast<char>(std::stoi(cell.value.substr(at + 4, 2), 0, 16)));
  }
  std::string notes;  // none in a copy without marks
  if (XlsxPart(file, "[Content_Types].xml").find("/xl/comments1.xml") != std::string::npos)
    notes = XlsxPart(file, "xl/comments1.xml");
  // A control character of a value or a sheet's name would leave a part unreadable.
  for (const std::string& part : {notes, book, XlsxPart(file, "docProps/app.xml")}) {
    if (part.empty()) continue;
    XML_Parser parser = XML_ParserCreate(nullptr);
    EXPECT_EQ(XML_Parse(parser, part.data(), static_cast<int>(part.size()), 1), XML_STATUS_OK)
        << file << ": " << XML_ErrorString(XML_GetErrorCode(parser));
    XML_ParserFree(parser);
  }
  for (auto note : Elements(notes, "<comment ", "</comment>"))
    copy.comments.insert(Place(Attribute(note, "ref")));
  for (size_t k = 1; k <= copy.sheets.size(); ++k) {
    if (k == data) continue;
    const std::string other = XlsxPart(file, "xl/worksheets/sheet" + std::to_string(k) + ".xml");
    copy.links += Elements(other, "<hyperlink ", "/>").size();
  }
  return copy;
}

// The first worksheet of `from` written to `to` as .xlsx, numbers and dates as
// such, with `edits` (row, column) -> text applied and a second worksheet after it.
void CopyAsXlsx(const fs::path& from, const fs::path& to,
                const std::map<std::pair<int, int>, XlsxCell>& edits = {}) {
  XlsxRows rows;
  std::string sheet;
  ReadWorkbook(
      from,
      [&](int64_t row, const std::vector<std::string>& cells, const RowFormats& f) {
        rows.resize(static_cast<size_t>(row));
        for (size_t c = 0; c < cells.size(); ++c) {
          if (f.KindOf(c) == RowFormats::Kind::kText || cells[c].empty()) {
            rows.back().emplace_back(cells[c]);
          } else {
            rows.back().emplace_back(f.Number(c, cells[c]), f.FormatCode(c));
          }
        }
        return true;
      },
      {}, [&](const SheetShape& shape) { sheet = shape.sheet_name; });
  for (const auto& [at, cell] : edits) {
    auto& row = rows.at(static_cast<size_t>(at.first - 1));
    row.resize(std::max(row.size(), static_cast<size_t>(at.second) + 1), XlsxCell(""));
    row[static_cast<size_t>(at.second)] = cell;
  }
  WriteXlsx(to, rows, {sheet, "Notes"});
}

class AnnotateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.CreateWorkDb();
    fs::create_directories(in_);
  }
  CliRun Review() {
    return RunCommand({"review", "1234567", "--data-dir", dir_.dir().string(), "--workbooks",
                       in_.string(), "--json", json_.string(), "--annotate", out_.string()});
  }
  // Table n's workbook under review, .xls, .xlsx or .ods.
  fs::path Input(int n) {
    const fs::path xls = in_ / ("1234567_" + std::to_string(n) + ".xls");
    for (const char* ext : {".xls", ".xlsx", ".ods", ".xlsb"}) {
      const fs::path p = fs::path(xls).replace_extension(ext);
      if (fs::exists(p)) return p;
    }
    return xls;
  }
  // The copy of table n's workbook has exactly the fills and comments of
  // `marks` (cell -> severity), and the values and kinds of its input.
  void ExpectCopy(int n, const std::map<Cell, int>& marks, size_t lines) {
    SCOPED_TRACE("table " + std::to_string(n));
    const fs::path input = Input(n);
    const Copy copy = ReadCopy(out_ / (input.stem().string() + " (checked).xlsx"));
    ASSERT_EQ(copy.sheets.size(), 2u);
    EXPECT_EQ(copy.sheets[0], "Problems");
    EXPECT_EQ(copy.links, lines);
    std::set<Cell> expected;
    std::map<int64_t, int> rows;
    for (const auto& [cell, severity] : marks) {
      expected.insert(cell);
      rows[cell.first] = std::max(rows[cell.first], severity);
    }
    EXPECT_EQ(copy.comments, expected);
    static const char* kFill[] = {"FFF2A8", "FFC58A", "FF9C9C"};
    for (const auto& [cell, c] : copy.cells) {
      auto row = rows.find(cell.first);
      EXPECT_EQ(c.fill, row == rows.end() ? "" : kFill[row->second]) << cell.second << cell.first;
    }
    ReadWorkbook(input,
                 [&](int64_t row, const std::vector<std::string>& cells, const RowFormats& f) {
                   for (size_t c = 0; c < cells.size(); ++c) {
                     if (cells[c].empty()) continue;
                     auto it = copy.cells.find({row, ColumnLetters(static_cast<int64_t>(c))});
                     if (it == copy.cells.end()) {
                       ADD_FAILURE() << "missing " << ColumnLetters(static_cast<int64_t>(c)) << row;
                       continue;
                     }
                     const bool text = f.KindOf(c) == RowFormats::Kind::kText;
                     EXPECT_EQ(it->second.text, text);
                     if (text) {
                       EXPECT_EQ(it->second.value, cells[c]);
                     } else {
                       EXPECT_DOUBLE_EQ(std::stod(it->second.value), f.Number(c, cells[c]));
                     }
                   }
                   return true;
                 });
  }

  TempDataDir dir_;
  fs::path in_ = dir_.dir() / "in", out_ = dir_.dir() / "marked", json_ = dir_.dir() / "r.json";
};

// Every place of the report, table by table: cell -> highest severity.
std::map<int, std::map<Cell, int>> MarksOf(const Json& report, std::map<int, size_t>& lines) {
  std::map<int, std::map<Cell, int>> marks;
  auto add = [&](int table, const Json& places, int severity) {
    for (const Json& p : places.array) {
      ++lines[table];
      for (const Json& cell : p["cells"].array) {
        int& s = marks[table][{static_cast<int64_t>(p["row"].number), cell.string}];
        s = std::max(s, severity);
      }
    }
  };
  for (const Json& t : report["tables"].array) {
    const int n = static_cast<int>(t["table"].number);
    for (const Json& p : t["import_problems"].array)
      add(n, p["places"], p["kind"].string == "skipped_row" ? 1 : 2);
    for (const Json& c : t["checks"].array) {
      for (const Json& places : c["sources"].array)
        add(n, places, static_cast<int>(c["severity"].number));
    }
  }
  return marks;
}

// Table 3 as an .xlsx, Table 4 as LibreOffice saved it (.ods), Table 5 as an
// Excel binary workbook (.xlsb).
TEST_F(AnnotateTest, SampleFacilityIsMarkedWhereItsReportPointsWhateverTheFormat) {
  CopySample(in_, {1, 2});
  CopyAsXlsx(SourcePath("data/sample/1234567_3.xls"), in_ / "1234567_3.xlsx");
  fs::copy_file(SourcePath("tests/data/ods/1234567_4.ods"), in_ / "1234567_4.ods");
  fs::copy_file(SourcePath("tests/data/xlsb/1234567_5.xlsb"), in_ / "1234567_5.xlsb");
  CliRun r;
  {
    // Written where numbers have a decimal comma, the copies' numbers and the
    // report are still the same.
    CommaDecimalLocale comma;
    r = Review();
  }
  ASSERT_EQ(r.code, 1) << r.err;
  // The second worksheet shifts nothing: the report is the committed one.
  const std::string json = ReadFile(json_);
  std::string as_xls = json;
  for (const char* name : {"1234567_3.xlsx", "1234567_4.ods", "1234567_5.xlsb"}) {
    as_xls = ReplaceAll(as_xls, name, std::string(name).substr(0, 10) + "xls");
  }
  EXPECT_TRUE(as_xls == ReadFile(SourcePath("tests/data/sample/report.json")));
  std::map<int, size_t> lines;
  const auto marks = MarksOf(ParseJson(json), lines);
  for (int n = 1; n <= 5; ++n) ExpectCopy(n, marks.at(n), lines.at(n));
  // The unknown contaminant's cells say what the agency's list calls its CAS number.
  const std::string hint = "The agency's list names CAS 71-43-2 \"Benzene\".";
  EXPECT_NE(XlsxPart(out_ / "1234567_5 (checked).xlsx", "xl/comments1.xml")
                .find("Rule: In general, there should be no unknown contaminant names. If it is a "
                      "legitimate name, it can be added to the database.\n" +
                      hint),
            std::string::npos);
  // The copies are new files; the workbooks were only read.
  EXPECT_EQ(ReadFile(in_ / "1234567_1.xls"), ReadFile(SourcePath("data/sample/1234567_1.xls")));
}

// A mistake per table (another facility's ID, an extra field, a value of the wrong type, a
// misspelled field, a value too long for the sheet) is traced to its cells. A text left in the
// grid's last column of Table 3 stretches its sheet's used range to 16,384 columns: the marked
// row is still coloured across the table only (its header's columns), and the stray text is copied.
TEST_F(AnnotateTest, ImportStageMistakesAreTracedToTheirCellsAndColourTheTableOnly) {
  CopyAsXlsx(SourcePath("data/sample/1234567_1.xls"), in_ / "1234567_1.xlsx",
             {{{5, 0}, "7654321"}});
  CopyAsXlsx(SourcePath("data/sample/1234567_2.xls"), in_ / "1234567_2.xlsx", {{{1, 20}, "COLOR"}});
  CopyAsXlsx(SourcePath("data/sample/1234567_3.xls"), in_ / "1234567_3.xlsx",
             {{{9, 3},
               "ab\x0b"
               "c"},
              {{12, 16383}, "stray"}});
  CopyAsXlsx(SourcePath("data/sample/1234567_4.xls"), in_ / "1234567_4.xlsx", {{{1, 4}, "MATRX"}});
  CopyAsXlsx(SourcePath("data/sample/1234567_5.xls"), in_ / "1234567_5.xlsx",
             {{{3, 5}, std::string(200, 'x')}});
  const CliRun r = Review();
  ASSERT_EQ(r.code, 1) << r.err;
  const Json report = ParseJson(ReadFile(json_));
  const struct {
    const char* kind;
    int64_t row;
    const char* cell;
  } expected[] = {{"facility_id", 5, "A"},
                  {"field_name", 1, "U"},
                  {"data_type", 9, "D"},
                  {"field_name", 1, "E"},  // the name written nearly alike
                  {"value_too_long", 3, "F"}};
  for (int n = 1; n <= 5; ++n) {
    const Json& problems = report["tables"][n - 1]["import_problems"];
    ASSERT_EQ(problems.array.size(), 1u) << n;
    EXPECT_EQ(problems[0]["kind"].string, expected[n - 1].kind);
    const Json& place = problems[0]["places"][0];
    EXPECT_EQ(place["workbook"].string, "1234567_" + std::to_string(n) + ".xlsx");
    EXPECT_EQ(place["row"].number, expected[n - 1].row);
    const std::string cell = expected[n - 1].cell;
    EXPECT_EQ(place["cells"].array.empty() ? "" : place["cells"][0].string, cell);
    ExpectCopy(n, {{{expected[n - 1].row, cell.empty() ? "A" : cell}, 2}}, 1);
  }
  EXPECT_EQ(report["tables"][3]["import_problems"][0]["text"].string,
            "The MATRIX field of Table 4 is missing or misspelled. Its header cell E1 holds "
            "\"MATRX\".");
  EXPECT_EQ(
      report["tables"][4]["import_problems"][0]["text"].string,
      "The value in row 3, column F of Table 5 appears to be longer than the allowed length.");
  EXPECT_NE(r.out.find("Marked copy: "), std::string::npos);
  EXPECT_THAT(r.out, ::testing::HasSubstr("Tables 1, 2, 3, 4 and 5 were not transferred, so no "
                                          "check ran and no error workbook was written.\n"));
  // The terminal says each under its table's line.
  EXPECT_NE(r.out.find("Table 4: The MATRIX field(s) of Table 4 is/are missing or misspelled.  \n"
                       "  The MATRIX field of Table 4 is missing or misspelled. Its header cell E1 "
                       "holds \"MATRX\".\n"),
            std::string::npos)
      << r.out;
  size_t header = 0, marked = 0;
  ReadWorkbook(Input(3),
               [&](int64_t row, const std::vector<std::string>& cells, const RowFormats&) {
                 if (row == 1) {
                   for (size_t c = 0; c < cells.size(); ++c)
                     header = cells[c].empty() ? header : c + 1;
                 }
                 return true;
               });
  for (const auto& [cell, c] : ReadCopy(out_ / "1234567_3 (checked).xlsx").cells) {
    if (cell.first == 9) ++marked;
  }
  EXPECT_GT(header, 5u);
  EXPECT_EQ(marked, header);
}

// An infinity or NaN that a program wrote into a number cell shows as "#NUM!"
// and is copied as that text: written as a number ("INF"), it made a file the
// spreadsheet program has to repair. A binary workbook's sheet may be named
// with a control character, which no part of the copy can hold. A workbook's
// name may be as long as a name can be, which the copy's name, longer still,
// cannot: it keeps the name's start.
TEST_F(AnnotateTest, WhatNoCellOrSheetNameCanHoldIsCopiedReadably) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  CopyAsXlsx(SourcePath("data/sample/1234567_3.xls"), in_ / "1234567_3.xlsx",
             {{{2, 3}, kInf}, {{3, 3}, -kInf}, {{4, 3}, std::nan("")}});
  CopySample(in_, {1, 2, 4, 5});
  std::string table1 = ReadFile(in_ / "1234567_1.xls");
  table1.replace(table1.find("Sample Location"), 15,
                 "Sample Lo\x17"
                 "ation");
  std::ofstream(in_ / "1234567_1.xls", std::ios::binary) << table1;
  const std::string longest = "1234567_2" + std::string(240, 'x') + "_2.xls";
  fs::rename(in_ / "1234567_2.xls", in_ / longest);
  const CliRun r = Review();
  ASSERT_EQ(r.code, 1) << r.err;
  EXPECT_EQ(ReadCopy(out_ / "1234567_1 (checked).xlsx").sheets.back(), "Sample Lo_ation");
  std::vector<std::string> long_copies;
  for (const auto& entry : fs::directory_iterator(out_)) {
    if (entry.path().filename().string().starts_with("1234567_2x"))
      long_copies.push_back(entry.path().filename().string());
  }
  ASSERT_EQ(long_copies.size(), 1u);
  EXPECT_THAT(long_copies[0], ::testing::StartsWith("1234567_2" + std::string(200, 'x')));
  EXPECT_THAT(long_copies[0], ::testing::EndsWith(" (checked).xlsx"));
  EXPECT_LE(long_copies[0].size(), 255u);
  EXPECT_THAT(r.out, ::testing::HasSubstr("Marked copy: " + (out_ / long_copies[0]).string()));
  EXPECT_FALSE(ReadCopy(out_ / long_copies[0]).cells.empty());
  const Copy copy = ReadCopy(out_ / "1234567_3 (checked).xlsx");
  for (int64_t row : {2, 3, 4}) {
    const CopyCell& cell = copy.cells.at({row, "D"});
    EXPECT_TRUE(cell.text) << row;
    EXPECT_EQ(cell.value, "#NUM!") << row;
  }
  EXPECT_FALSE(copy.cells.at({5, "D"}).text);  // the next level is a number still
}

// A copy that cannot be written (a folder has its name) is named; the other
// outputs are written and said, and the review ends with status 2.
TEST_F(AnnotateTest, ACopyThatCannotBeWrittenIsNamedAndTheOtherOutputsAreSaid) {
  using ::testing::HasSubstr;
  CopySample(in_);
  const fs::path blocked = out_ / "1234567_3 (checked).xlsx";
  fs::create_directories(blocked / "x");
  const CliRun r = Review();
  EXPECT_EQ(r.code, 2);
  EXPECT_THAT(r.err, HasSubstr("--annotate: The marked copy could not be written to " +
                               blocked.string() + ": "));
  EXPECT_THAT(r.out, HasSubstr("Marked copy: " + (out_ / "1234567_5 (checked).xlsx").string()));
  EXPECT_THAT(r.out, HasSubstr("Report: " + json_.string()));
  EXPECT_THAT(r.out,
              HasSubstr("Error workbook: " + (dir_.dir() / "Errors - 1234567.xlsx").string()));
}

// More problem cells than a spreadsheet program opens comments for: the first
// 65,530 carry one; every one is filled and has its linked line.
TEST_F(AnnotateTest, CommentsStopAfterTheFirst65530ProblemCellsFillsAndLinksDoNot) {
  const fs::path input = in_ / "t.xlsx", file = out_ / "t (checked).xlsx";
  // 4,096 rows of 16 problem cells each: 65,536.
  XlsxRows rows = {{"POINT_ID"}};
  std::vector<MarkedProblem> problems;
  std::vector<std::string> letters;
  for (int c = 0; c < 16; ++c) letters.push_back(ColumnLetters(c));
  for (int64_t row = 2; row <= 4097; ++row) {
    rows.push_back({"MW-" + std::to_string(row)});
    problems.push_back({1, "1.2", 2, "Bad.", "Rule.", {"t.xlsx", "Data", row, letters}});
  }
  WriteXlsx(input, rows, {"Data"});
  SheetOrigin origin;
  origin.path = input;
  origin.file_size = fs::file_size(input);
  origin.file_time = fs::last_write_time(input);
  origin.header_row = 1;
  std::vector<const MarkedProblem*> mine;
  for (const MarkedProblem& p : problems) mine.push_back(&p);
  fs::create_directories(out_);
  ASSERT_TRUE(WriteMarkedCopy(origin, "Data", mine, file));
  const Copy copy = ReadCopy(file);
  EXPECT_EQ(copy.comments.size(), 65530u);
  EXPECT_EQ(*copy.comments.rbegin(), (Cell{4097, "J"}));
  EXPECT_EQ(copy.cells.at({4097, "P"}).fill, "FF9C9C");
  EXPECT_EQ(copy.links, 4096u);
}

// The check window's menu item writes the same copies into the data folder and
// says where.
// The mended workbooks hold the mends the import's findings leave no doubt
// about, and none where a cell says otherwise; reviewed again, only the
// findings left to the person remain. The folder is never written over.
TEST_F(AnnotateTest, MendedWorkbooksHoldTheCertainMendsAndReviewAgainWithFewerProblems) {
  CopyAsXlsx(SourcePath("data/sample/1234567_1.xls"), in_ / "1234567_1.xlsx",
             {{{5, 0}, "1234567\u00a0"}});
  CopyAsXlsx(SourcePath("data/sample/1234567_2.xls"), in_ / "1234567_2.xlsx", {});
  CopyAsXlsx(SourcePath("data/sample/1234567_3.xls"), in_ / "1234567_3.xlsx",
             {{{2, 2}, 38063.0}, {{9, 3}, "abc"}});
  CopyAsXlsx(SourcePath("data/sample/1234567_4.xls"), in_ / "1234567_4.xlsx", {{{1, 4}, "MATRX"}});
  // CONC (G), UNITS (H), LAB_Q (I), MDL (J): row 2's MDL and row 4's units say
  // otherwise than its CONC.
  CopyAsXlsx(SourcePath("data/sample/1234567_5.xls"), in_ / "1234567_5.xlsx",
             {{{2, 6}, "<0.5"},
              {{3, 6}, "<2"},
              {{3, 9}, ""},
              {{4, 6}, "5 mg/L"},
              {{5, 6}, "5 mg/L"},
              {{5, 7}, ""},
              {{6, 6}, "ND"},
              {{6, 9}, 1.5},
              {{7, 9}, "7\u00a0"},
              {{8, 6}, "3 J"},
              {{8, 8}, ""}});
  const fs::path mended = dir_.dir() / "mended";
  CliRun r = RunCommand({"review", "1234567", "--data-dir", dir_.dir().string(), "--workbooks",
                         in_.string(), "--mend", mended.string()});
  ASSERT_EQ(r.code, 1) << r.err;
  EXPECT_THAT(r.out, ::testing::HasSubstr(
                         "Mended workbook: " + (mended / "1234567_5.xlsx").string() +
                         ", 9 cells mended (its sheet Mends lists them)\n"
                         "  G3, CONC: \"<2\" now 2 (a result below its detection limit, written as "
                         "its limit)\n"
                         "  I3, LAB_Q: empty now U (a result below its detection limit: U)\n"
                         "  J3, MDL: empty now 2 (a result below its detection limit: its limit)\n"
                         "  G5, CONC: \"5 mg/L\" now 5 (the units written after the number)\n"
                         "  H5, UNITS: empty now mg/L (the units of CONC)\n"
                         "  and 4 more\n"));
  EXPECT_THAT(r.out, ::testing::HasSubstr("  E1, MATRIX: \"MATRX\" now MATRIX (the name of MATRIX "
                                          "misspelled)\n"));
  EXPECT_THAT(r.out, ::testing::HasSubstr("  C2, WL_DATE: \"38063\" now 3/17/2004 (a date kept as "
                                          "its number)\n"));
  EXPECT_THAT(r.out,
              ::testing::HasSubstr("  A5, FAC_ID: \"1234567\u00a0\" now 1234567 (the facility's ID "
                                   "with a non-breaking space after it)\n"));
  EXPECT_THAT(r.out, ::testing::EndsWith("Copied as they are into " + mended.string() +
                                         ": 1234567_2.xlsx\n"));

  std::vector<std::string> rows;  // CONC|UNITS|LAB_Q|MDL of rows 2 to 8
  ReadWorkbook(mended / "1234567_5.xlsx",
               [&](int64_t row, const std::vector<std::string>& c, const RowFormats&) {
                 if (row >= 2 && row <= 8)
                   rows.push_back(c[6] + "|" + c[7] + "|" + c[8] + "|" + c[9]);
                 return true;
               });
  EXPECT_EQ(rows, (std::vector<std::string>{"<0.5|ug/l||1.233", "2|ug/l|U|2", "5 mg/L|ug/l||1.005",
                                            "5|mg/L|U|0.609", "1.5|ug/l|U|1.5", "0.841|ug/l|U|7",
                                            "3|ug/l|J|1.568"}));
  const Copy copy = ReadCopy(mended / "1234567_5.xlsx", 1);
  EXPECT_EQ(copy.sheets.back(), "Mends");
  EXPECT_EQ(copy.links, 9u);
  EXPECT_EQ(copy.comments.size(), 9u);
  EXPECT_EQ(copy.cells.at({3, "G"}).fill, "C6EFCE");
  EXPECT_EQ(copy.cells.at({2, "G"}).fill, "");

  // Reviewed again, what was left to the person is all there is, and nothing
  // more is said to be mendable.
  const fs::path again = dir_.dir() / "again.json";
  r = RunCommand({"review", "1234567", "--data-dir", dir_.dir().string(), "--workbooks",
                  mended.string(), "--json", again.string()});
  EXPECT_THAT(r.out, ::testing::Not(::testing::HasSubstr("--mend")));
  EXPECT_THAT(Review().out,
              ::testing::HasSubstr("\nSome of what the import found can be mended without a doubt: "
                                   "--mend DIR writes the workbooks so mended into DIR.\n"));
  const Json report = ParseJson(ReadFile(again));
  const size_t left[] = {0, 0, 1, 0, 2};
  for (int n = 1; n <= 5; ++n)
    EXPECT_EQ(report["tables"][n - 1]["import_problems"].array.size(), left[n - 1]) << n << r.out;

  // A folder holding them is refused before anything is reviewed.
  r = RunCommand({"review", "1234567", "--data-dir", dir_.dir().string(), "--workbooks",
                  in_.string(), "--mend", mended.string()});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_THAT(r.err, ::testing::StartsWith(
                         "--mend: " + mended.string() +
                         " holds 1234567_1.xlsx, a workbook of facility 1234567 already; the "
                         "mended workbooks go to a folder without any, so that none is written "
                         "over.\n"));
}

TEST(CheckWindowMarkedCopies, AreWrittenIntoTheDataFolderAndNamed) {
  WorkDataDir dir;
  CopySample(dir.paths().WorkbookDir());
  ScriptedUi ui;
  frmCMain w(ui, dir.paths());
  ASSERT_TRUE(w.Form_Load());
  w.state().view.txtFacilityID.text = "1234567";
  w.mnuRunData_Click(0);
  w.mnuCheckTables_Click(1);
  ASSERT_NE(w.check_view(), nullptr);
  ui.messages.clear();
  w.check_view()->mnuMarkedCopies_Click();
  const fs::path out = dir.dir() / "Checked";
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], "Marked copies of the workbooks were written to " + out.string() +
                                ":\n  1234567_1 (checked).xlsx\n  1234567_2 (checked).xlsx\n"
                                "  1234567_3 (checked).xlsx\n  1234567_4 (checked).xlsx\n"
                                "  1234567_5 (checked).xlsx");
  const Copy copy = ReadCopy(out / "1234567_1 (checked).xlsx");
  EXPECT_EQ(copy.comments.count({21, "B"}), 1u);  // the duplicated point MW-20

  // A copy saved over in a spreadsheet program (problems fixed in it, say) is
  // kept aside when the copies are written again; the others are replaced.
  const fs::path edited = out / "1234567_2 (checked).xlsx";
  const std::string edited_bytes = ReadFile(edited);
  fs::last_write_time(edited, fs::last_write_time(edited) + std::chrono::hours(1));
  ui.messages.clear();
  w.check_view()->mnuMarkedCopies_Click();
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_THAT(ui.messages[0],
              ::testing::HasSubstr("\n  1234567_2 (checked).xlsx (the file there before, changed "
                                   "since it was written, is kept as 1234567_2 (checked) "
                                   "(1).xlsx)\n  1234567_3 (checked).xlsx\n"));
  EXPECT_TRUE(ReadFile(out / "1234567_2 (checked) (1).xlsx") == edited_bytes);
  EXPECT_EQ(ReadCopy(edited).comments.size(),
            ReadCopy(out / "1234567_2 (checked) (1).xlsx").comments.size());
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 6);

  // Stopped (Ctrl-C of a review) a hundred rows into Table 5's copy: the copies
  // made whole stay, and of the one cut short nothing is left.
  const fs::path stopped_in = dir.dir() / "Stopped";
  int rows_of_5 = 0;
  w.state().StopRequested = [&] {
    return fs::exists(stopped_in / "1234567_4 (checked).xlsx") && ++rows_of_5 > 100;
  };
  const MarkedCopiesResult stopped = WriteMarkedCopies(w.state(), {1, 2, 3, 4, 5}, {}, stopped_in);
  EXPECT_TRUE(stopped.stopped);
  EXPECT_TRUE(stopped.failures.empty());
  EXPECT_EQ(stopped.written.size(), 4u);
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(stopped_in)) {
    EXPECT_NE(entry.path().filename().string().rfind("1234567_5", 0), 0u) << entry.path();
    ++files;
  }
  EXPECT_EQ(files, 4u);

  // So are the mended workbooks, the set said to be cut short.
  w.state().StopRequested = [&] { return fs::exists(dir.dir() / "Mended" / "1234567_4.xls"); };
  const MendedCopiesResult mended = WriteMendedCopies(w.state(), dir.dir() / "Mended");
  EXPECT_TRUE(mended.stopped);
  EXPECT_EQ(mended.written.size(), 4u);
  std::ostringstream said;
  cli::PrintMended(mended, "Mended", said);
  EXPECT_THAT(said.str(), ::testing::EndsWith(
                              "Copied as they are into Mended: 1234567_1.xls, 1234567_2.xls, "
                              "1234567_3.xls, 1234567_4.xls\nThe mended workbooks were stopped: "
                              "Mended holds only those named above, not a whole set.\n"));

  // A workbook that a pipe took the place of after its import is named as such.
  const fs::path third = w.state().Tables[3].Origin.path;
  fs::remove(third);
  ASSERT_EQ(::mkfifo(third.c_str(), 0600), 0);
  w.state().StopRequested = [] { return false; };
  const MendedCopiesResult piped = WriteMendedCopies(w.state(), dir.dir() / "Piped");
  EXPECT_EQ(piped.written.size(), 4u);
  EXPECT_THAT(piped.failures, ::testing::ElementsAre("The workbook " + third.string() +
                                                     " is not a plain file (a pipe, a device or a "
                                                     "folder); it was not copied."));
}

}  // namespace
}  // namespace sorvane::testing
