// The .xls reader on workbooks built record by record: each test changes one
// thing of a small valid workbook and checks the rows a user of the import
// would see (refusals are refusal_test's). How cell values decode (numbers, dates, formulas,
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
using testing::U16;
using testing::U32;
using testing::XlsBuilder;
using Rows = std::vector<std::vector<std::string>>;
using Reason = WorkbookError::Reason;

constexpr uint16_t kNumber = 0x0203, kLabelSst = 0x00FD, kLabel = 0x0204, kSst = 0x00FC;

std::string Number(uint16_t row, uint16_t col, double v, uint16_t xf = 0) {
  return CellHead(row, col, xf) + F64(v);
}
std::string Label(uint16_t row, uint16_t col, const std::string& text) {
  return CellHead(row, col, 0) + BiffString(text);
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
