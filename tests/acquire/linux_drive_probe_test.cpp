// The Linux drive probe on recorded /proc/self/mountinfo and /sys/block samples.
#include "acquire/linux_drive_probe.h"

#include "acquire_fixture.h"

namespace sorvane::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::string Describe(const Drive& d) {
  return std::to_string(d.type) + " " + d.root + " " + d.device;
}

TEST(MountInfoTest, ParsesFieldsAndDecodesEscapes) {
  auto mounts = ParseMountInfo(
      "36 35 98:0 /mnt1 /mnt\\040two rw,noatime master:1 shared:2 - ext3 /dev/root rw\n"
      "37 35 11:0 / /media/a\\134b\\011c ro - iso9660 /dev/sr0 ro\n"
      "garbage\n"
      "38 35 11:0 / /no/separator ro iso9660 /dev/sr0 ro\n"
      "\n"
      "39 35 8:17 / /media/STICK rw - vfat /dev/sdb1 rw");
  ASSERT_EQ(mounts.size(), 3u);
  EXPECT_EQ(mounts[0].device_number, "98:0");
  EXPECT_EQ(mounts[0].fs_root, "/mnt1");
  EXPECT_EQ(mounts[0].mount_point, "/mnt two");
  EXPECT_EQ(mounts[0].fs_type, "ext3");
  EXPECT_EQ(mounts[0].source, "/dev/root");
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

// A copy of a recorded machine in which media can be inserted and ejected.
class LiveSampleTest : public AcquireTest {
 protected:
  void SetUp() override {
    machine = data.dir() / "machine";
    fs::copy(SourcePath("tests/data/drives/tray_empty"), machine, fs::copy_options::recursive);
    mountinfo = machine / "proc" / "self" / "mountinfo";
    original = ReadFile(mountinfo);
    disc = machine / "media" / "user" / "DISC";
  }
  void InsertDisc() {
    fs::create_directories(disc);
    WriteFile(mountinfo,
              original + "410 31 11:0 / /media/user/DISC ro,nosuid - iso9660 /dev/sr0 ro\n");
  }
  void EjectDisc() {
    WriteFile(mountinfo, original);
    fs::remove_all(disc);
  }
  fs::path machine, mountinfo, disc;
  std::string original;
};

TEST_F(LiveSampleTest, EmptyTrayIsNotReadyUntilADiscIsMounted) {
  LinuxDriveProbe probe(machine);
  auto drives = probe.Drives();
  ASSERT_EQ(drives.size(), 1u);
  EXPECT_EQ(Describe(drives[0]), "5 /dev/sr0 /dev/sr0");

  MediumStatus s = probe.QueryMedium("/dev/sr0");
  EXPECT_FALSE(s.ready);
  EXPECT_TRUE(s.device_not_ready);

  InsertDisc();
  s = probe.QueryMedium("/dev/sr0");
  EXPECT_TRUE(s.ready);
  EXPECT_EQ(s.root, disc.string());

  // Ejected after it was found: still the same drive, now waiting for a disc.
  EjectDisc();
  s = probe.QueryMedium(disc.string());
  EXPECT_FALSE(s.ready);
  EXPECT_TRUE(s.device_not_ready);
  // A root no drive ever had is not worth waiting for.
  s = probe.QueryMedium((machine / "elsewhere").string());
  EXPECT_FALSE(s.device_not_ready);
}

}  // namespace
}  // namespace sorvane::testing
