// The .xls reader on workbooks built record by record: each test changes one
// thing of a small valid workbook and checks the rows (or the refusal) a user
// of the import would see. How cell values decode (numbers, dates, formulas,
// strings across records, the used range) is compared with an independent
// reader on the corpus (corpus_test) and on the fixture workbooks.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "import/readers/workbook_reader.h"
#include "sheet_rows.h"
#include "test_files.h"

namespace sorvane {
namespace {

using testing::BiffString;
using testing::CellHead;
using testing::F64;
using testing::ReadAllRowsFromMemory;
using testing::Refusal;
using testing::U16;
using testing::U32;
using testing::XlsBuilder;
using Rows = std::vector<std::vector<std::string>>;
using Reason = WorkbookError::Reason;

constexpr uint16_t kNumber = 0x0203, kLabelSst = 0x00FD, kLabel = 0x0204, kSst = 0x00FC,
                   kFilePass = 0x002F;

std::string Number(uint16_t row, uint16_t col, double v, uint16_t xf = 0) {
  return CellHead(row, col, xf) + F64(v);
}
std::string Label(uint16_t row, uint16_t col, const std::string& text) {
  return CellHead(row, col, 0) + BiffString(text);
}
std::string Sst(const std::vector<std::string>& strings) {
  std::string body =
      U32(static_cast<uint32_t>(strings.size())) + U32(static_cast<uint32_t>(strings.size()));
  for (const auto& s : strings) body += BiffString(s);
  return body;
}

Rows Read(const XlsBuilder& b) { return testing::Trimmed(ReadAllRowsFromMemory(b.File())); }

TEST(XlsReaderTest, WrongStringCountsDoNotMatter) {
  // Writers get the counts wrong; the strings present are what counts.
  std::string sst = U32(1000000) + U32(999999) + BiffString("one") + BiffString("two");
  XlsBuilder b;
  b.Global(kSst, sst).Sheet(kLabelSst, CellHead(0, 0, 0) + U32(1));
  EXPECT_EQ(Read(b), (Rows{{"two"}}));
}

TEST(XlsReaderTest, CellsOutOfRowOrderAreDeliveredInOrder) {
  XlsBuilder b;
  b.Sheet(kLabel, Label(4, 0, "last"))
      .Sheet(kLabel, Label(1, 1, "first"))
      .Sheet(kLabel, Label(4, 0, "last, rewritten"));
  const auto got = ReadAllRowsFromMemory(b.File());
  EXPECT_EQ(got.numbers, (std::vector<int64_t>{2, 3, 4, 5}));
  EXPECT_EQ(testing::Trimmed(got), (Rows{{"", "first"}, {}, {}, {"last, rewritten"}}));
}

TEST(XlsReaderTest, FirstWorksheetFollowsAChartSheet) {
  XlsBuilder b;
  b.ChartSheetFirst().Sheet(kLabel, Label(0, 0, "data"));
  const auto got = ReadAllRowsFromMemory(b.File());
  EXPECT_EQ(got.shape.sheet_name, "Data");
  EXPECT_EQ(testing::Trimmed(got), (Rows{{"data"}}));
}

TEST(XlsReaderTest, StreamNamesCompareWithoutCase) {
  XlsBuilder b;
  b.Sheet(kLabel, Label(0, 0, "x"));
  for (const char* name : {"Workbook", "WORKBOOK", "workbook", "Book"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(testing::Trimmed(ReadAllRowsFromMemory(b.File(name))), (Rows{{"x"}}));
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

struct RefusalCase {
  const char* name;
  std::string bytes;
  Reason reason;
  const char* words;
};

std::vector<RefusalCase> RefusalCases() {
  XlsBuilder ok;
  ok.Sheet(kLabel, Label(0, 0, "x"));
  const std::string stream = ok.Stream();
  XlsBuilder encrypted = ok;
  // RC4 whose verifier no password given matches.
  encrypted.Global(kFilePass, U16(1) + U16(1) + U16(1) + std::string(48, '\0'));
  XlsBuilder xor_obfuscated = ok;
  xor_obfuscated.Global(kFilePass, U16(0) + U16(0x1234) + U16(0x5678));
  XlsBuilder biff5 = ok;
  biff5.Version(0x0500);
  XlsBuilder bad_index;
  bad_index.Global(kSst, Sst({"a"})).Sheet(kLabelSst, CellHead(0, 0, 0) + U32(1));
  XlsBuilder chart_only;
  chart_only.ChartSheetFirst().NoWorksheet();
  XlsBuilder short_cell;
  short_cell.Sheet(kNumber, U16(0) + U16(0));
  return {
      {"encrypted", encrypted.File(), Reason::kEncrypted, "opens only with its password"},
      {"xor_obfuscated", xor_obfuscated.File(), Reason::kUnsupportedFormat, "XOR obfuscation"},
      {"biff5", biff5.File("Book"), Reason::kUnsupportedFormat, "BIFF5 (Excel 5/95)"},
      {"bare_biff4", testing::U16(0x0409) + U16(6) + U16(0) + U16(0x10) + U16(0),
       Reason::kUnsupportedFormat, "BIFF4"},
      {"text_file", "FACILITY,POINT_ID\r\n1234567,MW-1\r\n", Reason::kNotSpreadsheet,
       "not a spreadsheet"},
      {"empty_file", "", Reason::kNotSpreadsheet, "empty"},
      {"web_page_named_xls", "\xEF\xBB\xBF\r\n<html><table><tr><td>1</td></tr></table></html>",
       Reason::kNotSpreadsheet, "web page or XML file"},
      {"no_workbook_stream", testing::OleFile({{"WordDocument", "hello"}}), Reason::kNotSpreadsheet,
       "not a spreadsheet"},
      {"encrypted_xlsx_package",
       testing::OleFile(
           {{"EncryptionInfo", std::string(64, 'i')}, {"EncryptedPackage", std::string(64, 'p')}}),
       Reason::kUnsupportedFormat, "not supported"},
      {"cut_inside_a_record", testing::OleFile({{"Workbook", stream.substr(0, stream.size() - 7)}}),
       Reason::kTruncated, "truncated"},
      {"cut_after_the_globals",
       testing::OleFile({{"Workbook", stream.substr(0, stream.find("\x09\x08\x10\x00", 4))}}),
       Reason::kTruncated, "truncated"},
      {"string_index_past_the_table", bad_index.File(), Reason::kDamaged, "missing shared string"},
      {"cell_record_too_short", short_cell.File(), Reason::kDamaged, "damaged"},
      {"only_a_chart_sheet", chart_only.File(), Reason::kNoWorksheet, "no worksheet"},
      {"damaged_container",
       std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, 'x'), Reason::kDamaged,
       "compound-file container"},
  };
}

TEST(XlsReaderTest, UnreadableWorkbooksAreRefusedWithTheReason) {
  for (const auto& c : RefusalCases()) {
    SCOPED_TRACE(c.name);
    const WorkbookError e = Refusal(c.bytes);
    EXPECT_EQ(e.reason(), c.reason) << e.description();
    EXPECT_NE(e.description().find(c.words), std::string::npos) << e.description();
    EXPECT_EQ(e.description().rfind("\"test.bin\" cannot be read: ", 0), 0u) << e.description();
    EXPECT_EQ(e.number(), kErrWorkbookUnreadable);
  }
}

TEST(XlsReaderTest, CellLimitStopsHugeSheetsBeforeAnyRow) {
  XlsBuilder b;
  for (uint16_t r = 0; r < 20; ++r) b.Sheet(kNumber, Number(r, 0, r));
  ReadLimits limits;
  limits.max_cells = 10;
  int rows = 0;
  try {
    ReadFirstWorksheetFromMemory(
        b.File(), "big.xls",
        [&](int64_t, const std::vector<std::string>&) {
          ++rows;
          return true;
        },
        limits);
    ADD_FAILURE() << "read";
  } catch (const WorkbookError& e) {
    EXPECT_EQ(e.reason(), Reason::kTooLarge);
    EXPECT_NE(e.description().find("more than 10 cells"), std::string::npos);
  }
  EXPECT_EQ(rows, 0);
}

TEST(XlsReaderTest, MissingFileIsAFileError) {
  try {
    ReadFirstWorksheet("/nonexistent/T1.xls",
                       [](int64_t, const std::vector<std::string>&) { return true; });
    ADD_FAILURE() << "read";
  } catch (const FileError& e) {
    EXPECT_EQ(e.number(), kErrFileNotFound);
    EXPECT_NE(e.description().find("T1.xls"), std::string::npos);
  }
}

TEST(XlsReaderTest, NamedPipeIsRefusedWithoutWaitingForAWriter) {
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
  try {
    ReadFirstWorksheet(pipe, [](int64_t, const std::vector<std::string>&) { return true; });
    ADD_FAILURE() << "read";
  } catch (const FileError& e) {
    EXPECT_EQ(e.number(), kErrPathFileAccess);
    EXPECT_NE(e.description().find("is not a file (a pipe or a device)"), std::string::npos);
  } catch (const Error& e) {
    ADD_FAILURE() << e.description();
  }
  done = true;
  writer.join();
  std::filesystem::remove(pipe);
}

}  // namespace
}  // namespace sorvane
