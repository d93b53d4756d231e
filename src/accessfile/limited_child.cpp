#include "accessfile/limited_child.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <new>

#include "core/errors.h"
#include "core/forked_work.h"
#include "core/text.h"

namespace sorvane {
namespace {

constexpr long kErrUnreadable = 3343;  // "Unrecognized database format"
constexpr size_t kTailKept = 4096;

// Bytes of address space the process holds now. The budget is added to it:
// a build under the address sanitizer reserves terabytes before it starts.
uint64_t AddressSpace() {
  std::ifstream statm("/proc/self/statm");
  uint64_t pages = 0;
  statm >> pages;
  return pages * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

void Limit(int resource, uint64_t value) {
  rlimit r{static_cast<rlim_t>(value), static_cast<rlim_t>(value)};
  setrlimit(resource, &r);
}

std::string Megabytes(uint64_t bytes) { return std::to_string(bytes >> 20) + " MB"; }

// No file writes in the child. A coverage build lowers only the soft limit, so
// that EndForkedCopy can lift it again to write the child's line counts.
void ForbidFileWrites() {
#ifdef SORVANE_COVERAGE
  rlimit r{};
  getrlimit(RLIMIT_FSIZE, &r);
  r.rlim_cur = 0;
  setrlimit(RLIMIT_FSIZE, &r);
#else
  Limit(RLIMIT_FSIZE, 0);
#endif
}

}  // namespace

LimitedChild::LimitedChild(const ChildLimits& limits, std::function<void(int fd)> work)
    : limits_(limits) {
  int data[2], err[2];
  if (pipe2(data, O_CLOEXEC) != 0) throw Error(kErrUnreadable, std::strerror(errno));
  if (pipe2(err, O_CLOEXEC) != 0) {
    const int e = errno;
    close(data[0]);
    close(data[1]);
    throw Error(kErrUnreadable, std::strerror(e));
  }
  const uint64_t address_space = AddressSpace() + limits.memory;
  const auto seconds = std::chrono::ceil<std::chrono::seconds>(limits.time).count();
  pid_ = fork();
  if (pid_ == 0) {
    // The parent alone decides when the reader stops (it kills it): the
    // handlers copied from it would hand a Ctrl-C on a second time, as the
    // desktop window's writes to a pipe both share.
    BecomeForkedCopy();
    close(data[0]);
    close(err[0]);
    dup2(err[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    ForbidFileWrites();
    Limit(RLIMIT_AS, address_space);
    Limit(RLIMIT_CPU, static_cast<uint64_t>(seconds) + 1);
    try {
      work(data[1]);
    } catch (const Error& e) {
      WriteAll(data[1], EncodeFrame(FrameTag::kError, e.description()));
    } catch (const std::bad_alloc&) {
      WriteAll(data[1], EncodeFrame(FrameTag::kError, "the reader needed more than its " +
                                                          Megabytes(limits.memory) + " of memory"));
    } catch (const std::exception& e) {
      WriteAll(data[1], EncodeFrame(FrameTag::kError, e.what()));
    }
    EndForkedCopy(0);
  }
  const int fork_errno = errno;
  close(data[1]);
  close(err[1]);
  data_fd_ = data[0];
  err_fd_ = err[0];
  if (pid_ < 0) {
    pid_ = -1;
    throw Error(kErrUnreadable,
                std::string("no reader could be started: ") + std::strerror(fork_errno));
  }
  fcntl(err_fd_, F_SETFL, fcntl(err_fd_, F_GETFL) | O_NONBLOCK);
  deadline_ = std::chrono::steady_clock::now() + limits.time;
}

LimitedChild::~LimitedChild() {
  Stop();
  if (data_fd_ >= 0) close(data_fd_);
  if (err_fd_ >= 0) close(err_fd_);
}

void LimitedChild::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
  }
}

void LimitedChild::Fail(const std::string& reason) {
  Stop();
  throw Error(kErrUnreadable, reason);
}

bool LimitedChild::Fill(size_t want) {
  char chunk[65536];
  while (buffer_.size() - used_ < want) {
    if (data_fd_ < 0) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline_ - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      Fail("reading it took longer than " +
           std::to_string(std::chrono::ceil<std::chrono::seconds>(limits_.time).count()) +
           " seconds and was stopped");
    }
    pollfd fds[2] = {{data_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
    const int ready = poll(fds, 2, static_cast<int>(std::min<int64_t>(left.count(), 1000)));
    if (ready < 0 && errno != EINTR)
      Fail(std::string("the reader's pipe failed: ") + std::strerror(errno));
    if (ready <= 0) continue;
    if (fds[1].revents != 0) ReadErrors();
    if (fds[0].revents != 0) {
      const ssize_t n = read(data_fd_, chunk, sizeof chunk);
      if (n > 0) {
        buffer_.append(chunk, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        close(data_fd_);
        data_fd_ = -1;
      }
    }
  }
  return true;
}

void LimitedChild::ReadErrors() {
  char chunk[4096];
  const ssize_t n = read(err_fd_, chunk, sizeof chunk);
  if (n > 0) {
    err_tail_.append(chunk, static_cast<size_t>(n));
    if (err_tail_.size() > kTailKept) err_tail_.erase(0, err_tail_.size() - kTailKept);
  } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
    close(err_fd_);
    err_fd_ = -1;  // poll ignores a negative descriptor
  }
}

std::string LimitedChild::Ended() {
  // What the child printed last says most about why it ended.
  while (err_fd_ >= 0 && std::chrono::steady_clock::now() < deadline_) {
    pollfd fd{err_fd_, POLLIN, 0};
    if (poll(&fd, 1, 100) > 0) ReadErrors();
  }
  int status = 0;
  pid_t got = 0;
  if (pid_ > 0) {
    while ((got = waitpid(pid_, &status, WNOHANG)) < 0 && errno == EINTR) {
    }
    if (got == 0) {
      kill(pid_, SIGKILL);
      while ((got = waitpid(pid_, &status, 0)) < 0 && errno == EINTR) {
      }
    }
    pid_ = -1;
  }
  std::string why;
  if (got <= 0) {
    why = "the reader ended early";
  } else if (WIFSIGNALED(status)) {
    const int sig = WTERMSIG(status);
    why = sig == SIGXCPU ? "the reader used up its time"
                         : "the reader was stopped by signal " + std::to_string(sig) + " (" +
                               strsignal(sig) + ")";
  } else if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
    why = "the reader ended with status " + std::to_string(WEXITSTATUS(status));
  } else {
    why = "the reader ended before it had sent everything";
  }
  // The last line it printed, if any.
  std::string_view tail = TrimWhitespace(err_tail_);
  if (const size_t nl = tail.find_last_of('\n'); nl != std::string_view::npos)
    tail = TrimWhitespace(tail.substr(nl + 1));
  if (!tail.empty()) {
    std::string line = ValidUtf8(tail);
    if (Utf8Length(line) > 200) line = Utf8Prefix(line, 200) + "\xE2\x80\xA6";
    why += "; it printed: " + line;
  }
  return why;
}

Frame LimitedChild::Next() {
  if (!Fill(kFrameHeaderSize)) Fail(Ended());
  const auto* head = reinterpret_cast<const unsigned char*>(buffer_.data() + used_);
  Frame frame;
  frame.tag = static_cast<FrameTag>(head[0]);
  const uint64_t length = static_cast<uint64_t>(head[1]) | static_cast<uint64_t>(head[2]) << 8 |
                          static_cast<uint64_t>(head[3]) << 16 |
                          static_cast<uint64_t>(head[4]) << 24;
  switch (frame.tag) {
    case FrameTag::kTableName:
    case FrameTag::kColumns:
    case FrameTag::kRow:
    case FrameTag::kNoTable:
    case FrameTag::kError:
    case FrameTag::kEnd:
      break;
    default:
      Fail("the reader sent something that is not a message");
  }
  received_ += kFrameHeaderSize + length;
  if (received_ > limits_.output) {
    Fail("the file gives more than " + Megabytes(limits_.output) + " of data");
  }
  if (!Fill(kFrameHeaderSize + length)) Fail(Ended());
  frame.payload = buffer_.substr(used_ + kFrameHeaderSize, length);
  used_ += kFrameHeaderSize + length;
  if (used_ > (size_t{1} << 20)) {
    buffer_.erase(0, used_);
    used_ = 0;
  }
  if (frame.tag == FrameTag::kError) Fail(ValidUtf8(frame.payload));
  if (frame.tag == FrameTag::kEnd) Ended();
  return frame;
}

}  // namespace sorvane
