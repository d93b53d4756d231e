// The drives of a Linux machine, read from /proc/self/mountinfo and /sys/block
// below a configurable root (tests point it at recorded samples).
//
// Optical drives (block devices sr*, or of SCSI type 5, and any mount of type
// iso9660 or udf) are "CD" drives (type 5); block devices flagged removable
// (memory sticks, card readers, floppies) are "Floppy" drives (type 2). A drive
// with a mounted medium has the mount point as its root, one drive per mounted
// partition; a drive whose device is present without a mounted medium is listed
// once with its device node ("/dev/sr0") as root, and its medium is "not ready".
// A file that cannot be read counts as empty: listing never fails.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "acquire/drive_probe.h"

namespace sorvane {

// One line of /proc/self/mountinfo.
struct MountEntry {
  std::string device_number;  // "major:minor"
  std::string fs_root;        // the part of the file system mounted ("/" for all of it)
  std::string mount_point;
  std::string fs_type;
  std::string source;  // "/dev/sr0"
};
// The mounts of a mountinfo text, octal escapes (\040 for a blank) decoded;
// malformed lines are left out.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// One entry of /sys/block with its partitions.
struct BlockDevice {
  std::string name;           // "sr0", "sdb"
  std::string device_number;  // "major:minor"
  bool removable = false;
  bool optical = false;
  struct Partition {
    std::string name;
    std::string device_number;
  };
  std::vector<Partition> partitions;
};
// The block devices of a /sys/block folder, sorted by name.
std::vector<BlockDevice> ReadBlockDevices(const std::filesystem::path& sys_block);

class LinuxDriveProbe : public DriveProbe {
 public:
  // `root` is "/" on a running machine.
  explicit LinuxDriveProbe(std::filesystem::path root = "/");
  std::vector<Drive> Drives() override;
  MediumStatus QueryMedium(const std::string& root) override;

 private:
  struct Found {
    Drive drive;
    std::string disk;  // the whole device the drive belongs to ("sdb" for sdb1)
    bool mounted = false;
    std::string place;  // where the machine itself sees the drive: the order key
  };
  std::vector<Found> Scan();
  std::string MapMountPoint(const std::string& mount_point) const;

  std::filesystem::path root_;
  // Which device each root listed so far belongs to, so that a medium ejected
  // or inserted after the drive was found is still traced to its drive.
  std::map<std::string, std::string> disk_of_root_;
};

}  // namespace sorvane
