// Finding a facility's workbooks on a medium: how many there are at all levels,
// which folder holds them, and the folder named "data" that settles which files
// to take when there are more than five.
//
// The Facility ID is the text of the main window's box. The folder found is
// written to `state.SourcePattern`: a folder path followed by "/*.xls" from the
// workbook search, the bare folder path from the "data" search. Folders are
// visited in name order. A folder that cannot be listed raises FileError. A
// long search keeps the window painted (UiPort::KeepAlive) without taking input.
// Within a FolderSearchBudget, a search that lists more folders than it allows
// raises FolderSearchTooLarge: a folder a person chose or dropped files from
// (a home folder, a share) could otherwise be listed for minutes.
#pragma once

#include <cstdint>
#include <filesystem>

#include "core/errors.h"
#include "state/run_state.h"

namespace sorvane {

class FolderSearchTooLarge : public Error {
 public:
  using Error::Error;
};

// While one lives on this thread, the searches below list at most `folders`
// folders in all.
class FolderSearchBudget {
 public:
  explicit FolderSearchBudget(int64_t folders);
  ~FolderSearchBudget();
  FolderSearchBudget(const FolderSearchBudget&) = delete;
  FolderSearchBudget& operator=(const FolderSearchBudget&) = delete;

 private:
  int64_t left_;
  int64_t* outer_;
};

// The facility workbooks in `folder` and in all its sub-folders.
int CountFacilityWorkbooks(const RunState& state, const std::filesystem::path& folder);

// Sets SourcePattern to the folder holding facility workbooks: the medium's root
// (`state.MediaDrive`) when it holds one itself, otherwise each sub-folder that
// holds one directly, searched depth first; the last one found wins. Leaves
// SourcePattern alone when no folder holds one.
void FindFacilityFolder(RunState& state, const std::filesystem::path& folder);

// The sub-folders, at all levels below `folder`, named "data" in any letter case.
int CountDataFolders(const RunState& state, const std::filesystem::path& folder);

// Sets SourcePattern to the first folder named "data" (any case) below `folder`,
// depth first; true when there is one.
bool FindDataFolder(RunState& state, const std::filesystem::path& folder);

}  // namespace sorvane
