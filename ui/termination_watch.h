// Hears the system ask the desktop program to end: SIGTERM (a logout, `kill`,
// `timeout`), SIGHUP (the terminal it was started from closing) and SIGINT
// (Ctrl-C there). Without it those end the process on the spot, leaving the
// facility's rows in the temporary tables and a half-written workbook beside
// its real name. The signal is turned into a call of `on_request` from the
// event loop, where the program can end as its own Exit does. A second
// request ends the process at once; a signal the program was started with
// ignored (a job started with nohup) stays ignored.
#pragma once

#include <QObject>
#include <array>
#include <csignal>
#include <functional>

class QSocketNotifier;

namespace sorvane::gui {

class TerminationWatch : public QObject {
 public:
  // Only one watch at a time.
  explicit TerminationWatch(std::function<void()> on_request);
  ~TerminationWatch() override;
  TerminationWatch(const TerminationWatch&) = delete;
  TerminationWatch& operator=(const TerminationWatch&) = delete;

 private:
  void Heard();

  std::function<void()> on_request_;
  int fds_[2] = {-1, -1};  // the handler writes to [1], the event loop reads [0]
  QSocketNotifier* notifier_ = nullptr;
  std::array<struct sigaction, 3> before_{};  // what each signal did before
  std::array<bool, 3> taken_{};
};

}  // namespace sorvane::gui
