// Tables exported as text or as a web page under a workbook's name read as
// the one sheet a spreadsheet program makes of them.
#include <gtest/gtest.h>

#include "core/text.h"
#include "import/readers/workbook_reader.h"
#include "support/case_table.h"

namespace sorvane::testing {
namespace {

TEST(ExportedTableTest, TextAndWebPagesReadAsTheRowsTheyShow) {
  for (const auto& c : CaseTable("exported_tables.txt")) {
    SCOPED_TRACE(c[0]);
    std::vector<std::string> rows;
    const SheetShape shape = ReadWorkbookFromMemory(
        c[2], "1234567_5.xls",
        [&](int64_t, const std::vector<std::string>& cells, const RowFormats& f) {
          std::string row;
          for (size_t i = 0; i < f.Filled(cells); ++i) {
            const bool number = f.KindOf(i) == RowFormats::Kind::kNumber;
            row += (i > 0 ? "|" : "") + cells[i] + (number ? "#" : "");
          }
          while (!row.empty() && row.back() == '|') row.pop_back();
          rows.push_back(row);
          return true;
        });
    EXPECT_EQ(rows, std::vector<std::string>(c.begin() + 3, c.end()));
    EXPECT_EQ(shape.sheet_name, "1234567_5");
    EXPECT_EQ(shape.format, c[1]);
  }
  // It has no second sheet, and one larger than a workbook's part is refused.
  ReadOptions later;
  later.sheet = 1;
  const auto ignore = [](int64_t, const std::vector<std::string>&, const RowFormats&) {
    return true;
  };
  EXPECT_THROW(ReadWorkbookFromMemory("A\n1\n", "t.xls", ignore, later), WorkbookError);
  try {
    ReadFirstWorksheetFromMemory(
        "A,B\n1,2\n", "t.xls", [](int64_t, const std::vector<std::string>&) { return true; },
        ReadLimits{.max_part_bytes = 4});
    ADD_FAILURE() << "read";
  } catch (const WorkbookError& e) {
    EXPECT_EQ(e.reason(), WorkbookError::Reason::kTooLarge);
    EXPECT_EQ(e.description(), "\"t.xls\" cannot be read: the file is larger than 4 bytes.");
  }
}

// A window is served while the rows are counted, every 256 of them; a cancel
// there ends the read before it has told anything.
TEST(ExportedTableTest, ACancelWhileTheRowsAreCountedEndsTheRead) {
  std::string text = "A,B\n";
  for (int i = 0; i < 1000; ++i) text += std::to_string(i) + ",x\n";
  const std::string page =
      "<table><tr><td>" + ReplaceAll(ReplaceAll(text, ",", "<td>"), "\n", "<tr><td>") + "</table>";
  for (const std::string& file : {text, page}) {
    int asked = 0, told = 0;
    ReadOptions options;
    options.keep_going = [&] { return ++asked < 2; };
    const SheetShape shape = ReadWorkbookFromMemory(
        file, "t.xls",
        [&](int64_t, const std::vector<std::string>&, const RowFormats&) { return ++told > 0; },
        options, [&](const SheetShape&) { ++told; });
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(told, 0);
    EXPECT_EQ(shape.rows(), 0);
  }
}

}  // namespace
}  // namespace sorvane::testing
