#include "acquire/folder_replacement.h"

#include <system_error>
#include <utility>

#include "acquire/folder_scan.h"

namespace fs = std::filesystem;

namespace sorvane {

FolderReplacement::FolderReplacement(FileOps& files, fs::path folder)
    : files_(files), folder_(std::move(folder)) {
  fs::create_directories(folder_);
}

FolderReplacement::~FolderReplacement() {
  if (!committed_) PutBack();
}

std::string FolderReplacement::AsideName(const std::string& name) {
  return HiddenName(name, ".before-copy");
}

void FolderReplacement::SetAsideAll() {
  for (const fs::path& file : ListFiles(folder_)) before_.insert(NameOf(file));
  try {
    for (const std::string& name : before_) {
      files_.Rename(folder_ / name, folder_ / AsideName(name));
      aside_.insert(name);
    }
  } catch (...) {
    PutBack();
    throw;
  }
}

void FolderReplacement::Commit() {
  committed_ = true;
  for (const std::string& name : aside_) {
    try {
      files_.Remove(folder_ / AsideName(name));
    } catch (const FileAccessError&) {
      // Hidden, never taken for a workbook; the next replacement replaces it.
    }
  }
  aside_.clear();
}

void FolderReplacement::PutBack() {
  // Every file listed now that was not there before, or that stands where one
  // set aside stood, is new. Best effort: this also runs while an error unwinds.
  std::error_code ec;
  try {
    for (const fs::path& file : ListFiles(folder_)) {
      const std::string name = NameOf(file);
      if (!before_.count(name) || aside_.count(name)) fs::remove(file, ec);
    }
  } catch (const Error&) {
    // The folder cannot be listed: its old files are put back over whatever is there.
  }
  for (const std::string& name : aside_) fs::rename(folder_ / AsideName(name), folder_ / name, ec);
  aside_.clear();
}

}  // namespace sorvane
