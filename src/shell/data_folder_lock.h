// One run at a time in a data folder. The temporary tables hold one facility:
// a second run in the same folder (another window, a command-line review, an
// `init --force`) would empty, refill or replace them under the first, whose
// checks would then pass data they never saw. The lock is taken on the folder
// itself, so nothing is left behind when a run is killed.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

namespace sorvane {

class DataFolderLock {
 public:
  DataFolderLock() = default;
  ~DataFolderLock() { Release(); }
  DataFolderLock(const DataFolderLock&) = delete;
  DataFolderLock& operator=(const DataFolderLock&) = delete;

  // Takes the folder, trying again (with `idle` between tries) for up to
  // `wait` while another run holds it; then throws Error 3045 naming the
  // folder. When the first try finds the folder taken, `waiting` is told at
  // once, with a sentence naming the run that holds it (as that run noted
  // itself in the folder). A folder that cannot be opened throws its
  // FileError. On a file system without locks the folder counts as taken.
  void Acquire(const std::filesystem::path& dir, std::chrono::steady_clock::duration wait,
               const std::function<void()>& idle = {},
               const std::function<void(const std::string&)>& waiting = {});
  void Release();
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
  std::filesystem::path note_;  // who holds the folder, for a run that waits
};

}  // namespace sorvane
