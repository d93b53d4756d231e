// What the copy from removable media needs to know about the machine's drives:
// which drives there are, of which type, where a drive's medium can be read, and
// whether a medium is ready (and if not, whether only because the device is not
// ready, as an empty tray or a medium still spinning up is).
//
// Drive types are the numbers the copy asks for: 2 removable ("Floppy": floppy
// disks, memory sticks, card readers) and 5 optical ("CD").
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace sorvane {

inline constexpr int kDriveUnknown = 0;
inline constexpr int kDriveNoRootDir = 1;
inline constexpr int kDriveRemovable = 2;
inline constexpr int kDriveFixed = 3;
inline constexpr int kDriveRemote = 4;
inline constexpr int kDriveCdRom = 5;
inline constexpr int kDriveRamDisk = 6;

struct Drive {
  int type = kDriveUnknown;
  // Where the medium is read: its mount point, or the device node while no
  // medium is mounted.
  std::string root;
  std::string device;  // the device node ("/dev/sr0"); may be empty
};

struct MediumStatus {
  bool ready = false;
  // When not ready: true if the device is there but has no medium to read
  // (worth waiting for); false for any other reason (the drive is gone, the
  // medium cannot be read).
  bool device_not_ready = false;
  // When ready: the root from which the medium is read now (a medium inserted
  // after the drive was found is mounted somewhere of its own).
  std::string root;
};

class DriveProbe {
 public:
  virtual ~DriveProbe() = default;
  // The drives, ordered by root path; the last one of a type is "the
  // highest-lettered" drive of that type.
  virtual std::vector<Drive> Drives() = 0;
  // The state of the medium of the drive found at `root` by Drives().
  virtual MediumStatus QueryMedium(const std::string& root) = 0;
};

// One folder presented as a drive with a ready medium (the command line's
// "copy --from DIR"). It is listed both as a removable and as an optical drive,
// so the "CD" and the "Floppy" request both find it. A folder that does not
// exist or cannot be listed is a medium that cannot be read.
class FolderDriveProbe : public DriveProbe {
 public:
  explicit FolderDriveProbe(std::filesystem::path folder);
  std::vector<Drive> Drives() override;
  MediumStatus QueryMedium(const std::string& root) override;

 private:
  std::filesystem::path folder_;
};

}  // namespace sorvane
