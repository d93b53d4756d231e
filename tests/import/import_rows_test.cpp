// The reading stage over rows as a reader delivers them: header names and
// aliases, positional assignment, the rule that skips rows, quote stripping,
// the 160-character limit (a cell too long is named by its first few hundred
// characters and its length, never echoed whole), what a failure leaves
// behind, and a cancel while a sheet is read.
#include <string>

#include "core/errors.h"
#include "import/import_driver.h"
#include "import/import_workbook.h"
#include "import_fixture.h"
#include "support/case_table.h"

namespace sorvane::testing {
namespace {

class ImportRowsTest : public ImportTest {};
using testing::CaseTable;

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

}  // namespace
}  // namespace sorvane::testing
