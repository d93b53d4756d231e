// The readers on workbooks built record by record and part by part, each
// breaking one thing (the rows a user would see, or the refusal and its words),
// and the fixture workbooks of another program read alike as .xls and .xlsx.
#include "import/readers/workbook_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <sstream>
#include <thread>

#include "core/text.h"
#include "import/readers/read_ahead.h"
#include "sheet_rows.h"
#include "support/case_table.h"
#include "support/work_db.h"
#include "support/xlsx_writer.h"
#include "test_files.h"

namespace sorvane::testing {
namespace {

using Rows = std::vector<std::vector<std::string>>;
using Reason = WorkbookError::Reason;

constexpr uint16_t kNumber = 0x0203, kLabelSst = 0x00FD, kLabel = 0x0204, kSst = 0x00FC,
                   kFilePass = 0x002F, kCodePage = 0x0042, kFormat = 0x041E, kXf = 0x00E0,
                   kDimensions = 0x0200, kRString = 0x00D6, kFormula = 0x0006, kString = 0x0207;

std::string Number(uint16_t row, uint16_t col, double v, uint16_t xf = 0) {
  return CellHead(row, col, xf) + F64(v);
}
std::string Label(uint16_t row, uint16_t col, const std::string& text) {
  return CellHead(row, col, 0) + BiffString(text);
}
Rows Read(const std::string& bytes, const ReadLimits& limits = {}) {
  return Trimmed(ReadAllRowsFromMemory(bytes, limits));
}

// What writers get wrong or lay out otherwise: string counts (the strings
// present are what counts), cells out of row order, a chart sheet before the
// worksheet, the stream's name in another case or the older "Book".
TEST(XlsReaderTest, WorkbooksOfOtherWritersReadAsTheirCellsSay) {
  std::string sst = U32(1000000) + U32(999999) + BiffString("one") + BiffString("two");
  XlsBuilder strings;
  strings.Global(kSst, sst).Sheet(kLabelSst, CellHead(0, 0, 0) + U32(1));
  EXPECT_EQ(Read(strings.File()), (Rows{{"two"}}));

  XlsBuilder b;
  b.Sheet(kLabel, Label(4, 0, "last"))
      .Sheet(kLabel, Label(1, 1, "first"))
      .Sheet(kLabel, Label(4, 0, "last, rewritten"));
  auto got = ReadAllRowsFromMemory(b.File());
  EXPECT_EQ(got.numbers, (std::vector<int64_t>{2, 3, 4, 5}));
  EXPECT_EQ(Trimmed(got), (Rows{{"", "first"}, {}, {}, {"last, rewritten"}}));

  XlsBuilder chart;
  chart.chart_first = true;
  chart.Sheet(kLabel, Label(0, 0, "x"));
  got = ReadAllRowsFromMemory(chart.File());
  EXPECT_EQ(got.shape.sheet_name, "Data");
  EXPECT_EQ(Trimmed(got), (Rows{{"x"}}));
  for (const char* name : {"Workbook", "WORKBOOK", "workbook", "Book"}) {
    EXPECT_EQ(Trimmed(ReadAllRowsFromMemory(chart.File(name))), (Rows{{"x"}})) << name;
  }
}

TEST(XlsReaderTest, ShapeIsToldFirstAndTheCallerCanStopAfterAnyRow) {
  XlsBuilder b;
  for (uint16_t r = 0; r < 10; ++r) b.Sheet(kNumber, Number(r, 0, r));
  std::vector<std::string> events;
  const SheetShape shape = ReadFirstWorksheetFromMemory(
      b.File(), "t.xls",
      [&](int64_t row, const std::vector<std::string>&) {
        events.push_back("row " + std::to_string(row));
        return row < 3;
      },
      {}, [&](const SheetShape& s) { events.push_back("shape " + std::to_string(s.last_row)); });
  EXPECT_EQ(events, (std::vector<std::string>{"shape 10", "row 1", "row 2", "row 3"}));
  EXPECT_EQ(shape.last_row, 10);
}

// An Excel 5/95 workbook: its texts are bytes of the code page it names (the
// Windows one when it names none), its used range takes two bytes a row.
TEST(XlsReaderTest, Excel95WorkbooksReadTheirTextsInTheirCodePage) {
  auto text = [](uint16_t row, uint16_t col, const std::string& bytes) {
    return CellHead(row, col, 0) + U16(static_cast<uint16_t>(bytes.size())) + bytes;
  };
  const std::string xf_rest(12, '\0');
  XlsBuilder mac;
  mac.version = 0x0500;
  mac.Global(kCodePage, U16(10000))
      .Global(kFormat, U16(164) + U8(9) + "d.m.yyyy\x8E")
      .Global(kXf, U16(0) + U16(0) + xf_rest)
      .Global(kXf, U16(0) + U16(164) + xf_rest)
      .Sheet(kDimensions, U16(0) + U16(2) + U16(0) + U16(3) + U16(0))
      .Sheet(kLabel, text(0, 0, "caf\x8E"))
      .Sheet(kRString, text(0, 1, "\xA5 b") + U8(1) + U16(0))  // and its one formatting run
      .Sheet(kNumber, Number(1, 0, 36526, 1))
      .Sheet(kFormula, CellHead(1, 2, 0) + U8(0) + std::string(5, '\0') + U16(0xFFFF) + U16(0) +
                           U32(0) + U16(0))
      .Sheet(kString, U16(3) + "\x8E\x8F!");
  const SheetRows got = ReadAllRowsFromMemory(mac.File("Book"));
  EXPECT_EQ(got.shape.sheet_name, "Data");
  EXPECT_EQ(got.shape.columns, 3);
  EXPECT_EQ(Trimmed(got), (Rows{{"café", "• b"}, {"1/1/2000", "", "éè!"}}));

  XlsBuilder japanese;  // two bytes a character, the last one cut off
  japanese.version = 0x0500;
  japanese.Global(kCodePage, U16(932)).Sheet(kLabel, text(0, 0, "\x93\xfa\x96\x7b \x82"));
  EXPECT_EQ(Read(japanese.File("Book")), (Rows{{"日本 \uFFFD"}}));
  XlsBuilder western;
  western.version = 0x0500;
  western.Sheet(kLabel, text(0, 0, "\x80 5"));
  EXPECT_EQ(Read(western.File("Book")), (Rows{{"€ 5"}}));
}

// The worksheet `sheet` (0 the first) of `bytes`: its name and first row, or
// the reason it cannot be read.
std::pair<std::string, std::vector<std::string>> NthSheet(const std::string& bytes, int sheet) {
  ReadOptions options;
  options.sheet = sheet;
  std::pair<std::string, std::vector<std::string>> got;
  try {
    ReadWorkbookFromMemory(
        bytes, "t",
        [&](int64_t, const std::vector<std::string>& cells, const RowFormats&) {
          got.second = cells;
          return false;
        },
        options, [&](const SheetShape& shape) { got.first = shape.sheet_name; });
  } catch (const WorkbookError& e) {
    got.first = e.reason() == Reason::kNoWorksheet ? "no worksheet" : e.description();
  }
  return got;
}

// A later worksheet is read when asked (hidden ones count, chart sheets do
// not); past the last there is none.
TEST(ReaderTest, ALaterWorksheetIsReadWhenAsked) {
  TempDataDir dir;
  const std::filesystem::path xlsx = dir.dir() / "three.xlsx";
  WriteXlsxSheets(xlsx, {{"Notes", {{"see the next sheet"}}}, {"Data", {{"A", "B"}}}, {"QC", {}}});
  const std::string bytes = ReadFile(xlsx);
  using Sheet = std::pair<std::string, std::vector<std::string>>;
  EXPECT_EQ(NthSheet(bytes, 1), Sheet("Data", {"A", "B"}));
  EXPECT_EQ(NthSheet(bytes, 2), Sheet("QC", {}));
  EXPECT_EQ(NthSheet(bytes, 3).first, "no worksheet");
  XlsBuilder chart;
  chart.chart_first = true;
  chart.Sheet(kLabel, Label(0, 0, "x"));
  EXPECT_EQ(NthSheet(chart.File(), 0), Sheet("Data", {"x"}));
  EXPECT_EQ(NthSheet(chart.File(), 1).first, "no worksheet");
  XlsbParts xlsb;
  xlsb.chart_first = true;
  xlsb.sheet_data = XlsbRow(0) + XlsbCell(6, 0, 0, XlsbString(u"y"));
  xlsb.second_sheet = XlsbRow(0) + XlsbCell(6, 1, 0, XlsbString(u"z"));
  EXPECT_EQ(NthSheet(xlsb.Zip(), 0), Sheet("Data", {"y"}));
  EXPECT_EQ(NthSheet(xlsb.Zip(), 1), Sheet("Second", {"", "z"}));
  EXPECT_EQ(NthSheet(xlsb.Zip(), 2).first, "no worksheet");
  const std::filesystem::path hidden =
      std::filesystem::path(SORVANE_CORPUS_DIR) / "xls" / "calamine_any_sheets.xls";
  if (std::filesystem::exists(hidden)) {
    EXPECT_EQ(NthSheet(ReadFile(hidden), 2).first, "VeryHidden");
  }
}

// A missing file, and a named pipe refused without waiting for a writer.
TEST(XlsReaderTest, WhatIsNoFileOnDiskIsAFileErrorThatSaysSo) {
  const std::filesystem::path pipe =
      std::filesystem::temp_directory_path() / ("sv_pipe_" + std::to_string(::getpid()) + ".xls");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  // A writer that comes only if the reader opened the pipe, so that a reader
  // which waits for one fails here instead of hanging.
  std::atomic<bool> done{false};
  std::thread writer([&] {
    while (!done) {
      const int fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) {
        ::close(fd);
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  for (const auto& [file, number, words] :
       {std::tuple{std::filesystem::path("/nonexistent/T1.xls"), kErrFileNotFound,
                   "\"/nonexistent/T1.xls\" was not found"},
        {pipe, kErrPathFileAccess, "is not a file (a pipe or a device)"}}) {
    try {
      ReadFirstWorksheet(file, [](int64_t, const std::vector<std::string>&) { return true; });
      ADD_FAILURE() << file;
    } catch (const FileError& e) {
      EXPECT_EQ(e.number(), number);
      EXPECT_NE(e.description().find(words), std::string::npos) << e.description();
    } catch (const Error& e) {
      ADD_FAILURE() << e.description();
    }
  }
  done = true;
  writer.join();
  std::filesystem::remove(pipe);
}

using Parts = std::vector<std::pair<std::string, std::string>>;

// The parts with one replaced.
Parts WithPart(Parts parts, const std::string& name, const std::string& content) {
  for (auto& p : parts) {
    if (p.first == name) p.second = content;
  }
  return parts;
}

TEST(XlsxReaderTest, CellTypesAndStylesShowTheirText) {
  struct Sheet {
    std::string name;
    XlsxParts x;
    Rows rows;
  };
  std::vector<Sheet> sheets;
  for (const auto& c : CaseTable("xlsx_sheets.txt")) {
    if (sheets.empty() || sheets.back().name != c[0]) sheets.push_back({c[0], {}, {}});
    XlsxParts& x = sheets.back().x;
    if (c[1] == "row") {
      sheets.back().rows.emplace_back(c.begin() + 2, c.end());
    } else if (c[1] == "date1904") {
      x.date1904 = true;
    } else if (c[1] == "cell_xfs") {
      x.cell_xfs = c[2];
    } else {
      (c[1] == "shared_strings" ? x.shared_strings
       : c[1] == "num_fmts"     ? x.num_fmts
                                : x.sheet_data) += c[2];
    }
  }
  for (const Sheet& s : sheets) {
    SCOPED_TRACE(s.name);
    EXPECT_EQ(Read(s.x.Zip()), s.rows);
  }
}

TEST(XlsxReaderTest, RepeatedNumbersShowByTheirOwnStyleEachTime) {
  XlsxParts x;
  x.cell_xfs = "<xf numFmtId=\"0\"/><xf numFmtId=\"14\"/>";
  std::string row;
  for (int i = 0; i < 3; ++i) {
    row += "<c s=\"1\"><v>44270</v></c><c><v>44270</v></c><c><v>1E-3</v></c><c><v>x1</v></c>";
  }
  x.sheet_data = "<row>" + row + "</row><row>" + row + "</row>";
  const std::vector<std::string> once = {"3/15/2021", "44270", "0.001", "x1"};
  std::vector<std::string> expected;
  for (int i = 0; i < 3; ++i) expected.insert(expected.end(), once.begin(), once.end());
  EXPECT_EQ(Read(x.Zip()), (Rows{expected, expected}));
  x.date1904 = true;  // a second workbook: nothing remembered from the first
  EXPECT_EQ(Read(x.Zip())[1][0], "3/16/2025");
}

// A sheet in another encoding is read by expat, which converts it.
TEST(XlsxReaderTest, SheetInAnotherEncodingReadsAsWritten) {
  XlsxParts x;
  const Parts parts =
      WithPart(x.Parts(), "xl/worksheets/sheet1.xml",
               "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><worksheet><sheetData><row r=\"1\">"
               "<c r=\"A1\" t=\"inlineStr\"><is><t>Gr\xFC\xDF"
               "e</t></is></c></row></sheetData></worksheet>");
  EXPECT_EQ(Read(ZipFile(parts)), (Rows{{"Gr\xC3\xBC\xC3\x9F"
                                         "e"}}));
}

TEST(XlsxReaderTest, CellsAndRowsTakeTheirPlaceWithOrWithoutReferences) {
  XlsxParts x;
  x.sheet_data =
      "<row><c><v>1</v></c><c><v>2</v></c></row>"
      "<row r=\"4\"><c r=\"C4\"><v>3</v></c><c><v>4</v></c></row>"
      "<row><c t=\"inlineStr\"><is><t>x</t></is></c></row>";
  const auto got = ReadAllRowsFromMemory(x.Zip());
  EXPECT_EQ(got.numbers, (std::vector<int64_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(Trimmed(got), (Rows{{"1", "2"}, {}, {}, {"", "", "3", "4"}, {"x"}}));
  EXPECT_EQ(got.shape.columns, 4);
  for (const auto& row : got.rows) EXPECT_EQ(row.size(), 4u);
}

// A sheet's claimed range (sheet_range_claims.txt) is trusted only while the
// rows keep to it; otherwise the sheet is read again.
TEST(ReaderTest, ARangeTheSheetClaimsWronglyReadsAsIfUnclaimed) {
  constexpr uint16_t kBlank = 0x0201, kDimensions = 0x0200;
  const char* xlsx_sheets[] = {
      "<row r=\"2\"><c r=\"A2\"><v>1</v></c><c r=\"C2\"><v>2</v></c></row>"
      "<row r=\"4\"><c r=\"B4\" s=\"0\"/></row>",
      "<row r=\"3\"><c r=\"A3\"><v>3</v></c></row><row r=\"2\"><c r=\"C2\"><v>1</v></c></row>"};
  const std::vector<std::pair<uint16_t, std::string>> xls_sheets[] = {
      {{kNumber, Number(1, 0, 1)}, {kNumber, Number(1, 2, 2)}, {kBlank, CellHead(3, 1, 0)}},
      {{kNumber, Number(2, 0, 3)}, {kNumber, Number(1, 2, 1)}}};
  const std::string xlsb_sheets[] = {
      XlsbRow(1) + XlsbCell(5, 0, 0, F64(1)) + XlsbCell(5, 2, 0, F64(2)) + XlsbRow(3) +
          XlsbCell(1, 1, 0, ""),
      XlsbRow(2) + XlsbCell(5, 0, 0, F64(3)) + XlsbRow(1) + XlsbCell(5, 2, 0, F64(1))};
  for (const auto& claim : CaseTable("sheet_range_claims.txt")) {
    std::string record;  // two 4-byte rows, then 2-byte columns
    std::string dim;     // the same, the last row and column themselves, 4 bytes each
    std::istringstream numbers(claim[1]);
    for (uint32_t n = 0, i = 0; numbers >> n; ++i) {
      record += i < 2 ? U32(n) : U16(static_cast<uint16_t>(n));
      if (i < 4) dim += U32(i % 2 == 0 ? n : n - 1);
    }
    for (int s = 0; s < 2; ++s) {
      SCOPED_TRACE(std::to_string(s) + " " + claim[0]);
      XlsxParts x;
      x.sheet_data = xlsx_sheets[s];
      x.dimension = claim[0];
      XlsBuilder b;
      if (!record.empty()) b.Sheet(kDimensions, record);
      for (const auto& [id, body] : xls_sheets[s]) b.Sheet(id, body);
      XlsbParts xb;
      xb.sheet_data = xlsb_sheets[s];
      xb.dimension = dim;
      for (const auto& [bytes, name] :
           {std::pair{x.Zip(), "t.xlsx"}, {b.File(), "t.xls"}, {xb.Zip(), "t.xlsb"}}) {
        for (bool ahead : {false, true}) {
          int shapes = 0;
          EXPECT_EQ(ReadStartingOver(bytes, name, shapes, ahead),
                    ReadAllRowsFromMemory(bytes).rows);
          EXPECT_EQ(shapes, std::stoi(claim[2 + s])) << name;
        }
      }
    }
  }
}

// Read on a second thread, a sheet gives the caller what it gives when read
// directly: each row's cells and displayed texts, how many of its first cells
// may hold a text (rows of one cell among rows of three, a stray empty cell
// far to the right in the last), the stop the caller asks for, and a failure
// once the rows before it are in.
TEST(XlsxReaderTest, ReadAheadGivesWhatTheReaderGives) {
  XlsxParts x;
  x.cell_xfs = "<xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"4\"/>";
  for (int r = 1; r <= 3000; ++r) {
    const std::string n = std::to_string(r);
    x.sheet_data += "<row r=\"" + n + "\"><c r=\"A" + n + "\" s=\"1\"><v>" + n + "</v></c>";
    if (r % 3 != 0) {
      x.sheet_data += "<c r=\"B" + n + "\" s=\"2\"><v>1234.5</v></c><c r=\"C" + n +
                      "\" t=\"inlineStr\"><is><t>x" + n + "</t></is></c>";
    }
    x.sheet_data += r == 3000 ? "<c r=\"H3000\" s=\"2\"/></row>" : "</row>";
  }
  x.dimension = "<dimension ref=\"A1:H3000\"/>";
  auto read = [](const std::string& bytes, bool ahead, int64_t stop_at) {
    std::vector<std::string> seen;
    ReadOptions options;
    options.may_start_over = true;
    const SheetRead reader = [&](const ShownRowCallback& on_row, const ShapeCallback& on_shape) {
      return ReadWorkbookFromMemory(bytes, "t.xlsx", on_row, options, on_shape);
    };
    const ShownRowCallback on_row = [&](int64_t n, const std::vector<std::string>& cells,
                                        const RowFormats& f) {
      std::string line = std::to_string(n) + "#" + std::to_string(f.Filled(cells));
      for (size_t c = 0; c < cells.size(); ++c)
        line += "|" + f.Shown(c, cells[c]) + "/" + f.FormatCode(c);
      seen.push_back(line);
      return n != stop_at;
    };
    try {
      ahead ? ReadAhead(reader, on_row, {}) : reader(on_row, {});
    } catch (const WorkbookError& e) {
      seen.push_back(e.description());
    }
    return seen;
  };
  const std::string whole = x.Zip();
  x.sheet_data += "<row r=\"3001\"><c r=\"A3001\"><v>1</v></c></row><row";
  const std::string broken = x.Zip();
  for (const auto& [bytes, stop_at] :
       {std::pair{whole, int64_t{0}}, {whole, int64_t{2500}}, {broken, int64_t{0}}}) {
    const std::vector<std::string> direct = read(bytes, false, stop_at);
    EXPECT_EQ(read(bytes, true, stop_at), direct);
    EXPECT_EQ(direct[1], "2#3|1/2/1900/m/d/yyyy|1,234.50/#,##0.00|x2/|/|/|/|/|/");
    EXPECT_EQ(direct[2], "3#1|1/3/1900/m/d/yyyy|/|/|/|/|/|/|/");
    if (stop_at == 0 && bytes == whole) {
      EXPECT_EQ(direct.back(), "3000#8|3/18/1908/m/d/yyyy|/|/|/|/|/|/|/");
    }
    EXPECT_EQ(direct.size(), stop_at > 0 ? 2500 : 3000);
    EXPECT_EQ(direct.back().find("not well-formed") != std::string::npos, bytes == broken);
  }
}

// While the caller awaits the first rows (the reader still finding the
// sheet's shape), the window is served; a stop asked for there reaches the
// reader through its own check, and no row comes after it.
TEST(ReadAheadTest, TheWindowIsServedWhileRowsAreAwaitedAndMayStopTheReader) {
  std::atomic<bool> stop{false};
  const SheetRead slow = [&](const ShownRowCallback& on_row, const ShapeCallback&) {
    for (int i = 0; i < 30 && !stop; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!stop) on_row(1, {"a"}, RowFormats{});
    return SheetShape{};
  };
  for (const bool stopping : {true, false}) {
    stop = false;
    int served = 0;
    std::vector<int64_t> rows;
    ReadAhead(
        slow,
        [&](int64_t n, const std::vector<std::string>&, const RowFormats&) {
          rows.push_back(n);
          return true;
        },
        {},
        [&] {
          stop = stopping && served + 1 == 3;
          ++served;
          return !stop;
        });
    EXPECT_EQ(rows, stopping ? std::vector<int64_t>{} : std::vector<int64_t>{1});
    EXPECT_TRUE(stopping ? served == 3 : served > 0) << served;  // none after the stop
  }
}

TEST(XlsxReaderTest, PackagesOfOtherProducersAreFound) {
  XlsxParts x;
  x.sheet_data = "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>";
  x.shared_strings = "<si><t>found</t></si>";
  std::map<std::string, Parts> variants;
  for (const auto& c : CaseTable("xlsx_packages.txt")) {
    if (!variants.contains(c[0])) variants[c[0]] = x.Parts();
    variants[c[0]] = WithPart(variants[c[0]], c[1], c[2]);
  }
  Parts& backslashes = variants["backslashes and case"];
  for (auto [name, content] : x.Parts()) {
    for (auto& ch : name) ch = ch == '/' ? '\\' : ch;
    if (name == "xl\\sharedStrings.xml") name = "xl\\SHAREDSTRINGS.xml";
    backslashes.emplace_back(name, content);
  }
  for (const auto& [name, parts] : variants) {
    SCOPED_TRACE(name);
    SheetRows got;
    ASSERT_NO_THROW(got = ReadAllRowsFromMemory(ZipFile(parts)));
    EXPECT_EQ(Trimmed(got), (Rows{{"found"}}));
    EXPECT_EQ(got.shape.sheet_name, "Data");
  }
}

TEST(XlsxReaderTest, TotalLimitCountsEachPartOnce) {
  // A 600 kB sheet is read twice (range, then rows) but inflates only once.
  XlsxParts x;
  x.sheet_data = "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>" + std::string(600000, ' ');
  EXPECT_EQ(Read(x.Zip(), ReadLimits{.max_total_bytes = 1000000}), (Rows{{"1"}}));
}

struct RefusalCase {
  std::string name, bytes;
  Reason reason;
  std::string words;
  ReadLimits limits = {};
};

const std::map<std::string, Reason> kReasons = {{"not a spreadsheet", Reason::kNotSpreadsheet},
                                                {"unsupported", Reason::kUnsupportedFormat},
                                                {"damaged", Reason::kDamaged},
                                                {"no worksheet", Reason::kNoWorksheet},
                                                {"encrypted", Reason::kEncrypted},
                                                {"truncated", Reason::kTruncated},
                                                {"unsafe", Reason::kUnsafe}};

std::vector<RefusalCase> XlsCases() {
  XlsBuilder ok;
  ok.Sheet(kLabel, CellHead(0, 0, 0) + BiffString("x"));
  const std::string stream = ok.Stream();
  XlsBuilder encrypted = ok;  // RC4 whose verifier no password given matches
  encrypted.Global(kFilePass, U16(1) + U16(1) + U16(1) + std::string(48, '\0'));
  XlsBuilder xor_obfuscated = ok;
  xor_obfuscated.Global(kFilePass, U16(0) + U16(0x1234) + U16(0x5678));
  XlsBuilder biff5 = xor_obfuscated;
  biff5.version = 0x0500;
  XlsBuilder bad_index;
  bad_index.Global(kSst, U32(1) + U32(1) + BiffString("a"))
      .Sheet(kLabelSst, CellHead(0, 0, 0) + U32(1));
  XlsBuilder chart_only;
  chart_only.chart_first = chart_only.no_worksheet = true;
  XlsBuilder short_cell, big;
  short_cell.Sheet(kNumber, U16(0) + U16(0));
  for (uint16_t r = 0; r < 20; ++r) big.Sheet(kNumber, CellHead(r, 0, 0) + F64(r));
  return {
      {"encrypted", encrypted.File(), Reason::kEncrypted, "opens only with its password"},
      {"xor_obfuscated", xor_obfuscated.File(), Reason::kEncrypted, "opens only with its password"},
      {"biff5_with_a_password", biff5.File("Book"), Reason::kEncrypted,
       "opens only with its password"},
      {"cut_inside_a_record", OleFile({{"Workbook", stream.substr(0, stream.size() - 7)}}),
       Reason::kTruncated, "truncated"},
      {"cut_after_the_globals",
       OleFile({{"Workbook", stream.substr(0, stream.find("\x09\x08\x10\x00", 4))}}),
       Reason::kTruncated, "truncated"},
      {"string_index_past_the_table", bad_index.File(), Reason::kDamaged, "missing shared string"},
      {"cell_record_too_short", short_cell.File(), Reason::kDamaged, "damaged"},
      {"only_a_chart_sheet", chart_only.File(), Reason::kNoWorksheet, "no worksheet"},
      {"damaged_container",
       std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, 'x'), Reason::kDamaged,
       "compound-file container"},
      {"xls_over_the_cell_limit", big.File(), Reason::kTooLarge, "more than 10 cells",
       ReadLimits{.max_cells = 10}},
  };
}

std::vector<RefusalCase> XlsxCases() {
  XlsxParts ok;
  ok.sheet_data = "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>";
  // 64 MB of blanks compress about a thousandfold.
  const std::string bomb = ZipFile(
      WithPart(ok.Parts(), "xl/worksheets/sheet1.xml",
               "<worksheet><sheetData>" + std::string(64 << 20, ' ') + "</sheetData></worksheet>"));
  XlsxParts many;
  for (int r = 1; r <= 5; ++r) many.sheet_data += "<row><c><v>1</v></c></row>";
  // Two million empty strings (10 MB) for a one-cell sheet: a few kB zipped.
  XlsxParts empty_strings = ok;
  empty_strings.shared_strings.reserve(10 << 20);
  for (int i = 0; i < 2'000'000; ++i) empty_strings.shared_strings += "<si/>";
  XlsxParts long_string = ok;
  long_string.shared_strings = "<si><t>" + std::string(3000, 'a') + "</t></si>";
  // Each part counts once towards the total, but a 600 kB sheet and 600 kB of
  // strings go past a million bytes (TotalLimitCountsEachPartOnce reads the sheet alone).
  XlsxParts both = ok;
  both.sheet_data += std::string(600000, ' ');
  both.shared_strings = "<si><t>" + std::string(600000, 'a') + "</t></si>";

  std::vector<RefusalCase> cases;
  for (const auto& c : CaseTable("xlsx_refusals.txt")) {
    cases.push_back({c[0], ZipFile(WithPart(ok.Parts(), c[1], c[2])), kReasons.at(c[3]), c[4]});
  }
  cases.insert(
      cases.end(),
      {
          {"decompression_bomb", bomb, Reason::kTooLarge, "decompression bomb"},
          {"part_over_the_limit", bomb, Reason::kTooLarge, "inflates to more than 1048576",
           ReadLimits{.max_part_bytes = 1 << 20}},
          {"too_many_cells", many.Zip(), Reason::kTooLarge, "more than 3 cells",
           ReadLimits{.max_cells = 3}},
          {"strings_past_what_the_sheets_use", empty_strings.Zip(), Reason::kTooLarge,
           "more strings than its worksheets could use"},
          {"strings_over_their_memory", long_string.Zip(), Reason::kTooLarge,
           "shared strings need more than 2048 bytes of memory",
           ReadLimits{.max_string_bytes = 2048}},
          {"parts_over_the_total", both.Zip(), Reason::kTooLarge,
           "parts inflate to more than 1000000 bytes", ReadLimits{.max_total_bytes = 1000000}},
          {"truncated_zip", ok.Zip().substr(0, 200), Reason::kDamaged, "zip"},
      });
  return cases;
}

TEST(RefusalTest, UnreadableOrHostileWorkbooksAreRefusedWithTheReason) {
  std::vector<RefusalCase> cases = XlsCases();
  for (const auto& c : CaseTable("file_refusals.txt"))
    cases.push_back({c[0], c[1], kReasons.at(c[2]), c[3]});
  for (const auto& c : CaseTable("container_refusals.txt")) {
    Parts parts;
    for (size_t i = 4; i + 1 < c.size(); i += 2) parts.emplace_back(c[i], c[i + 1]);
    cases.push_back(
        {c[0], c[1] == "zip" ? ZipFile(parts) : OleFile(parts), kReasons.at(c[2]), c[3]});
  }
  for (RefusalCase& c : XlsxCases()) cases.push_back(std::move(c));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int rows = 0;
    try {
      ReadFirstWorksheetFromMemory(
          c.bytes, "test.bin", [&](int64_t, const std::vector<std::string>&) { return ++rows > 0; },
          c.limits);
      ADD_FAILURE() << "read";
    } catch (const WorkbookError& e) {
      EXPECT_EQ(e.reason(), c.reason) << e.description();
      EXPECT_NE(e.description().find(c.words), std::string::npos) << e.description();
      EXPECT_EQ(e.description().rfind("\"test.bin\" cannot be read: ", 0), 0u) << e.description();
      EXPECT_EQ(e.number(), kErrWorkbookUnreadable);
    }
    if (c.reason == Reason::kTooLarge) {
      EXPECT_EQ(rows, 0);
    }
  }
}

// A text of the fixture tables with its long strings put in.
std::string WithLongStrings(const std::string& text) {
  std::string latin, greek;
  for (int i = 0; i < 150; ++i) latin += "Groundwater sample, duplicate of S-001; ";
  for (int i = 0; i < 1800; ++i) greek += "Ω≈µ";
  return ReplaceAll(ReplaceAll(text, "$LONG_LATIN", latin), "$LONG_GREEK", greek);
}

// readers_facility.xls, cell for cell, as Excel would save it.
std::string FacilityXlsx() {
  XlsxParts x;
  x.cell_xfs.clear();
  for (const auto& c : CaseTable("readers_facility_xlsx.txt")) {
    std::string& part = c[0] == "shared_strings" ? x.shared_strings
                        : c[0] == "num_fmts"     ? x.num_fmts
                        : c[0] == "cell_xfs"     ? x.cell_xfs
                                                 : x.sheet_data;
    part += WithLongStrings(c[1]);
  }
  return x.Zip();
}

TEST(FixtureTest, XlsAndXlsxOfTheSameSheetReadAlike) {
  const SheetRows xls = ReadAllRows(SourcePath("tests/data/readers_facility.xls"));
  const SheetRows xlsx = ReadAllRowsFromMemory(FacilityXlsx());
  EXPECT_EQ(xls.rows, xlsx.rows);
  EXPECT_EQ(xls.numbers, xlsx.numbers);
  EXPECT_EQ(xls.shape.columns, 13);
  EXPECT_EQ(xlsx.shape.columns, 13);

  // What both give, spelled out; the empty row is delivered, and strings long
  // enough to continue across records arrive whole.
  Rows want(7);
  for (const auto& c : CaseTable("readers_facility_rows.txt")) {
    for (size_t i = 1; i < c.size(); ++i) want.at(std::stoi(c[0])).push_back(WithLongStrings(c[i]));
  }
  EXPECT_EQ(Trimmed(xls), want);
  EXPECT_EQ(xls.rows[2], std::vector<std::string>(13));
}

// The .xlsx side of the 1904 date system is in xlsx_sheets.txt.
TEST(FixtureTest, XlsDatesOfThe1904System) {
  const SheetRows xls = ReadAllRows(SourcePath("tests/data/readers_facility_1904.xls"));
  EXPECT_EQ(xls.rows, (Rows{{"SAM_DATE"}, {"3/15/2021"}, {"1/1/1904"}}));
}

}  // namespace
}  // namespace sorvane::testing
