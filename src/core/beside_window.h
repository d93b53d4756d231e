// Long work that needs no answer from a person (writing large copies of the
// workbooks) runs on a thread of its own while the window keeps itself painted
// and answers the desktop (UiPort::KeepAlive), rather than looking hung.
#pragma once

#include <atomic>
#include <chrono>
#include <exception>
#include <system_error>
#include <thread>

#include "core/ui_port.h"

namespace sorvane {

// Runs `work` beside the window and returns once it is done, throwing what it
// threw.
template <typename Work>
void RunBesideWindow(UiPort& ui, Work&& work) {
  std::atomic<bool> done{false};
  std::exception_ptr failure;
  std::thread worker;
  try {
    worker = std::thread([&] {
      try {
        work();
      } catch (...) {
        failure = std::current_exception();
      }
      done = true;
    });
  } catch (const std::system_error&) {
    work();  // no second thread to be had: the window waits
    return;
  }
  while (!done) {
    ui.KeepAlive();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  worker.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace sorvane
