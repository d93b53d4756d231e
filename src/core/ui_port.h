// Everything the program needs from a person or a screen. The Qt front-end shows
// real dialogs and repaints its widgets; the command line prints messages to
// stderr and answers questions from its options; tests script the answers.
#pragma once

#include <optional>
#include <string>

namespace sorvane {

class UiPort {
 public:
  virtual ~UiPort() = default;

  // A modal message with the OK button only, no icon, the program's title.
  virtual void MessageBox(const std::string& text) = 0;
  // A question with OK and Cancel; true for OK.
  virtual bool AskOkCancel(const std::string& text) = 0;
  // A question with Yes and No; true for Yes. A port with nobody to ask (a
  // batch run) answers No.
  virtual bool AskYesNo(const std::string& text) {
    (void)text;
    return false;
  }
  // An input box; nothing when the person cancels.
  virtual std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                              const std::string& default_answer) = 0;
  // An input box for a password, whose typing is not shown; nothing when the
  // person cancels.
  virtual std::optional<std::string> PasswordBox(const std::string& prompt,
                                                 const std::string& title) {
    return InputBox(prompt, title, "");
  }
  // A folder the person chooses (`title` says what for); nothing when they
  // cancel, or where nobody can choose (a batch run).
  virtual std::optional<std::string> ChooseFolder(const std::string& title) {
    (void)title;
    return std::nullopt;
  }
  // The state of a window changed: repaint what shows it.
  virtual void Refresh() = 0;
  // Yield to the message loop so the window stays responsive and menu clicks
  // (such as a cancel) can arrive.
  virtual void DoEvents() = 0;
  // While work that takes no input goes on elsewhere: repaint and answer the
  // desktop (so the windows are not taken for hung), taking nothing the person
  // types or clicks.
  virtual void KeepAlive() {}
  // Whether the person sees windows that need painting while work goes on
  // (the command line shows none).
  virtual bool ShowsWindows() const { return false; }
  // Whether a stop was asked for (Ctrl-C) that the next DoEvents delivers;
  // any thread may ask, so that work on another core stops at once too.
  virtual bool InterruptPending() const { return false; }
  // Move the keyboard focus to a control, by its name ("me_ReviewDate").
  virtual void SetFocus(const std::string& control) { (void)control; }
  // A window of the program was opened, brought forward or closed
  // ("frmCCheckView", "frmCMinorTableView").
  virtual void WindowShown(const std::string& window) { (void)window; }
  virtual void WindowClosed(const std::string& window) { (void)window; }
  // A passing word that needs no answer and no window of its own (a wait that
  // has begun); the window's status line shows it already.
  virtual void Notice(const std::string& text) { (void)text; }
  // A document the person should see (the error workbook): open it in the
  // desktop's program for it, or say where it is.
  virtual void OpenDocument(const std::string& path) { (void)path; }
};

// A port that shows nothing and answers OK / the default; for batch use.
class SilentUi : public UiPort {
 public:
  void MessageBox(const std::string&) override {}
  bool AskOkCancel(const std::string&) override { return true; }
  std::optional<std::string> InputBox(const std::string&, const std::string&,
                                      const std::string& default_answer) override {
    return default_answer;
  }
  void Refresh() override {}
  void DoEvents() override {}
};

}  // namespace sorvane
