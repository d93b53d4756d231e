#include "shell/data_folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <thread>

#include "acquire/folder_scan.h"
#include "core/errors.h"

namespace sorvane {

void DataFolderLock::Acquire(const std::filesystem::path& dir,
                             std::chrono::steady_clock::duration wait,
                             const std::function<void()>& idle) {
  Release();
  const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) throw ToFileError(std::error_code(errno, std::generic_category()), dir, true);
  const auto give_up = std::chrono::steady_clock::now() + wait;
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) break;  // a file system without locks
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
}

void DataFolderLock::Release() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

}  // namespace sorvane
