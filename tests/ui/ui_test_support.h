// Shared pieces of the desktop front-end tests: one QApplication for the whole
// program (offscreen unless told otherwise), a Qt port that records messages
// and answers questions instead of showing them, and a started main window
// over a temporary data folder with a full work database.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "main_window.h"
#include "qt_ui.h"
#include "shell/frmCMain.h"
#include "support/work_db.h"

class QAction;
class QWidget;

namespace sorvane::testing {

// Creates the application on first use.
void EnsureQtApp();

// The widgets of `window` named `name`(i) draw states[i]: a label's caption,
// tool tip, visibility, font and attention style; an option button's caption,
// selection, enabling and visibility; and every menu item its state.
void ExpectShows(QWidget* window, const std::string& name, const LabelState& state);
void ExpectShows(QWidget* window, const std::string& name, const OptionState& state);
void ExpectShows(QWidget* window, const MenuMap& menus);
template <class States>
void ExpectShowsEach(QWidget* window, const std::string& name, const States& states) {
  for (size_t i = 0; i < states.size(); ++i)
    ExpectShows(window, ControlName(name, static_cast<int>(i)), states[i]);
}

// The real Qt port with its dialogs replaced by records and fixed answers.
class RecordingQtUi : public gui::QtUi {
 public:
  void MessageBox(const std::string& text) override { messages.push_back(text); }
  // Questions take OK, No and the default answer.
  bool AskOkCancel(const std::string&) override { return true; }
  bool AskYesNo(const std::string&) override { return false; }
  std::optional<std::string> InputBox(const std::string&, const std::string&,
                                      const std::string& default_answer) override {
    return default_answer;
  }
  void OpenDocument(const std::string& path) override { documents.push_back(path); }
  void KeepAlive() override {
    ++keep_alives;
    gui::QtUi::KeepAlive();
  }
  int keep_alives = 0;
  void DoEvents() override {
    gui::QtUi::DoEvents();
    if (on_yield) on_yield();
  }
  // Runs at every yield of a long activity (what a person does meanwhile).
  std::function<void()> on_yield;

  std::vector<std::string> messages, documents;
};

// A main window started on a data folder with a work database.
class StartedProgram {
 public:
  StartedProgram();
  ~StartedProgram();

  TempDataDir data;
  RecordingQtUi ui;
  std::unique_ptr<frmCMain> form;
  bool load_result = false;

  gui::MainWindow& window() { return *ui.main_window(); }
  // The menu entry with this control name (fails the test when missing).
  QAction* Action(const char* name);
  template <typename T>
  T* Widget(const char* name) {
    return window().findChild<T*>(name);
  }
};

}  // namespace sorvane::testing
