// A machine that has no thread to give (a process or container at its limit
// of tasks): while a NoNewThreads lives, every thread the program starts
// fails to start, as pthread_create does there (EAGAIN). A test program that
// uses it takes this file's pthread_create, which otherwise hands on to the
// real one.
#pragma once

namespace sorvane::testing {

class NoNewThreads {
 public:
  NoNewThreads();
  ~NoNewThreads();
  NoNewThreads(const NoNewThreads&) = delete;
  NoNewThreads& operator=(const NoNewThreads&) = delete;
  // How many starts were refused meanwhile.
  int refused() const;
};

}  // namespace sorvane::testing
