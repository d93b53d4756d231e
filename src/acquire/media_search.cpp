#include "acquire/media_search.h"

#include <chrono>

#include "acquire/folder_scan.h"
#include "core/text.h"

namespace fs = std::filesystem;

namespace sorvane {
namespace {

thread_local int64_t* folders_left = nullptr;  // of the innermost budget

// Called for every folder listed. A tree the person chose (a share, a
// documents folder) can take seconds to list: every few folders, and every
// 20 ms, the window is repainted and answers the desktop, taking nothing the
// person types or clicks.
void Listing(const RunState& state) {
  if (folders_left != nullptr && --*folders_left < 0) {
    throw FolderSearchTooLarge(kErrPathFileAccess,
                               "The search for the workbooks met too many folders and stopped.  "
                               "Copy from the folder that holds them.");
  }
  using Clock = std::chrono::steady_clock;
  constexpr int kFolders = 64;
  thread_local int folders = 0;
  thread_local Clock::time_point last = Clock::now();
  const Clock::time_point now = Clock::now();
  if (++folders < kFolders && now - last < std::chrono::milliseconds(20)) return;
  folders = 0;
  last = now;
  state.ui.KeepAlive();
}

bool HoldsFacilityWorkbook(const RunState& state, const fs::path& folder, const std::string& id) {
  Listing(state);
  for (const fs::path& file : ListFiles(folder)) {
    if (IsFacilityWorkbook(NameOf(file), id)) return true;
  }
  return false;
}

std::string PatternOf(const fs::path& folder) { return (folder / "*.xls").string(); }

void SearchSubfolders(RunState& state, const fs::path& folder) {
  const std::string& id = state.view.txtFacilityID.text;
  for (const fs::path& sub : ListSubfolders(folder)) {
    if (HoldsFacilityWorkbook(state, sub, id)) {
      state.SourcePattern = PatternOf(sub);
      return;
    }
    SearchSubfolders(state, sub);
  }
}

// A path without "." parts or a trailing separator, so that "/media/cd/" and
// "/media/cd" name the same root.
fs::path Normal(const fs::path& p) {
  fs::path n = p.lexically_normal();
  if (!n.has_filename() && n.has_relative_path()) n = n.parent_path();
  return n;
}

bool IsDataFolder(const fs::path& folder) { return UpperCase(NameOf(folder)) == "DATA"; }

}  // namespace

FolderSearchBudget::FolderSearchBudget(int64_t folders) : left_(folders), outer_(folders_left) {
  folders_left = &left_;
}

FolderSearchBudget::~FolderSearchBudget() { folders_left = outer_; }

int CountFacilityWorkbooks(const RunState& state, const fs::path& folder) {
  Listing(state);
  int count = 0;
  for (const fs::path& file : ListFiles(folder)) {
    if (IsFacilityWorkbook(NameOf(file), state.view.txtFacilityID.text)) ++count;
  }
  for (const fs::path& sub : ListSubfolders(folder)) count += CountFacilityWorkbooks(state, sub);
  return count;
}

void FindFacilityFolder(RunState& state, const fs::path& folder) {
  const bool is_root = !state.MediaDrive.empty() && Normal(state.MediaDrive) == Normal(folder);
  if (is_root && HoldsFacilityWorkbook(state, folder, state.view.txtFacilityID.text)) {
    state.SourcePattern = PatternOf(folder);
    return;
  }
  SearchSubfolders(state, folder);
}

int CountDataFolders(const RunState& state, const fs::path& folder) {
  Listing(state);
  int count = 0;
  for (const fs::path& sub : ListSubfolders(folder)) {
    if (IsDataFolder(sub)) ++count;
    count += CountDataFolders(state, sub);
  }
  return count;
}

bool FindDataFolder(RunState& state, const fs::path& folder) {
  Listing(state);
  for (const fs::path& sub : ListSubfolders(folder)) {
    if (IsDataFolder(sub)) {
      state.SourcePattern = sub.string();
      return true;
    }
    if (FindDataFolder(state, sub)) return true;
  }
  return false;
}

}  // namespace sorvane
