#include "console_ui.h"

#include <atomic>
#include <csignal>
#include <ostream>

namespace sorvane::cli {
namespace {

std::atomic<bool> interrupted{false};
std::atomic<int> interrupts{0};
static_assert(std::atomic<int>::is_always_lock_free, "counted in a signal handler");

extern "C" void OnInterrupt(int) {
  interrupted.store(true);
  interrupts.fetch_add(1);
}

}  // namespace

std::string ForTerminal(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  auto hex = [&](unsigned char byte) {
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 0xF];
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const auto byte = static_cast<unsigned char>(c);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (c == '\r') {
      out += '\n';
    } else if ((byte < 0x20 && c != '\n' && c != '\t') || byte == 0x7F) {
      hex(byte);
    } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
      // U+0080..U+009F: a UTF-8 terminal obeys these too (U+009B opens a
      // sequence as ESC [ does).
      hex(byte);
      hex(next);
      ++i;
    } else {
      out += c;
    }
  }
  return out;
}

ConsoleUi::ConsoleUi(std::ostream& err) : err_(err) {}

void ConsoleUi::MessageBox(const std::string& text) {
  messages_.push_back(text);
  err_ << ForTerminal(text) << '\n';
  err_.flush();
}

bool ConsoleUi::AskOkCancel(const std::string& text) {
  messages_.push_back(text);
  err_ << ForTerminal(text) << (ok_cancel_answer ? " [OK]" : " [Cancel]") << '\n';
  return ok_cancel_answer;
}

std::optional<std::string> ConsoleUi::InputBox(const std::string&, const std::string&,
                                               const std::string& default_answer) {
  if (input_answer) return input_answer;
  return default_answer;
}

void ConsoleUi::Notice(const std::string& text) {
  err_ << ForTerminal(text) << '\n';
  err_.flush();
}

std::optional<std::string> ConsoleUi::PasswordBox(const std::string&, const std::string&) {
  return std::nullopt;
}

void ConsoleUi::Refresh() {
  if (on_refresh) on_refresh();
}

bool ConsoleUi::InterruptPending() const { return interrupted.load(); }

void ConsoleUi::DoEvents() {
  if (interrupted.exchange(false) && on_interrupt) on_interrupt();
}

namespace {

// Takes `signal` unless the program was started with it ignored: a shell
// starts a run in the background (`sorvane review … &` in a script) with
// Ctrl-C ignored, and that Ctrl-C is meant for what runs in the foreground.
void Take(int signal, struct sigaction& previous) {
  if (sigaction(signal, nullptr, &previous) != 0) {
    previous.sa_handler = SIG_DFL;
    return;
  }
  if (!(previous.sa_flags & SA_SIGINFO) && previous.sa_handler == SIG_IGN) return;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // The first one asks; one more is a person who will not wait.
  action.sa_flags = SA_RESETHAND;
  sigaction(signal, &action, nullptr);
}

}  // namespace

ScopedInterruptHandler::ScopedInterruptHandler() {
  interrupted.store(false);
  Take(SIGINT, previous_);
  // A termination request (`timeout`, a service manager, `kill`), or the
  // terminal closing, stops the run the same way, so the work database is left
  // emptied rather than full.
  Take(SIGTERM, previous_term_);
  Take(SIGHUP, previous_hup_);
}

ScopedInterruptHandler::~ScopedInterruptHandler() {
  sigaction(SIGINT, &previous_, nullptr);
  sigaction(SIGTERM, &previous_term_, nullptr);
  sigaction(SIGHUP, &previous_hup_, nullptr);
}

bool ScopedInterruptHandler::TakePending() { return interrupted.exchange(false); }

int ScopedInterruptHandler::Count() { return interrupts.load(); }

}  // namespace sorvane::cli
