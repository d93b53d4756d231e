// The Facility ID rule and the verification of the workbook folder.
#include "acquire/workbook_set.h"

#include "acquire_fixture.h"
#include "core/convert.h"
#include "core/errors.h"

namespace sorvane::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using WorkbookSetTest = AcquireTest;

struct IdCase {
  const char* name;
  std::string id;
  bool accepted;
  std::vector<std::string> messages;
};

class FacilityIdRuleTest : public AcquireTest, public ::testing::WithParamInterface<IdCase> {};

TEST_P(FacilityIdRuleTest, LengthRule) {
  state.view.txtFacilityID.text = GetParam().id;
  state.view.txtFacilityID.enabled = false;
  EXPECT_EQ(CheckFacilityID(state), GetParam().accepted);
  EXPECT_EQ(ui.messages, GetParam().messages);
  EXPECT_TRUE(state.view.txtFacilityID.enabled);
}

INSTANTIATE_TEST_SUITE_P(
    Ids, FacilityIdRuleTest,
    ::testing::Values(IdCase{"Empty", "", false, {"Please Enter a Facility ID"}},
                      IdCase{"SixCharacters", "123456", false, {"Facility ID must be 7 digits."}},
                      IdCase{
                          "EightCharacters", "12345678", false, {"Facility ID must be 7 digits."}},
                      IdCase{"SevenLetters", "ABCDEFG", true, {}},
                      // Seven characters, eight bytes: the rule counts characters.
                      IdCase{"SevenWithAccent",
                             "\xC3\x84"
                             "BCDEFG",
                             true,
                             {}},
                      IdCase{"OneBlank", " ", false, {"Facility ID must be 7 digits."}}),
    [](const auto& info) { return info.param.name; });

TEST_F(WorkbookSetTest, FacilityIdMustAppearInEveryFileOfTheFolder) {
  WriteWorkbookSet(gisfile(), "1234567");
  EXPECT_TRUE(CheckFacilityID(state));

  WriteFile(gisfile() / "notes.doc");
  WriteFile(gisfile() / "other.doc");
  EXPECT_FALSE(CheckFacilityID(state));
  // One message after the scan, however many files lack the ID.
  EXPECT_THAT(ui.messages, ElementsAre("Facility ID does not match copied files."));
}

TEST_F(WorkbookSetTest, FacilityIdTestIsCaseSensitive) {
  state.view.txtFacilityID.text = "ABCDEFG";
  WriteFile(gisfile() / "abcdefg_1.xls");
  EXPECT_FALSE(CheckFacilityID(state));
}

TEST_F(WorkbookSetTest, FiveWorkbooksAreListedInTableOrder) {
  // Written out of order: the list is sorted by name.
  for (int n : {3, 5, 1, 4, 2}) WriteFile(gisfile() / ("1234567_" + std::to_string(n) + ".xls"));
  EXPECT_TRUE(CheckFacilityID(state));
  EXPECT_TRUE(VerifyWorkbookSet(state));
  EXPECT_THAT(ui.messages, IsEmpty());

  RecordSet& list = *state.FileList;
  ASSERT_EQ(list.RecordCount(), 5);
  for (int n = 1; n <= 5; ++n) {
    const std::string name = "1234567_" + std::to_string(n) + ".xls";
    EXPECT_EQ(list.At(n - 1, list.FieldIndex("FileName")).ToDisplay(), name);
    EXPECT_EQ(list.At(n - 1, list.FieldIndex("FilePath")).ToDisplay(), (gisfile() / name).string());
    EXPECT_TRUE(list.At(n - 1, list.FieldIndex("FileExt")).IsMissing());
  }
}

TEST_F(WorkbookSetTest, ListKeepsPathsLongerThanTheDesignedFieldSize) {
  // Start-up appends the fields with the sizes of the original design.
  state.FileList->AppendField("FilePath", kTypeChar, 60);
  state.FileList->AppendField("FileName", kTypeChar, 50);
  state.FileList->AppendField("FileExt", kTypeChar, 3);
  const std::string id = "1234567";
  const std::string long_prefix(70, 'w');
  for (int n = 1; n <= 5; ++n)
    WriteFile(gisfile() / (long_prefix + id + std::to_string(n) + ".xls"));

  EXPECT_TRUE(VerifyWorkbookSet(state));
  ASSERT_EQ(state.FileList->RecordCount(), 5);
  EXPECT_EQ(state.FileList->At(4, 0).ToDisplay(),
            (gisfile() / (long_prefix + id + "5.xls")).string());
}

TEST_F(WorkbookSetTest, SecondVerificationReplacesTheList) {
  WriteWorkbookSet(gisfile(), "1234567");
  EXPECT_TRUE(VerifyWorkbookSet(state));
  fs::remove(gisfile() / "1234567_5.xls");
  WriteFile(gisfile() / "1234567_5.XLS");
  EXPECT_TRUE(VerifyWorkbookSet(state));
  ASSERT_EQ(state.FileList->RecordCount(), 5);
  EXPECT_EQ(state.FileList->At(4, state.FileList->FieldIndex("FileName")).ToDisplay(),
            "1234567_5.XLS");
}

TEST_F(WorkbookSetTest, OneWorkbookMissing) {
  for (int n : {1, 2, 4, 5}) WriteFile(gisfile() / ("1234567_" + std::to_string(n) + ".xls"));
  EXPECT_FALSE(VerifyWorkbookSet(state));
  const std::string dir = gisfile().string();
  EXPECT_THAT(ui.messages, ElementsAre("Five files for 1234567 were not found in " + dir +
                                       ".  Please check CD (or floppy) and " + dir + "."));
  EXPECT_EQ(state.FileList->RecordCount(), 4);
}

TEST_F(WorkbookSetTest, SuffixIgnoresCaseAndAcceptsXlsx) {
  WriteFile(gisfile() / "1234567_1.XLS");
  WriteFile(gisfile() / "1234567_2.Xls");
  WriteFile(gisfile() / "1234567_3.xlsx");
  WriteFile(gisfile() / "1234567_4.XLSX");
  WriteFile(gisfile() / "1234567_5.xls");
  EXPECT_TRUE(VerifyWorkbookSet(state));
  EXPECT_THAT(ui.messages, IsEmpty());
}

TEST_F(WorkbookSetTest, ExtraDocumentAfterTheWorkbooksFailsTheIdRule) {
  WriteWorkbookSet(gisfile(), "1234567");
  WriteFile(gisfile() / "notes.doc");
  EXPECT_FALSE(CheckFacilityID(state));
  ui.messages.clear();
  EXPECT_FALSE(VerifyWorkbookSet(state));
  const std::string dir = gisfile().string();
  EXPECT_THAT(ui.messages, ElementsAre("Facility ID does not match copied files. Please check " +
                                       dir + " to confirm correct files were copied."));
}

TEST_F(WorkbookSetTest, ExtraDocumentSortedFirstFailsBothRules) {
  WriteWorkbookSet(gisfile(), "1234567");
  WriteFile(gisfile() / "000 notes.doc");
  EXPECT_FALSE(VerifyWorkbookSet(state));
  // Every one of the first five is now one place off.
  ASSERT_EQ(ui.messages.size(), 6u);
  for (int i = 1; i <= 5; ++i)
    EXPECT_EQ(ui.messages[i - 1], "File #" + std::to_string(i) + " is missing.");
  EXPECT_TRUE(ui.messages[5].starts_with("Facility ID does not match copied files."));
}

TEST_F(WorkbookSetTest, TextFilesOfEarlierImportsAreDeletedAndNeverCount) {
  for (int n = 1; n <= 4; ++n) WriteFile(gisfile() / ("1234567_" + std::to_string(n) + ".xls"));
  WriteFile(gisfile() / "1234567_1.txt");
  WriteFile(gisfile() / "1234567_5.TXT");
  EXPECT_FALSE(VerifyWorkbookSet(state));
  EXPECT_EQ(state.FileList->RecordCount(), 4);
  EXPECT_THAT(FileNames(gisfile()),
              ElementsAre("1234567_1.xls", "1234567_2.xls", "1234567_3.xls", "1234567_4.xls"));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_TRUE(ui.messages[0].starts_with("Five files for 1234567 were not found in "));
}

TEST_F(WorkbookSetTest, FilesTwoAndFourMisnamedGiveTwoMessages) {
  for (const char* name :
       {"1234567_1.xls", "1234567_2_old.xls", "1234567_3.xls", "1234567_4.doc", "1234567_5.xls"})
    WriteFile(gisfile() / name);
  EXPECT_FALSE(VerifyWorkbookSet(state));
  EXPECT_THAT(ui.messages, ElementsAre("File #2 is missing.", "File #4 is missing."));
}

TEST_F(WorkbookSetTest, FilesBeyondTheFifthMustHoldTheId) {
  WriteWorkbookSet(gisfile(), "1234567");
  WriteFile(gisfile() / "1234567_6.xls");
  EXPECT_TRUE(VerifyWorkbookSet(state));
  WriteFile(gisfile() / "zz.xls");
  EXPECT_FALSE(VerifyWorkbookSet(state));
  EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(WorkbookSetTest, MissingWorkbookFolderReachesTheCaller) {
  fs::remove_all(gisfile());
  try {
    VerifyWorkbookSet(state);
    FAIL() << "no error";
  } catch (const FileError& e) {
    EXPECT_EQ(e.number(), kErrPathNotFound);
  }
  EXPECT_THAT(ui.messages, IsEmpty());
}

}  // namespace
}  // namespace sorvane::testing
