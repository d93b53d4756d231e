#include "console_ui.h"

#include <atomic>
#include <csignal>
#include <ostream>

namespace sorvane::cli {
namespace {

std::atomic<bool> interrupted{false};

extern "C" void OnInterrupt(int) { interrupted.store(true); }

}  // namespace

std::string ForTerminal(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\r') {
      out += '\n';
    } else if ((byte < 0x20 && c != '\n' && c != '\t') || byte == 0x7F) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
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

void ConsoleUi::Refresh() {
  if (on_refresh) on_refresh();
}

void ConsoleUi::DoEvents() {
  if (interrupted.exchange(false) && on_interrupt) on_interrupt();
}

ScopedInterruptHandler::ScopedInterruptHandler() {
  interrupted.store(false);
  previous_ = std::signal(SIGINT, OnInterrupt);
  if (previous_ == SIG_ERR) previous_ = SIG_DFL;
}

ScopedInterruptHandler::~ScopedInterruptHandler() { std::signal(SIGINT, previous_); }

}  // namespace sorvane::cli
