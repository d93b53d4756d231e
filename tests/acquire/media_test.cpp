// The workbooks arriving: the CD and Floppy menus, the Linux drive probe on
// recorded samples, and the Facility ID rule and the workbook folder's verification.
#include <sys/stat.h>

#include <cstdlib>

#include "acquire/linux_drive_probe.h"
#include "acquire/media_copy.h"
#include "acquire/media_search.h"
#include "acquire/workbook_set.h"
#include "acquire_fixture.h"
#include "core/convert.h"
#include "core/errors.h"
#include "core/text.h"
#include "support/case_table.h"
#include "support/file_size_limit.h"

namespace sorvane::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const char kPrompt[] = "Re-Install media & Press OK (or Cancel to Quit)";

// Disk operations, except that the listed files refuse one operation.
class FailingFileOps : public DiskFileOps {
 public:
  void Remove(const fs::path& file) override {
    if (file.filename() == refuse_delete) {
      throw FileAccessError(FileError(kErrPermissionDenied, "Permission denied"), NameOf(file));
    }
    DiskFileOps::Remove(file);
  }
  void Rename(const fs::path& from, const fs::path& to) override {
    if (from.filename() == refuse_delete) {
      throw FileAccessError(FileError(kErrPermissionDenied, "Permission denied"), NameOf(from));
    }
    DiskFileOps::Rename(from, to);
  }
  void Copy(const fs::path& from, const fs::path& to) override {
    if (from.filename() == refuse_copy) {
      throw FileAccessError(FileError(61, "Disk full"), NameOf(to));
    }
    DiskFileOps::Copy(from, to);
  }
  std::string refuse_delete, refuse_copy;
};

class MediaCopyTest : public AcquireTest {
 protected:
  MediaCopyTest() {
    options.clock = &clock;
    options.files = &files;
  }
  // A drive whose medium is the folder `name` of the data folder.
  fs::path AddDrive(int type, const std::string& name) {
    fs::path root = data.dir() / name;
    fs::create_directories(root);
    probe.drives.push_back(Drive{type, root.string(), "/dev/" + name});
    return root;
  }
  void Reset() {
    ++resets;
    state.view.txtFacilityID.text = "";
    state.SetStatusLine("");
  }
  // The menu item clicked, its drives listed by `from` (the test's own probe by default).
  void ClickCD(DriveProbe* from = nullptr) {
    mnuDataLoadCD_Click(
        state, from ? *from : probe, [this] { Reset(); }, options);
  }
  void ClickFloppy(DriveProbe* from = nullptr) {
    mnuDataLoadFloppy_Click(
        state, from ? *from : probe, [this] { Reset(); }, options);
  }
  std::string Status() const { return state.view.lblStatusAll.caption; }

  FakeDriveProbe probe;
  FakeClock clock;
  FailingFileOps files;
  CopyOptions options;
  int resets = 0;
};

const std::vector<std::string> kFiveWorkbooks = {"1234567_1.xls", "1234567_2.xls", "1234567_3.xls",
                                                 "1234567_4.xls", "1234567_5.xls"};

TEST_F(MediaCopyTest, CopiesTheFiveWorkbooksWritableIntoAnEmptiedFolder) {
  fs::remove_all(gisfile());  // a missing workbook folder is created
  fs::path cd = AddDrive(kDriveCdRom, "cd");
  WriteWorkbookSet(cd / "FACILITY", "1234567");
  for (const auto& name : kFiveWorkbooks)
    fs::permissions(cd / "FACILITY" / name, fs::perms::owner_read | fs::perms::others_read);

  ClickCD();

  EXPECT_EQ(resets, 1);
  EXPECT_THAT(ui.messages, IsEmpty());
  EXPECT_EQ(FileNames(gisfile()), kFiveWorkbooks);
  for (const auto& name : kFiveWorkbooks) {
    EXPECT_NE(fs::status(gisfile() / name).permissions() & fs::perms::owner_write, fs::perms::none)
        << name;
  }
  EXPECT_EQ(Status(), "Files Copied.");
  EXPECT_EQ(state.view.txtFacilityID.text, "1234567");
  EXPECT_EQ(state.SourcePattern, (cd / "FACILITY" / "*.xls").string());
}

TEST_F(MediaCopyTest, CdReadsTheHigherCdDriveAndFloppyTheRemovableOne) {
  fs::path d = AddDrive(kDriveCdRom, "d");
  fs::path e = AddDrive(kDriveCdRom, "e");
  fs::path stick = AddDrive(kDriveRemovable, "f");
  WriteWorkbookSet(d, "1234567", ".xls", "from d");
  WriteWorkbookSet(e, "1234567", ".xls", "from e");
  WriteWorkbookSet(stick, "1234567", ".xls", "from f");

  ClickCD();
  EXPECT_THAT(probe.queried, ElementsAre(e.string()));
  EXPECT_EQ(ReadFile(gisfile() / "1234567_3.xls"), "from e");
  EXPECT_EQ(state.SourcePattern, (e / "*.xls").string());  // the root holds the workbooks
  EXPECT_EQ(state.MediaDriveType, "5");

  ClickFloppy();
  EXPECT_EQ(state.MediaDriveType, "2");
  EXPECT_EQ(ReadFile(gisfile() / "1234567_3.xls"), "from f");
}

TEST_F(MediaCopyTest, NoDriveOfTheTypeOrASixCharacterIdCopiesNothing) {
  fs::path cd = AddDrive(kDriveCdRom, "cd");
  WriteWorkbookSet(cd, "1234567");
  WriteFile(gisfile() / "1234567_1.xls", "kept");

  ClickFloppy();
  EXPECT_EQ(resets, 1);
  EXPECT_THAT(ui.messages, ElementsAre("Could not find Floppy drive"));
  EXPECT_EQ(state.view.txtFacilityID.text, "1234567");
  EXPECT_THAT(probe.queried, IsEmpty());
  EXPECT_EQ(ReadFile(gisfile() / "1234567_1.xls"), "kept");

  // A six-character ID leaves the folder as it is and asks no drive.
  state.view.txtFacilityID.text = "123456";
  ui.messages.clear();
  ClickCD();
  EXPECT_THAT(ui.messages, ElementsAre("Facility ID must be 7 digits."));
  EXPECT_THAT(FileNames(gisfile()), ElementsAre("1234567_1.xls"));
  EXPECT_THAT(probe.queried, IsEmpty());

  state.view.txtFacilityID.text = "1234567";
  probe.drives.clear();
  ui.messages.clear();
  ClickCD();
  EXPECT_THAT(ui.messages, ElementsAre("Could not find CD-ROM drive"));
}

TEST_F(MediaCopyTest, EmptyTrayWaitsSilentlyThenAsksUntilTheMediumIsIn) {
  AddDrive(kDriveCdRom, "sr0");
  const std::string device_root = probe.drives[0].root;
  fs::path mounted = data.dir() / "media" / "DISC";  // where the medium is mounted meanwhile
  WriteWorkbookSet(mounted, "1234567");
  probe.answers[device_root] = {NotReady(), NotReady(), NotReady(),
                                MediumStatus{true, false, mounted.string()}};
  ui.on_yield = [this] {
    // Nothing is shown while the first wait lasts.
    EXPECT_THAT(ui.messages, IsEmpty());
    EXPECT_THAT(ui.questions, IsEmpty());
  };
  ui.ok_cancel_answers = {true, true};

  ClickCD();

  EXPECT_EQ(clock.paused, std::chrono::seconds(10));
  EXPECT_GE(ui.yields, 100);  // the window stays responsive during the wait
  EXPECT_THAT(ui.questions, ElementsAre(kPrompt, kPrompt));
  EXPECT_EQ(state.MediaDrive, mounted.string());
  EXPECT_EQ(FileNames(gisfile()), kFiveWorkbooks);
}

TEST_F(MediaCopyTest, CancelAtThePromptOrAnUnreadableMediumEndsWithoutCopying) {
  fs::path cd = AddDrive(kDriveCdRom, "cd");
  WriteWorkbookSet(cd, "1234567");
  WriteFile(gisfile() / "1234567_5.xls", "mended by hand");
  probe.answers[cd.string()] = {NotReady()};
  ui.ok_cancel_answers = {false};
  ClickCD();
  EXPECT_THAT(ui.questions, ElementsAre(kPrompt));

  probe.answers[cd.string()] = {Unreadable()};
  ClickCD();
  EXPECT_EQ(ui.questions.size(), 1u);  // no wait, no question
  EXPECT_THAT(ui.messages, IsEmpty());
  // The copy never began: the folder's own files stay.
  EXPECT_THAT(FileNames(gisfile()), ElementsAre("1234567_5.xls"));
  EXPECT_EQ(ReadFile(gisfile() / "1234567_5.xls"), "mended by hand");
  EXPECT_EQ(Status(), "");
  EXPECT_EQ(state.view.mouse_pointer, kPointerDefault);
}

// Names as long as the file system takes (255 bytes) are set aside and copied
// through hidden files of their own, even names alike but for their ends.
TEST_F(MediaCopyTest, TheLongestNamesAreSetAsideAndCopiedAndPutBack) {
  const auto name = [](const std::string& n) {
    return std::string(242, 'x') + "1234567_" + n + ".xls";
  };
  fs::path cd = AddDrive(kDriveCdRom, "cd");
  for (const char* n : {"1", "2", "3", "4", "5"}) WriteFile(cd / name(n), n);
  WriteFile(gisfile() / (std::string(250, 'y') + "a.xls"), "old a");
  WriteFile(gisfile() / (std::string(250, 'y') + "b.xls"), "old b");

  files.refuse_copy = name("4");
  ClickCD();
  EXPECT_THAT(ui.messages, ElementsAre("61  Disk full"));
  EXPECT_EQ(ReadFile(gisfile() / (std::string(250, 'y') + "a.xls")), "old a");
  EXPECT_EQ(ReadFile(gisfile() / (std::string(250, 'y') + "b.xls")), "old b");
  EXPECT_THAT(ListFilesWithHidden(gisfile()), ::testing::SizeIs(2));

  files.refuse_copy.clear();
  ui.messages.clear();
  ClickCD();
  EXPECT_THAT(ui.messages, IsEmpty());
  EXPECT_EQ(FileNames(gisfile()),
            (std::vector<std::string>{name("1"), name("2"), name("3"), name("4"), name("5")}));
  EXPECT_EQ(ReadFile(gisfile() / name("5")), "5");
}

// Where the facility's workbooks lie on the medium decides what is copied.
TEST_F(MediaCopyTest, LayoutOfTheMediumDecidesWhatIsCopied) {
  int n = 0;
  for (const auto& layout : CaseTable("medium_layouts.txt")) {
    SCOPED_TRACE(layout[0]);
    probe.drives.clear();
    ui.messages.clear();
    fs::path cd = AddDrive(kDriveCdRom, "cd" + std::to_string(n++));
    fs::remove_all(gisfile());
    WriteFile(gisfile() / "1234567_1.xls", "before");
    for (const std::string& f : Split(layout[0])) {
      if (f.ends_with("/")) {
        fs::create_directories(cd / f);
      } else {
        WriteFile(cd / f, f);
      }
    }
    ClickCD();
    // Nothing to copy leaves the folder as it was.
    EXPECT_EQ(FileNames(gisfile()),
              layout[1].empty() ? std::vector<std::string>{"1234567_1.xls"} : Split(layout[1]));
    EXPECT_EQ(ReadFile(gisfile() / "1234567_1.xls") == "before", layout[1].empty());
    const std::string message = ReplaceAll(layout[2], "$DIR", gisfile().string());
    EXPECT_EQ(ui.messages, Split(message));
    EXPECT_EQ(Status(), layout[1].empty() ? "" : "Files Copied.");
  }
}

TEST_F(MediaCopyTest, FailuresNameTheFileOrShowNumberAndDescription) {
  fs::path cd = AddDrive(kDriveCdRom, "cd");
  WriteWorkbookSet(cd, "1234567");
  WriteFile(gisfile() / "1234567_1.xls", "open elsewhere");
  WriteFile(gisfile() / "1234567_2.xls", "open elsewhere");
  files.refuse_delete = "1234567_2.xls";
  ClickCD();
  EXPECT_THAT(ui.messages,
              ElementsAre("Could not access/delete file.  Please close 1234567_2.xls"));
  // Either failure puts the folder back as it was: the file moved aside before
  // it comes back, and nothing new stays.
  const auto as_before = [&] {
    EXPECT_THAT(FileNames(gisfile()), ElementsAre("1234567_1.xls", "1234567_2.xls"));
    EXPECT_EQ(ReadFile(gisfile() / "1234567_1.xls"), "open elsewhere");
    EXPECT_THAT(ListFilesWithHidden(gisfile()), ::testing::SizeIs(2));
  };
  as_before();

  files.refuse_delete.clear();
  files.refuse_copy = "1234567_3.xls";
  ui.messages.clear();
  ClickCD();
  EXPECT_THAT(ui.messages, ElementsAre("61  Disk full"));
  EXPECT_EQ(Status(), "Copying Files . . .");  // the status line keeps its last text
  as_before();
  EXPECT_EQ(state.view.mouse_pointer, kPointerDefault);

  // Once every file is copied, the old ones go for good.
  files.refuse_copy.clear();
  ClickCD();
  EXPECT_EQ(FileNames(gisfile()), kFiveWorkbooks);
  EXPECT_THAT(ListFilesWithHidden(gisfile()), ::testing::SizeIs(5));
}

// The disk's own refusals: a full disk cuts a copy short and leaves no part of
// the workbook; a file marked immutable cannot be deleted.
TEST_F(MediaCopyTest, FailuresOfTheDiskItselfAreToldAndLeaveNoPartOfAWorkbook) {
  fs::path cd = AddDrive(kDriveCdRom, "cd");
  WriteWorkbookSet(cd, "1234567");
  WriteFile(cd / "1234567_5.xls", std::string(64 * 1024, 'x'));
  DiskFileOps disk([] {});  // each file copied on a second thread, as the window copies
  options.files = &disk;
  {
    FileSizeLimit full_disk(16 * 1024);
    ClickCD();
  }
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_THAT(ui.messages[0], ::testing::EndsWith(": File too large)"))
      << "not an input/output error";
  EXPECT_FALSE(fs::exists(gisfile() / "1234567_5.xls"));

  // A file whose bytes are not as many as its size says (as one saved over
  // while it is copied) is not taken for copied whole.
  if (const fs::path lying = "/sys/devices/system/cpu/online"; fs::exists(lying)) {
    const fs::path second = cd / "1234567_2.xls";
    fs::remove(second);
    fs::create_symlink(lying, second);
    ui.messages.clear();
    ClickCD();
    EXPECT_THAT(ui.messages,
                ElementsAre("75  Path/File access error (" + second.string() +
                            ": it changed while it was copied (it is not the size it was))"));
    EXPECT_THAT(FileNames(gisfile()), IsEmpty());
    fs::remove(second);
    WriteFile(second, "2");
  }

  // A pipe named as a workbook is never opened (which waits for a writer), and
  // the medium's file is named, not the copy.
  const fs::path pipe = cd / "1234567_3.xls";
  fs::remove(pipe);
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  ui.messages.clear();
  ClickCD();
  EXPECT_THAT(ui.messages, ElementsAre("75  Path/File access error (" + pipe.string() +
                                       ": not a plain file (a pipe, a device or a folder))"));
  EXPECT_THAT(FileNames(gisfile()), IsEmpty());

  WriteFile(gisfile() / "1234567_1.xls", "mine");
  const std::string locked = "'" + (gisfile() / "1234567_1.xls").string() + "'";
  if (std::system(("chattr +i " + locked + " 2>/dev/null").c_str()) != 0) {
    GTEST_SKIP() << "this file system has no immutable flag";
  }
  ui.messages.clear();
  ClickCD();
  std::system(("chattr -i " + locked).c_str());
  EXPECT_THAT(ui.messages,
              ElementsAre("Could not access/delete file.  Please close 1234567_1.xls"));
}

// A folder stands for a medium (its copy: the copy command's test), but not every folder.
TEST_F(MediaCopyTest, FolderAsMediumButNeverTheWorkbookFolderOrOneAboveIt) {
  FolderDriveProbe gone(data.dir() / "gone");
  ClickFloppy(&gone);  // a folder that is gone cannot be read, and that is not said
  EXPECT_THAT(ui.messages, IsEmpty());

  WriteWorkbookSet(gisfile(), "1234567");
  for (const fs::path& medium : {gisfile(), gisfile().parent_path()}) {
    ui.messages.clear();
    FolderDriveProbe own(medium);
    ClickCD(&own);
    EXPECT_EQ(FileNames(gisfile()), kFiveWorkbooks);
    EXPECT_EQ(ui.messages,
              std::vector<std::string>{"The files are already in " + gisfile().string() +
                                       ".  Please copy from another folder."});
  }
}

// The search routines on their own.
TEST_F(MediaCopyTest, CountsAndSearchesVisitEveryLevel) {
  fs::path cd = AddDrive(kDriveCdRom, "cd");
  state.MediaDrive = cd.string();
  WriteFile(cd / "a" / "b" / "c" / "1234567_1.xls");
  WriteFile(cd / "a" / "1234567_2.XLS");
  WriteFile(cd / "a" / "1234567xls");  // no dot needed before the suffix
  WriteFile(cd / "a" / "1234567_3.doc");
  WriteFile(cd / "a" / "1234567_4.ods");  // as LibreOffice saves it
  WriteFile(cd / "a" / "7654321_3.xls");
  WriteFile(cd / "a" / "._1234567_2.XLS");               // hidden, as are
  WriteFile(cd / "a" / "~$1234567_2.xls");               // an owner file and the
  WriteFile(cd / ".Trashes" / "501" / "1234567_4.xls");  // stick's trash
  fs::create_directories(cd / "x" / "Data" / "y" / "data");
  EXPECT_EQ(CountFacilityWorkbooks(state, cd), 4);
  EXPECT_EQ(CountDataFolders(state, cd), 2);
  EXPECT_TRUE(FindDataFolder(state, cd));
  EXPECT_EQ(state.SourcePattern, (cd / "x" / "Data").string());
  FindFacilityFolder(state, cd);
  EXPECT_EQ(state.SourcePattern, (cd / "a" / "*.xls").string());
}

// A large folder tree (a share chosen as the folder to copy from) is searched
// with the window kept painted (the window's port), and the files are copied
// with it kept painted before each file and while one is copied.
TEST_F(MediaCopyTest, ALargeTreeIsSearchedWithTheWindowKeptPainted) {
  fs::path share = AddDrive(kDriveCdRom, "share");
  for (int i = 0; i < 300; ++i) fs::create_directories(share / ("project " + std::to_string(i)));
  WriteWorkbookSet(share / "project 150", "1234567");
  int kept = 0;
  DiskFileOps disk([&] { ++kept; });
  options.files = &disk;
  ClickCD();
  EXPECT_TRUE(ui.messages.empty()) << ui.messages[0];
  EXPECT_EQ(FileNames(gisfile()), kFiveWorkbooks);
  EXPECT_GE(ui.keep_alives, 4);
  EXPECT_GE(kept, 5);

  // A tree past the search's bound is said to be one, not listed to its end.
  ui.messages.clear();
  options.most_folders = 299;
  ClickCD();
  EXPECT_EQ(ui.messages, std::vector<std::string>{"The search for the workbooks met too many "
                                                  "folders and stopped.  Copy from the folder "
                                                  "that holds them."});
  EXPECT_EQ(Status(), "");
}

std::string Describe(const Drive& d) {
  return std::to_string(d.type) + " " + d.root + " " + d.device;
}

TEST(MountInfoTest, ParsesFieldsAndDecodesEscapes) {
  // Escaped mount points, a line of garbage, one without its separator, an empty one.
  auto mounts = ParseMountInfo(ReadFile(SourcePath("tests/data/drives/mountinfo_odd_lines")));
  ASSERT_EQ(mounts.size(), 3u);
  const MountEntry& m = mounts[0];
  EXPECT_EQ(
      m.device_number + " " + m.fs_root + " " + m.mount_point + " " + m.fs_type + " " + m.source,
      "98:0 /mnt1 /mnt two ext3 /dev/root");
  EXPECT_EQ(mounts[1].mount_point, "/media/a\\b\tc");
  EXPECT_EQ(mounts[2].mount_point, "/media/STICK");
  // A truncated escape is kept as written.
  EXPECT_EQ(ParseMountInfo("1 1 1:1 / /x\\04 rw - ext4 /dev/x rw\n").at(0).mount_point, "/x\\04");
}

TEST(LinuxDriveProbeTest, ListsOpticalAndRemovableDrivesOfARecordedDesktop) {
  const fs::path root = SourcePath("tests/data/drives/desktop");
  LinuxDriveProbe probe(root);
  std::vector<std::string> drives;
  for (const Drive& d : probe.Drives()) drives.push_back(Describe(d));
  const std::string r = root.lexically_normal().string();
  EXPECT_THAT(drives, ElementsAre("2 /dev/fd0 /dev/fd0",  // floppy without a disk
                                  "2 /dev/sdc /dev/sdc",  // card reader without a card
                                  "5 /dev/sr1 /dev/sr1",  // second drive, tray empty
                                  "5 " + r + "/media/user/FAC 1234567 /dev/sr0",
                                  "2 " + r + "/media/user/STICK /dev/sdb1",
                                  "5 " + r + "/mnt/iso /dev/loop0"));  // a disc image
}

using LiveSampleTest = AcquireTest;

// A copy of a recorded machine with an empty tray; a disc is inserted, then ejected.
TEST_F(LiveSampleTest, EmptyTrayIsNotReadyUntilADiscIsMounted) {
  const fs::path machine = data.dir() / "machine", disc = machine / "media" / "user" / "DISC";
  fs::copy(SourcePath("tests/data/drives/tray_empty"), machine, fs::copy_options::recursive);
  const fs::path mountinfo = machine / "proc" / "self" / "mountinfo";
  const std::string original = ReadFile(mountinfo);
  LinuxDriveProbe probe(machine);
  auto drives = probe.Drives();
  ASSERT_EQ(drives.size(), 1u);
  EXPECT_EQ(Describe(drives[0]), "5 /dev/sr0 /dev/sr0");

  MediumStatus s = probe.QueryMedium("/dev/sr0");
  EXPECT_FALSE(s.ready);
  EXPECT_TRUE(s.device_not_ready);

  fs::create_directories(disc);
  WriteFile(mountinfo,
            original + "410 31 11:0 / /media/user/DISC ro,nosuid - iso9660 /dev/sr0 ro\n");
  s = probe.QueryMedium("/dev/sr0");
  EXPECT_TRUE(s.ready);
  EXPECT_EQ(s.root, disc.string());

  // Ejected after it was found: still the same drive, now waiting for a disc.
  WriteFile(mountinfo, original);
  fs::remove_all(disc);
  s = probe.QueryMedium(disc.string());
  EXPECT_FALSE(s.ready);
  EXPECT_TRUE(s.device_not_ready);
  // A root no drive ever had is not worth waiting for.
  s = probe.QueryMedium((machine / "elsewhere").string());
  EXPECT_FALSE(s.device_not_ready);
}

using WorkbookSetTest = AcquireTest;

TEST_F(WorkbookSetTest, FacilityIdIsSevenCharactersFoundInEveryFileOfTheFolder) {
  for (const auto& c : CaseTable("facility_id_rule.txt")) {
    ui.messages.clear();
    state.view.txtFacilityID.text = c[0];
    state.view.txtFacilityID.enabled = false;
    EXPECT_EQ(CheckFacilityID(state), c[1].empty()) << c[0];
    EXPECT_EQ(ui.messages, Split(c[1])) << c[0];
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

// The facilities a folder holds whole sets of, as a review without an ID finds them.
TEST_F(WorkbookSetTest, FacilitiesOfAFolderAreTheSevenDigitRunsNamingAllFiveTables) {
  for (int n = 1; n <= 5; ++n) {
    const std::string t = std::to_string(n);
    WriteFile(gisfile() / ("1234567_" + t + ".xls"));
    WriteFile(gisfile() / ("7654321" + t + ".XLSX"));
    // Seven-digit runs in every name, but table 3's name ends in no table.
    WriteFile(gisfile() / ("2024011 Site 0000007 wells " + t + (n == 3 ? "b.xls" : ".ods")));
    if (n < 5) WriteFile(gisfile() / ("5555555_" + t + ".xls"));  // four tables only
    WriteFile(gisfile() / ("12345678_" + t + ".xls"));            // eight digits name nothing
  }
  WriteFile(gisfile() / "1111111_1.doc");
  EXPECT_THAT(FacilityIdsOfSets(gisfile()), ElementsAre("1234567", "7654321"));
  fs::remove_all(gisfile());
  EXPECT_THROW(FacilityIdsOfSets(gisfile()), FileError);
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
