// What the reading says when it cannot take a row as it is: a cell too long for
// any field is named by its first few hundred characters and its length, never
// echoed whole; a cancel while a sheet is read stops the run at once.
#include "import/import_driver.h"
#include "import/import_fixture.h"

namespace sorvane::testing {
namespace {

class ReadingTest : public ImportTest {};

TEST_F(ReadingTest, ValueTooLongForTheSheetIsCutInTheMessage) {
  Cells row = Row(3);
  row[1] = std::string(17'000'000, 'x');
  EXPECT_FALSE(ImportRows(state, 3, FromRows({Header(3), row})));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], "A value (" + std::string(300, 'x') +
                                "\u2026(17000000 characters)) in Table 3 appears to be longer "
                                "than the allowed length.");
  EXPECT_EQ(state.StatusLabel(3).caption,
            "One of the values appears to be longer than the allowed length.");
}

TEST_F(ReadingTest, CancelWhileASheetIsReadStopsTheRun) {
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

}  // namespace
}  // namespace sorvane::testing
