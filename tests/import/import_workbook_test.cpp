// Reading real workbooks from the workbook folder, through the file list the
// workbook-set verification leaves, as the spreadsheet program shows them: text
// fields take the displayed text of formatted numbers (a Facility ID typed as a
// number and shown with leading zeros), number fields keep the stored value,
// and an encrypted workbook asks for its password naming the workbook.
#include "import/import_workbook.h"

#include <string>

#include "acquire/workbook_set.h"
#include "import/import_driver.h"
#include "import_fixture.h"

namespace sorvane::testing {
namespace {

class ImportWorkbookTest : public ImportTest {
 protected:
  void Verify() { ASSERT_TRUE(VerifyWorkbookSet(state)); }
};

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
    const Cells names = Header(n);
    const Cells texts = Row(n);
    XlsxRows rows;
    rows.emplace_back(names.begin(), names.end());
    std::vector<XlsxCell> row;
    for (size_t i = 0; i < names.size(); ++i) {
      if (names[i] == "FAC_ID") {
        row.emplace_back(123456.0, "0000000");
      } else if (names[i] == "WL") {
        row.emplace_back(12.75, "0");  // shown "13", stored 12.75
      } else {
        row.emplace_back(texts[i]);
      }
    }
    rows.push_back(row);
    WriteXlsx(state.paths.WorkbookDir() / (id + "_" + std::to_string(n) + ".xlsx"), rows);
  }
  mnuRunData_Click(state, 0, [](bool) {});
  for (int n = 1; n <= 5; ++n) EXPECT_EQ(state.Tables[n].TableStatus, 6) << "table " << n;
  EXPECT_TRUE(ui.messages.empty()) << ui.messages[0];
  EXPECT_EQ(state.WorkConn.QueryValue("SELECT SITE FROM MT_TEMP3").ToDisplay(), id);
  EXPECT_EQ(state.WorkConn.QueryValue("SELECT WL FROM MT_TEMP3").ToDisplay(), "12.75");
}

TEST_F(ImportWorkbookTest, EncryptedWorkbookAsksForItsPasswordNamingTheWorkbook) {
  const auto source = std::filesystem::path(SORVANE_CORPUS_DIR) / "xls/poi_password.xls";
  if (!std::filesystem::exists(source)) GTEST_SKIP() << "the shared corpus is absent";
  const std::string refused_wrong =
      "\"1234567_3.xls\" cannot be read: the workbook is encrypted and the password given is "
      "wrong.";
  const std::string refused_none =
      "\"1234567_3.xls\" cannot be read: the workbook is encrypted or password-protected and "
      "opens only with its password.";
  struct Case {
    const char* name;
    std::optional<std::string> batch_password;  // set: never asked
    std::optional<std::string> answer;
    bool imported;
    std::vector<std::string> messages;
    size_t prompts;
  };
  const Case cases[] = {
      {"right_answer", std::nullopt, "password", true, {}, 1},
      {"wrong_answer", std::nullopt, "guess", false, {refused_wrong}, 1},
      {"cancelled", std::nullopt, std::nullopt, false, {refused_none}, 1},
      {"batch_with_password", "password", std::nullopt, true, {}, 0},
      {"batch_without_password", "", std::nullopt, false, {refused_none}, 0},
  };
  WriteCleanSet();
  std::filesystem::remove(state.paths.WorkbookDir() / "1234567_3.xlsx");
  std::filesystem::copy_file(source, state.paths.WorkbookDir() / "1234567_3.xls");
  ASSERT_TRUE(VerifyWorkbookSet(state));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ui.messages.clear();
    ui.input_prompts.clear();
    ui.input_answers = {c.answer};
    state.WorkbookPassword = c.batch_password;
    EXPECT_EQ(ImportWorkbook(state, 3), c.imported);
    EXPECT_EQ(ui.messages, c.messages);
    ASSERT_EQ(ui.input_prompts.size(), c.prompts);
    if (c.prompts > 0) {
      EXPECT_EQ(ui.input_prompts[0],
                "The workbook \"1234567_3.xls\" of Table 3 is protected by a password. Enter its "
                "password:");
    }
    EXPECT_EQ(Label(3).caption, c.imported ? "Table 3 imported." : "Table 3 not imported.");
  }
}

}  // namespace
}  // namespace sorvane::testing
