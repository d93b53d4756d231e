// Work that cannot look for a stop itself (a library call that runs for tens
// of seconds with no place to ask), done in a copy of the program so that a
// stop ends it at once: the copy is killed, and whatever it was writing is
// the caller's to remove. Where no copy can be made, the work runs here and
// a stop waits for its end, as it would without this.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace sorvane {

struct ForkedOutcome {
  enum class How { kDone, kStopped, kLost } how = How::kDone;
  int value = 0;         // what the work returned
  int error = 0;         // errno as the work left it
  std::string lost;      // how the copy ended, when it sent back nothing
  bool in_copy = false;  // else it ran here, for want of a copy
};

// Runs `work` in a copy of the program and waits for it, asking `stop` every
// 20 ms. `stop` is asked on the calling thread only. What the copy prints is
// dropped: the caller says what its work returns (a library's own "[ERROR]"
// lines would say it a second time, among the program's output).
//
// A copy made while another thread of the program held a lock (the memory
// allocator's, say) can wait for that lock for ever: only the calling thread
// lives on in it. A copy that has used no processor time for `stall`, and
// waits for no disk, is taken for such a one: it is killed, and the work runs
// here instead.
ForkedOutcome RunStoppable(const std::function<int()>& work, const std::function<bool()>& stop,
                           std::chrono::milliseconds stall = std::chrono::seconds(15));

// For the first lines of a forked copy: Ctrl-C and termination requests reach
// the whole process group, and the program decides for its copies, so they
// ignore them; a copy whose program is gone ends too. No core dumps.
void BecomeForkedCopy();
// Ends a forked copy without the program's exit handlers (they belong to the
// program, not to this copy of it). A coverage build writes the copy's line
// counts first.
[[noreturn]] void EndForkedCopy(int status);

}  // namespace sorvane
