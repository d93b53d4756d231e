// The Facility ID rule and the verification of the workbook folder.
#include "acquire/workbook_set.h"

#include "acquire_fixture.h"
#include "core/convert.h"
#include "core/errors.h"
#include "core/text.h"
#include "support/case_table.h"

namespace sorvane::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using WorkbookSetTest = AcquireTest;

TEST_F(WorkbookSetTest, FacilityIdIsSevenCharactersFoundInEveryFileOfTheFolder) {
  const std::pair<std::string, std::vector<std::string>> ids[] = {
      {"", {"Please Enter a Facility ID"}},
      {"123456", {"Facility ID must be 7 digits."}},
      {"12345678", {"Facility ID must be 7 digits."}},
      {" ", {"Facility ID must be 7 digits."}},
      {"ABCDEFG", {}},
      {"\xC3\x84"
       "BCDEFG",
       {}},  // seven characters, eight bytes
  };
  for (const auto& [id, messages] : ids) {
    ui.messages.clear();
    state.view.txtFacilityID.text = id;
    state.view.txtFacilityID.enabled = false;
    EXPECT_EQ(CheckFacilityID(state), messages.empty()) << id;
    EXPECT_EQ(ui.messages, messages) << id;
    EXPECT_TRUE(state.view.txtFacilityID.enabled);
  }
  WriteFile(gisfile() / "abcdefg_1.xls");  // the ID is matched with its case
  state.view.txtFacilityID.text = "ABCDEFG";
  EXPECT_FALSE(CheckFacilityID(state));

  fs::remove(gisfile() / "abcdefg_1.xls");
  state.view.txtFacilityID.text = "1234567";
  WriteWorkbookSet(gisfile(), "1234567");
  EXPECT_TRUE(CheckFacilityID(state));
  WriteFile(gisfile() / "notes.doc");
  WriteFile(gisfile() / "other.doc");
  ui.messages.clear();
  EXPECT_FALSE(CheckFacilityID(state));
  // One message after the scan, however many files lack the ID.
  EXPECT_THAT(ui.messages, ElementsAre("Facility ID does not match copied files."));
}

TEST_F(WorkbookSetTest, VerificationJudgesTheFolder) {
  const std::string dir = gisfile().string();
  for (const auto& c : CaseTable("workbook_folders.txt")) {
    std::string messages = ReplaceAll(c[2], "$NOT_FOUND",
                                      "Five files for 1234567 were not found in $DIR.  Please "
                                      "check CD (or floppy) and $DIR.");
    messages = ReplaceAll(messages, "$NO_MATCH",
                          "Facility ID does not match copied files. Please check $DIR to confirm "
                          "correct files were copied.");
    fs::remove_all(gisfile());
    for (const std::string& name : Split(c[1])) WriteFile(gisfile() / name);
    ui.messages.clear();
    EXPECT_EQ(VerifyWorkbookSet(state), c[0] == "1") << c[1];
    EXPECT_EQ(ui.messages, Split(ReplaceAll(messages, "$DIR", dir))) << c[1];
  }
  EXPECT_THAT(FileNames(gisfile()), ::testing::Each(::testing::Not(::testing::EndsWith(".txt"))));
  // A missing workbook folder reaches the caller, unsaid.
  fs::remove_all(gisfile());
  ui.messages.clear();
  try {
    VerifyWorkbookSet(state);
    ADD_FAILURE() << "no error";
  } catch (const FileError& e) {
    EXPECT_EQ(e.number(), kErrPathNotFound);
  }
  EXPECT_THAT(ui.messages, IsEmpty());
}

TEST_F(WorkbookSetTest, FiveWorkbooksAreListedInTableOrderWithTheirWholePaths) {
  // Start-up appends the fields with nominal sizes shorter than today's paths.
  state.FileList->AppendField("FilePath", kTypeChar, 60);
  state.FileList->AppendField("FileName", kTypeChar, 50);
  state.FileList->AppendField("FileExt", kTypeChar, 3);
  const std::string prefix(70, 'w');
  for (int n : {3, 5, 1, 4, 2})  // written out of order: the list is sorted by name
    WriteFile(gisfile() / (prefix + "1234567_" + std::to_string(n) + ".xls"));
  EXPECT_TRUE(VerifyWorkbookSet(state));
  EXPECT_THAT(ui.messages, IsEmpty());
  RecordSet& list = *state.FileList;
  ASSERT_EQ(list.RecordCount(), 5);
  for (int n = 1; n <= 5; ++n) {
    const std::string name = prefix + "1234567_" + std::to_string(n) + ".xls";
    EXPECT_EQ(list.At(n - 1, list.FieldIndex("FileName")).ToDisplay(), name);
    EXPECT_EQ(list.At(n - 1, list.FieldIndex("FilePath")).ToDisplay(), (gisfile() / name).string());
    EXPECT_TRUE(list.At(n - 1, list.FieldIndex("FileExt")).IsMissing());
  }
  // A second verification replaces the list.
  fs::remove(gisfile() / (prefix + "1234567_5.xls"));
  EXPECT_FALSE(VerifyWorkbookSet(state));
  EXPECT_EQ(list.RecordCount(), 4);
}

}  // namespace
}  // namespace sorvane::testing
