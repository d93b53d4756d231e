#include "core/forked_work.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef SORVANE_COVERAGE
extern "C" void __gcov_dump(void);
extern "C" void __gcov_reset(void);
#endif

namespace sorvane {
namespace {

void Reap(pid_t pid, int* status) {
  while (waitpid(pid, status, 0) < 0 && errno == EINTR) {
  }
}

// The processor time the process `pid` has used (in clock ticks), or -1 where
// the system does not say; `on_disk` when it waits for a disk.
long long TicksOf(pid_t pid, bool& on_disk) {
  on_disk = false;
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
  FILE* f = std::fopen(path, "re");
  if (f == nullptr) return -1;
  char line[1024];
  const bool read = std::fgets(line, sizeof line, f) != nullptr;
  std::fclose(f);
  // "pid (name) state ppid ... utime stime ...": the name may hold anything.
  const char* after = read ? std::strrchr(line, ')') : nullptr;
  if (after == nullptr) return -1;
  char state = 0;
  unsigned long long utime = 0, stime = 0;
  if (std::sscanf(after + 1, " %c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &state,
                  &utime, &stime) != 3)
    return -1;
  on_disk = state == 'D';
  return static_cast<long long>(utime + stime);
}

std::string HowItEnded(int status) {
  if (WIFSIGNALED(status)) {
    const int sig = WTERMSIG(status);
    return "the writer was stopped by signal " + std::to_string(sig) + " (" + strsignal(sig) + ")";
  }
  return "the writer ended with status " + std::to_string(WEXITSTATUS(status)) +
         " before it had finished";
}

}  // namespace

void BecomeForkedCopy() {
#ifdef SORVANE_COVERAGE
  __gcov_reset();  // the program's counts are its own to write
#endif
  const pid_t program = getppid();
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) signal(sig, SIG_IGN);
  signal(SIGPIPE, SIG_DFL);
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != program) _exit(1);  // gone before the line above
  rlimit none{0, 0};
  setrlimit(RLIMIT_CORE, &none);
}

[[noreturn]] void EndForkedCopy(int status) {
#ifdef SORVANE_COVERAGE
  rlimit r{};
  getrlimit(RLIMIT_FSIZE, &r);
  r.rlim_cur = r.rlim_max;
  setrlimit(RLIMIT_FSIZE, &r);
  __gcov_dump();
#endif
  _exit(status);
}

ForkedOutcome RunStoppable(const std::function<int()>& work, const std::function<bool()>& stop,
                           std::chrono::milliseconds stall) {
  ForkedOutcome outcome;
  auto here = [&] {
    errno = 0;
    outcome.value = work();
    outcome.error = errno;
    return outcome;
  };
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) return here();
  // What the streams hold would otherwise be written twice, once by each.
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    BecomeForkedCopy();
    close(pipe_fds[0]);
    if (const int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC); quiet >= 0) {
      dup2(quiet, STDOUT_FILENO);
      dup2(quiet, STDERR_FILENO);
    }
    int sent[2] = {-1, 0};
    errno = 0;
    try {
      sent[0] = work();
    } catch (...) {
    }
    sent[1] = errno;
    const bool whole = write(pipe_fds[1], sent, sizeof sent) == sizeof sent;
    EndForkedCopy(whole ? 0 : 1);
  }
  close(pipe_fds[1]);
  if (pid < 0) {
    close(pipe_fds[0]);
    return here();
  }
  outcome.in_copy = true;
  int got[2] = {0, 0};
  size_t have = 0;
  long long ticks = -1;
  auto moved = std::chrono::steady_clock::now();
  while (have < sizeof got) {
    bool on_disk = false;
    const long long now_ticks = TicksOf(pid, on_disk);
    const auto now = std::chrono::steady_clock::now();
    if (now_ticks != ticks || on_disk || now_ticks < 0) {
      ticks = now_ticks;
      moved = now;
    } else if (now - moved >= stall) {
      kill(pid, SIGKILL);
      int status = 0;
      Reap(pid, &status);
      close(pipe_fds[0]);
      outcome = {};
      return here();
    }
    if (stop && stop()) {
      kill(pid, SIGKILL);
      int status = 0;
      Reap(pid, &status);
      close(pipe_fds[0]);
      outcome.how = ForkedOutcome::How::kStopped;
      return outcome;
    }
    pollfd fd{pipe_fds[0], POLLIN, 0};
    if (poll(&fd, 1, 20) <= 0) continue;
    const ssize_t n = read(pipe_fds[0], reinterpret_cast<char*>(got) + have, sizeof got - have);
    if (n > 0) {
      have += static_cast<size_t>(n);
    } else if (n == 0 || errno != EINTR) {
      break;  // the copy ended without a word
    }
  }
  close(pipe_fds[0]);
  int status = 0;
  Reap(pid, &status);
  if (have < sizeof got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    outcome.how = ForkedOutcome::How::kLost;
    outcome.lost = HowItEnded(status);
    return outcome;
  }
  outcome.value = got[0];
  outcome.error = got[1];
  return outcome;
}

}  // namespace sorvane
