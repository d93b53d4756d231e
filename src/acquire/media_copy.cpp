#include "acquire/media_copy.h"

#include <algorithm>
#include <thread>

#include "acquire/folder_replacement.h"
#include "acquire/folder_scan.h"
#include "acquire/media_search.h"
#include "acquire/workbook_set.h"
#include "core/convert.h"

namespace fs = std::filesystem;

namespace sorvane {
namespace {

// Short enough that the window repaints smoothly, long enough not to spin.
constexpr auto kWaitSlice = std::chrono::milliseconds(50);

void SetPointer(RunState& state, int pointer) {
  state.view.mouse_pointer = pointer;
  state.Refresh();
}

void EndQuietly(RunState& state) {
  state.SetStatusLine("");
  SetPointer(state, kPointerDefault);
}

void WaitWhileResponsive(RunState& state, const CopyOptions& options) {
  SteadyWaitClock steady;
  WaitClock& clock = options.clock != nullptr ? *options.clock : steady;
  const auto until = clock.Now() + options.wait;
  for (auto now = clock.Now(); now < until; now = clock.Now()) {
    state.DoEvents();
    clock.Pause(std::min<std::chrono::steady_clock::duration>(kWaitSlice, until - now));
  }
}

// Whether `folder` is `medium` itself or lies somewhere below it.
bool FolderOnMedium(const fs::path& medium, const fs::path& folder) {
  std::error_code ec;
  for (fs::path p = fs::weakly_canonical(folder, ec); !ec; p = p.parent_path()) {
    if (fs::equivalent(medium, p, ec) && !ec) return true;
    ec.clear();
    if (p == p.parent_path()) break;
  }
  return false;
}

// Every "*.xls" (and "*.xlsx", "*.ods", ...) file of `from`, whatever the letter case.
void CopyWorkbooks(FileOps& files, const fs::path& from, const fs::path& to) {
  for (const fs::path& file : ListFiles(from)) {
    if (MatchesWorkbookPattern(NameOf(file))) files.Copy(file, to / file.filename());
  }
}

CopyOutcome LoadFromMedia(RunState& state, DriveProbe& probe, const std::function<void()>& reset,
                          const std::string& type, const std::string& missing,
                          const CopyOptions& options) {
  const std::string kept = state.view.txtFacilityID.text;
  if (reset) reset();
  state.view.txtFacilityID.text = kept;
  state.Refresh();
  state.MediaDriveType = type;
  if (FindDrive(state, probe, state.MediaDriveType)) return CopyFromMedia(state, probe, options);
  state.ui.MessageBox(missing);
  return CopyOutcome::kStopped;
}

}  // namespace

std::chrono::steady_clock::time_point SteadyWaitClock::Now() {
  return std::chrono::steady_clock::now();
}

void SteadyWaitClock::Pause(std::chrono::steady_clock::duration d) {
  std::this_thread::sleep_for(d);
}

bool FindDrive(RunState& state, DriveProbe& probe, const std::string& type) {
  state.MediaDrive.clear();
  const std::optional<int16_t> wanted = ToWholeNumber(type);
  if (!wanted) return false;
  const std::vector<Drive> drives = probe.Drives();
  for (auto it = drives.rbegin(); it != drives.rend(); ++it) {
    if (it->type == *wanted) {
      state.MediaDrive = it->root;
      return true;
    }
  }
  return false;
}

bool WaitForMedium(RunState& state, DriveProbe& probe, const CopyOptions& options) {
  for (int attempt = 1;; ++attempt) {
    const MediumStatus status = probe.QueryMedium(state.MediaDrive);
    if (status.ready) {
      if (!status.root.empty()) state.MediaDrive = status.root;
      return true;
    }
    if (!status.device_not_ready) return false;
    if (attempt == 1) {
      WaitWhileResponsive(state, options);
    } else if (!state.ui.AskOkCancel("Re-Install media & Press OK (or Cancel to Quit)")) {
      return false;
    }
  }
}

CopyOutcome CopyFromMedia(RunState& state, DriveProbe& probe, const CopyOptions& options) {
  DiskFileOps disk([&state] { state.ui.KeepAlive(); });
  FileOps& files = options.files != nullptr ? *options.files : disk;
  const fs::path target = state.paths.WorkbookDir();
  const std::string shown = target.string();
  SetPointer(state, kPointerHourglass);
  try {
    // Emptying the workbook folder first would destroy the very files to copy
    // (or, on a folder above it, the only copies the search could find).
    if (!state.MediaDrive.empty() && FolderOnMedium(state.MediaDrive, target)) {
      SetPointer(state, kPointerDefault);
      state.ui.MessageBox("The files are already in " + shown +
                          ".  Please copy from another folder.");
      return CopyOutcome::kStopped;
    }
    // A mistyped ID must not cost the folder's files: its form is checked first.
    if (!CheckFacilityIDForm(state)) {
      EndQuietly(state);
      return CopyOutcome::kStopped;
    }
    // The folder's files are replaced only once the new ones are found: a
    // wrong disc, a wait given up or a search that finds nothing leaves them
    // as they were. (Checked against an emptied folder, the Facility ID could
    // fail only by its form, checked above.)
    fs::create_directories(target);
    if (!WaitForMedium(state, probe, options)) {
      EndQuietly(state);
      return CopyOutcome::kStopped;
    }

    state.SetStatusLine("Copying Files . . .");
    const fs::path media = state.MediaDrive;
    const std::string& id = state.view.txtFacilityID.text;
    // The count lists every folder of the tree, so the searches after it
    // list no more than it did.
    const int count = [&] {
      const FolderSearchBudget budget(options.most_folders);
      return CountFacilityWorkbooks(state, media);
    }();
    if (count < 5) {
      EndQuietly(state);
      state.ui.MessageBox("Could not find 5 xls files for " + id + ".  Please copy manually to " +
                          shown + " or check the Facility ID.");
      return CopyOutcome::kStopped;
    }
    state.SourcePattern.clear();
    fs::path source;
    if (count == 5) {
      FindFacilityFolder(state, media);
      if (!state.SourcePattern.empty()) source = fs::path(state.SourcePattern).parent_path();
    } else {
      if (CountDataFolders(state, media) != 1) {
        EndQuietly(state);
        state.ui.MessageBox("It is unclear which files to review.  Please copy manually.");
        return CopyOutcome::kStopped;
      }
      if (FindDataFolder(state, media)) source = state.SourcePattern;
    }
    {
      // Put back, should a file refuse to move or a copy fail.
      FolderReplacement replacement(files, target);
      replacement.SetAsideAll();
      if (!source.empty()) CopyWorkbooks(files, source, target);
      replacement.Commit();
    }

    for (const fs::path& file : ListFiles(target)) files.SetNormal(file);
    const bool whole = VerifyWorkbookSet(state);
    SetPointer(state, kPointerDefault);
    state.SetStatusLine("Files Copied.");
    return whole ? CopyOutcome::kCopied : CopyOutcome::kSetIncomplete;
  } catch (const FolderSearchTooLarge& e) {
    EndQuietly(state);
    state.ui.MessageBox(e.description());
  } catch (const FileAccessError& e) {
    SetPointer(state, kPointerDefault);
    if (e.number() == kErrPermissionDenied) {
      state.ui.MessageBox("Could not access/delete file.  Please close " + e.file_name());
    } else {
      state.ui.MessageBox(e.NumberDescription("  "));
    }
  } catch (const Error& e) {
    SetPointer(state, kPointerDefault);
    state.ui.MessageBox(e.NumberDescription("  "));
  } catch (const fs::filesystem_error& e) {
    SetPointer(state, kPointerDefault);
    state.ui.MessageBox(ToFileError(e.code(), e.path1(), true).NumberDescription("  "));
  }
  return CopyOutcome::kStopped;
}

CopyOutcome mnuDataLoadCD_Click(RunState& state, DriveProbe& probe,
                                const std::function<void()>& new_site_reset,
                                const CopyOptions& options) {
  return LoadFromMedia(state, probe, new_site_reset, "5", "Could not find CD-ROM drive", options);
}

CopyOutcome mnuDataLoadFloppy_Click(RunState& state, DriveProbe& probe,
                                    const std::function<void()>& new_site_reset,
                                    const CopyOptions& options) {
  return LoadFromMedia(state, probe, new_site_reset, "2", "Could not find Floppy drive", options);
}

}  // namespace sorvane
