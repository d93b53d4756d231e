// Work done in a child process under limits, its results sent back as frames
// (accessfile/frames.h) over a pipe. The child gets a memory budget on top of
// what it starts with, no core dumps and no file writes, and it ignores Ctrl-C
// and termination requests (they reach the program too); the program stops it
// when it runs past its time, sends more than its output budget, or sends
// anything that is not a frame. Whatever happens to the child, the program
// only ever sees frames or an Error with the reason.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "accessfile/frames.h"

namespace sorvane {

struct ChildLimits {
  std::chrono::milliseconds time{60000};  // from the start to the last frame
  uint64_t memory = uint64_t{1} << 30;    // bytes the child may add to its own
  uint64_t output = uint64_t{1} << 30;    // bytes of frames it may send
};

struct Frame {
  FrameTag tag = FrameTag::kEnd;
  std::string payload;
};

class LimitedChild {
 public:
  // Starts `work` in a child process; it writes frames to the descriptor it is
  // given. An Error it throws is sent as a kError frame. Throws Error when no
  // child can be started.
  LimitedChild(const ChildLimits& limits, std::function<void(int fd)> work);
  // Stops and reaps a child still running.
  ~LimitedChild();
  LimitedChild(const LimitedChild&) = delete;
  LimitedChild& operator=(const LimitedChild&) = delete;

  // The next frame. A kError frame, a child that ended or was stopped without
  // a kEnd, a time or output limit passed, or a malformed frame throw Error
  // with the reason. After kEnd the child has been reaped.
  Frame Next();

 private:
  [[noreturn]] void Fail(const std::string& reason);
  bool Fill(size_t want);  // reads until `want` bytes are buffered; false at end of data
  void ReadErrors();       // one read of the child's stderr into err_tail_ (closes it at its end)
  void Stop();
  std::string Ended();  // reaps the child; how it ended, for a message

  ChildLimits limits_;
  std::chrono::steady_clock::time_point deadline_;
  pid_t pid_ = -1;
  int data_fd_ = -1;
  int err_fd_ = -1;
  std::string buffer_;
  size_t used_ = 0;        // bytes of buffer_ already handed out
  uint64_t received_ = 0;  // frame bytes so far
  std::string err_tail_;   // the end of what the child printed
};

}  // namespace sorvane
