// Replacing the files of the workbook folder as one step. The files there are
// set aside under hidden names in the same folder before the new ones come; the
// new ones are kept only when every one was copied whole, and only then are the
// old ones deleted. Anything else (a file that cannot be moved, a full disk, an
// error between the two) puts the folder back as it was: a person's own edits
// to the copies there are never lost to a copy that failed.
//
// A run killed between the two leaves the old files hidden beside the new ones
// (".1234567_1.xls.before-copy"); the next replacement of the folder replaces
// them in turn.
#pragma once

#include <filesystem>
#include <set>
#include <string>

#include "acquire/file_ops.h"

namespace sorvane {

class FolderReplacement {
 public:
  // Makes `folder` when it is missing (a filesystem_error when it cannot be).
  FolderReplacement(FileOps& files, std::filesystem::path folder);
  // Without Commit: the new files go and the old ones come back.
  ~FolderReplacement();
  FolderReplacement(const FolderReplacement&) = delete;
  FolderReplacement& operator=(const FolderReplacement&) = delete;

  // Moves every file of the folder (those ListFiles gives) aside. A file that
  // cannot be moved raises FileAccessError, the files moved so far put back.
  void SetAsideAll();
  // The new files stay; the old ones are deleted (one that will not go stays
  // hidden and harmless).
  void Commit();

  // The hidden name a file set aside has in its folder.
  static std::string AsideName(const std::string& name);

 private:
  void PutBack();

  FileOps& files_;
  std::filesystem::path folder_;
  std::set<std::string> before_;  // every file's name when the files were set aside
  std::set<std::string> aside_;   // those moved aside
  bool committed_ = false;
};

}  // namespace sorvane
