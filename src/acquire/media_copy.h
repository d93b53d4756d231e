// Copying a facility's five workbooks from a CD or a removable disk into the
// workbook folder (state.paths.WorkbookDir()), as the "CD" and "Floppy" menus do:
// reset for a new site keeping the typed Facility ID, find the drive, wait for
// its medium, find the facility's workbooks anywhere on it, copy them and verify
// the set. Everything is reported through the status line and message boxes.
//
// The wait for a medium and the file operations can be replaced (tests, the
// command line); by default the wait lasts 10 seconds of a steady clock and the
// files are those of the disk.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "acquire/drive_probe.h"
#include "acquire/file_ops.h"
#include "state/run_state.h"

namespace sorvane {

// The clock of the wait for a medium. Now() never goes back (a wait across
// midnight ends on time); Pause() lets time pass.
class WaitClock {
 public:
  virtual ~WaitClock() = default;
  virtual std::chrono::steady_clock::time_point Now() = 0;
  virtual void Pause(std::chrono::steady_clock::duration d) = 0;
};

class SteadyWaitClock : public WaitClock {
 public:
  std::chrono::steady_clock::time_point Now() override;
  void Pause(std::chrono::steady_clock::duration d) override;  // sleeps
};

struct CopyOptions {
  // How long to wait for a medium that is not ready at the first try.
  std::chrono::steady_clock::duration wait = std::chrono::seconds(10);
  WaitClock* clock = nullptr;  // a SteadyWaitClock when null
  FileOps* files = nullptr;    // DiskFileOps when null
  // Folders the count of the workbooks may list (media_search.h); no disc
  // comes near.
  int64_t most_folders = 20000;
};

// Sets state.MediaDrive to the root of the last drive (in the probe's order) of
// the requested type, given as decimal text ("5" CD, "2" removable); true when
// there is one. Otherwise MediaDrive is left empty.
bool FindDrive(RunState& state, DriveProbe& probe, const std::string& type);

// Whether the medium of state.MediaDrive can be read. A device that is not ready
// is waited for once (the window stays responsive: state.DoEvents() runs
// throughout), then the user is asked "Re-Install media & Press OK (or Cancel to
// Quit)" after each further failure until it is ready (true) or they cancel
// (false). Any other failure gives false at once, without a message. When ready,
// MediaDrive becomes the root the medium is read from.
bool WaitForMedium(RunState& state, DriveProbe& probe, const CopyOptions& options = {});

// What a copy from media came to; the status line and the messages say the
// same to a person.
enum class CopyOutcome {
  kCopied,         // the workbooks copied and the set verified whole
  kSetIncomplete,  // copied, but the set is not whole (the verification said why)
  kStopped,        // refused, cancelled or failed; a message said why
};

// Checks the Facility ID, waits for the medium of state.MediaDrive, finds the
// facility's workbooks on it, replaces the files of the workbook folder (made
// when missing) with them as plain writable files and verifies the set. Ends
// with the status line "Files Copied." or a message saying what stopped it.
// Whatever stops it before the new files are all copied (a refused ID, no
// medium, nothing found, a file that will not go, a full disk) leaves the
// folder's files as they were.
CopyOutcome CopyFromMedia(RunState& state, DriveProbe& probe, const CopyOptions& options = {});

// The "CD" and "Floppy" menus. `new_site_reset` is the main window's "New Site"
// reset; the Facility ID typed before it is put back after it. Without a drive
// of the type: "Could not find CD-ROM drive" / "Could not find Floppy drive".
CopyOutcome mnuDataLoadCD_Click(RunState& state, DriveProbe& probe,
                                const std::function<void()>& new_site_reset,
                                const CopyOptions& options = {});
CopyOutcome mnuDataLoadFloppy_Click(RunState& state, DriveProbe& probe,
                                    const std::function<void()>& new_site_reset,
                                    const CopyOptions& options = {});

}  // namespace sorvane
