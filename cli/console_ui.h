// The UI port of the command line: message boxes go to stderr, questions are
// answered from the command's options, a progress bar is drawn on a terminal,
// and Ctrl-C asks a running transfer to cancel.
#pragma once

#include <csignal>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ui_port.h"

namespace sorvane::cli {

// `text` as it may safely reach a terminal: a carriage return becomes a line
// break and other control characters but line breaks and tabs (those of
// UTF-8's U+0080..U+009F too) become "\xHH", so an escape sequence read from a
// workbook is shown rather than obeyed.
std::string ForTerminal(std::string_view text);

class ConsoleUi : public UiPort {
 public:
  explicit ConsoleUi(std::ostream& err);

  void MessageBox(const std::string& text) override;
  bool AskOkCancel(const std::string& text) override;
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& default_answer) override;
  // A batch run never reads a password from the terminal: it comes from
  // --password or the environment, so this answers "cancelled".
  std::optional<std::string> PasswordBox(const std::string& prompt,
                                         const std::string& title) override;
  void Refresh() override;
  void DoEvents() override;
  bool InterruptPending() const override;
  void Notice(const std::string& text) override;

  // Answers for questions (default: OK, and the proposed default answer).
  bool ok_cancel_answer = true;
  std::optional<std::string> input_answer;  // nothing: the default answer
  // Called by Refresh(), to draw progress; may be empty.
  std::function<void()> on_refresh;
  // Called by DoEvents() when Ctrl-C was pressed since the last call.
  std::function<void()> on_interrupt;

  const std::vector<std::string>& messages() const { return messages_; }

 private:
  std::ostream& err_;
  std::vector<std::string> messages_;
};

// While it lives, the first Ctrl-C asks the run to stop instead of ending the
// program: a transfer cancels (through ConsoleUi::on_interrupt at the next
// yield), and what comes after looks at TakePending between its steps. A
// second Ctrl-C ends the program at once, as does any Ctrl-C afterwards. A
// termination request (SIGTERM) or a hang-up (SIGHUP) is taken as a Ctrl-C; a
// signal the program was started with ignored stays ignored.
class ScopedInterruptHandler {
 public:
  ScopedInterruptHandler();
  ~ScopedInterruptHandler();
  ScopedInterruptHandler(const ScopedInterruptHandler&) = delete;
  ScopedInterruptHandler& operator=(const ScopedInterruptHandler&) = delete;
  // A Ctrl-C no yield has seen yet (one pressed after the last), taken.
  bool TakePending();
  // How many Ctrl-Cs (and termination requests) any handler took so far.
  static int Count();

 private:
  struct sigaction previous_ {};
  struct sigaction previous_term_ {};
  struct sigaction previous_hup_ {};
};

}  // namespace sorvane::cli
