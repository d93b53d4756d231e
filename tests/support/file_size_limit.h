// Stands in for a full disk: while it lives, no file of this process may grow
// past `bytes` (writes beyond fail with EFBIG instead of raising SIGXFSZ).
#pragma once

#include <sys/resource.h>

#include <csignal>

namespace sorvane::testing {

class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &before_);
    old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = before_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &before_);
    std::signal(SIGXFSZ, old_handler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit before_{};
  void (*old_handler_)(int) = nullptr;
};

}  // namespace sorvane::testing
