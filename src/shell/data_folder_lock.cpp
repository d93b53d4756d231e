#include "shell/data_folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <system_error>
#include <thread>

#include "acquire/folder_scan.h"
#include "core/errors.h"

namespace sorvane {
namespace {

constexpr const char* kNoteName = ".sorvane-run";

// "sorvane-gui, process 4711, since 14:03:22": what a waiting run is told.
std::string DescribeThisRun() {
  std::string program = "sorvane";
  if (std::ifstream comm("/proc/self/comm"); comm) std::getline(comm, program);
  const std::time_t now = std::time(nullptr);
  char since[16] = "";
  if (const std::tm* t = std::localtime(&now)) std::strftime(since, sizeof since, "%H:%M:%S", t);
  return program + ", process " + std::to_string(getpid()) + ", since " + since;
}

std::string WaitingText(const std::filesystem::path& dir, const std::filesystem::path& note,
                        std::chrono::steady_clock::duration wait) {
  std::string holder;
  if (std::ifstream in(note); in) std::getline(in, holder);
  char seconds[32];
  *std::to_chars(seconds, seconds + sizeof seconds - 1,
                 std::chrono::duration_cast<std::chrono::duration<double>>(wait).count())
       .ptr = '\0';
  return "Waiting for the data folder " + dir.string() + ": another run" +
         (holder.empty() ? std::string() : " (" + holder + ")") +
         " is working in it; waiting up to " + seconds + " seconds ...";
}

}  // namespace

void DataFolderLock::Acquire(const std::filesystem::path& dir,
                             std::chrono::steady_clock::duration wait,
                             const std::function<void()>& idle,
                             const std::function<void(const std::string&)>& waiting) {
  Release();
  const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) throw ToFileError(std::error_code(errno, std::generic_category()), dir, true);
  const auto give_up = std::chrono::steady_clock::now() + wait;
  bool told = false;
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) break;  // a file system without locks
    if (!told && waiting) waiting(WaitingText(dir, dir / kNoteName, wait));
    told = true;
    if (std::chrono::steady_clock::now() >= give_up) {
      close(fd);
      throw Error(3045, "Could not use '" + dir.string() +
                            "'; another Sorvane run is working in this data folder.  Try again "
                            "when it has finished.");
    }
    if (idle) idle();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  fd_ = fd;
  // Only a word for runs that wait: a folder that takes no note is no failure.
  note_ = dir / kNoteName;
  if (std::ofstream out(note_, std::ios::trunc); out) out << DescribeThisRun() << '\n';
}

void DataFolderLock::Release() {
  if (fd_ >= 0) {
    std::error_code ec;
    std::filesystem::remove(note_, ec);
    close(fd_);
  }
  fd_ = -1;
}

}  // namespace sorvane
