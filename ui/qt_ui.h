// The UI port of the desktop program. Messages, questions and the input box are
// real modal dialogs titled with the program's name, and the folder chooser
// opens where the last choice ended; Refresh redraws every open
// window from the state of its core object and applies the mouse pointer;
// DoEvents runs the Qt event loop once; the windows of the program are created
// on first use and shown, raised or hidden when the core says so. The main
// window closing ends the event loop.
#pragma once

#include <QString>
#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "core/ui_port.h"
#include "state_render.h"

class QTimer;
class QWidget;

namespace sorvane {
class frmCMain;
}

namespace sorvane::gui {

class CheckWindow;
class MainWindow;
class ReferenceListWindow;

inline constexpr const char* kProgramTitle = "Sorvane";

class QtUi : public UiPort {
 public:
  QtUi();
  ~QtUi() override;
  QtUi(const QtUi&) = delete;
  QtUi& operator=(const QtUi&) = delete;

  // Connects the port to the program's main window (built with this port) and
  // creates its Qt window. Call once, before Form_Load.
  void Attach(frmCMain& form);

  // The system asked the program to end (termination_watch.h). The dialog up
  // is closed and every later one is answered, unseen, as its Cancel or No
  // would be; an import is cancelled, checks and outputs stop between steps
  // (the run's StopRequested), and once the event loop is between handlers
  // the main window is unloaded as Exit does, which ends the loop.
  void EndOnRequest();
  bool ending() const { return ending_; }

  MainWindow* main_window() const { return main_window_.get(); }
  // Null until the core first shows that window.
  CheckWindow* check_window() const { return check_window_.get(); }
  ReferenceListWindow* reference_window() const { return reference_window_.get(); }

  void MessageBox(const std::string& text) override;
  bool AskOkCancel(const std::string& text) override;
  // Yes is the default button.
  bool AskYesNo(const std::string& text) override;
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& default_answer) override;
  std::optional<std::string> PasswordBox(const std::string& prompt,
                                         const std::string& title) override;
  std::optional<std::string> ChooseFolder(const std::string& title) override;
  void Refresh() override;
  void DoEvents() override;
  void KeepAlive() override;
  bool ShowsWindows() const override { return true; }
  void SetFocus(const std::string& control) override;
  void WindowShown(const std::string& window) override;
  void WindowClosed(const std::string& window) override;
  void OpenDocument(const std::string& path) override;

 private:
  // The window a dialog belongs to: the active one, else the main window.
  QWidget* DialogParent() const;
  // Shows `w`, brings it to the front and renders it.
  void Present(QWidget* w);
  void ApplyMousePointer();
  void BeforeDialog();
  // One step of ending on request; true once there is nothing left to do.
  bool EndStep();

  frmCMain* form_ = nullptr;
  std::unique_ptr<MainWindow> main_window_;
  std::unique_ptr<CheckWindow> check_window_;
  std::unique_ptr<ReferenceListWindow> reference_window_;
  PointerKeeper pointer_;
  QString last_folder_;              // the folder chosen last, where the next choice starts
  std::atomic<bool> ending_{false};  // read by the check threads
  std::unique_ptr<QTimer> end_steps_;
};

}  // namespace sorvane::gui
