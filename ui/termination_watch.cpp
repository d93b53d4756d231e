#include "termination_watch.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

namespace sorvane::gui {

namespace {

constexpr std::array<int, 3> kSignals = {SIGTERM, SIGHUP, SIGINT};
volatile sig_atomic_t g_write_fd = -1;
std::array<bool, 3>* g_taken = nullptr;

void OnSignal(int signo) {
  const int saved_errno = errno;
  // Whatever comes next ends the program at once, as it would have without
  // the watch (sigaction and write may be called here).
  struct sigaction plain {};
  plain.sa_handler = SIG_DFL;
  sigemptyset(&plain.sa_mask);
  for (size_t i = 0; i < kSignals.size(); ++i) {
    if (g_taken != nullptr && (*g_taken)[i]) sigaction(kSignals[i], &plain, nullptr);
  }
  const char byte = static_cast<char>(signo);
  if (g_write_fd >= 0) (void)!write(g_write_fd, &byte, 1);
  errno = saved_errno;
}

}  // namespace

TerminationWatch::TerminationWatch(std::function<void()> on_request)
    : on_request_(std::move(on_request)) {
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds_) != 0) return;
  for (int fd : fds_) fcntl(fd, F_SETFL, O_NONBLOCK);
  notifier_ = new QSocketNotifier(fds_[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { Heard(); });
  g_write_fd = fds_[1];
  g_taken = &taken_;
  struct sigaction watch {};
  watch.sa_handler = OnSignal;
  sigemptyset(&watch.sa_mask);
  for (int s : kSignals) sigaddset(&watch.sa_mask, s);
  watch.sa_flags = SA_RESTART;
  for (size_t i = 0; i < kSignals.size(); ++i) {
    if (sigaction(kSignals[i], nullptr, &before_[i]) != 0 || before_[i].sa_handler == SIG_IGN)
      continue;
    taken_[i] = sigaction(kSignals[i], &watch, nullptr) == 0;
  }
}

TerminationWatch::~TerminationWatch() {
  for (size_t i = 0; i < kSignals.size(); ++i) {
    if (taken_[i]) sigaction(kSignals[i], &before_[i], nullptr);
  }
  g_taken = nullptr;
  g_write_fd = -1;
  delete notifier_;
  for (int fd : fds_) {
    if (fd >= 0) close(fd);
  }
}

void TerminationWatch::Heard() {
  char bytes[16];
  while (read(fds_[0], bytes, sizeof bytes) == static_cast<ssize_t>(sizeof bytes)) {
  }
  notifier_->setEnabled(false);  // one request is enough; a second ends the process
  if (on_request_) on_request_();
}

}  // namespace sorvane::gui
