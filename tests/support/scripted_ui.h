// A UI port for tests: records every message, answers questions from queues
// (OK and the default answer when a queue is empty) and counts repaints and yields.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/ui_port.h"

namespace sorvane::testing {

class ScriptedUi : public UiPort {
 public:
  void MessageBox(const std::string& text) override { messages.push_back(text); }
  bool AskOkCancel(const std::string& text) override {
    questions.push_back(text);
    return Next(ok_cancel_answers, true);
  }
  bool AskYesNo(const std::string& text) override {  // No once the queue is empty
    questions.push_back(text);
    return Next(yes_no_answers, false);
  }
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& default_answer) override {
    input_prompts.push_back(prompt);
    input_titles.push_back(title);
    input_defaults.push_back(default_answer);
    return Next(input_answers, std::optional(default_answer));
  }
  std::optional<std::string> ChooseFolder(const std::string& title) override {
    input_titles.push_back(title);
    return Next(folder_answers, std::optional<std::string>());
  }
  void Refresh() override {
    if (on_refresh) on_refresh();
  }
  void DoEvents() override {
    ++yields;
    if (on_yield) on_yield();
  }
  void KeepAlive() override { ++keep_alives; }
  // A Ctrl-C waiting for the next yield, asked for from any thread.
  bool InterruptPending() const override {
    ++interrupt_asks;
    return interrupt_pending;
  }
  std::atomic<bool> interrupt_pending{false};
  mutable std::atomic<int> interrupt_asks{0};
  void SetFocus(const std::string& control) override { focus.push_back(control); }
  void WindowShown(const std::string& window) override { windows_shown.push_back(window); }
  void WindowClosed(const std::string& window) override { windows_closed.push_back(window); }
  void OpenDocument(const std::string& path) override { documents.push_back(path); }

  std::vector<std::string> messages;
  std::vector<std::string> questions;
  std::deque<bool> ok_cancel_answers, yes_no_answers;
  std::vector<std::string> input_prompts, input_titles, input_defaults;
  std::deque<std::optional<std::string>> input_answers, folder_answers;
  std::vector<std::string> focus, windows_shown, windows_closed, documents;
  int yields = 0, keep_alives = 0;
  std::function<void()> on_yield;    // runs at every yield (a click during a transfer)
  std::function<void()> on_refresh;  // runs at every repaint (a label just set)

 private:
  // The first answer of `queue`, taken from it, or `otherwise` when it is empty.
  template <typename T>
  static T Next(std::deque<T>& queue, T otherwise) {
    if (queue.empty()) return otherwise;
    T answer = std::move(queue.front());
    queue.pop_front();
    return answer;
  }
};

}  // namespace sorvane::testing
