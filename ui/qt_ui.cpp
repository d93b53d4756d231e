#include "qt_ui.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include "check_window.h"
#include "checks/frmCCheckView.h"
#include "handler_guard.h"
#include "main_window.h"
#include "reference_list_window.h"
#include "shell/frmCMain.h"
#include "viewers/frmCMinorTableView.h"

namespace sorvane::gui {

namespace {

constexpr const char* kMainWindow = "frmCMain";
constexpr const char* kCheckWindow = "frmCCheckView";
constexpr const char* kReferenceWindow = "frmCMinorTableView";

// While a dialog is up the person needs the arrow, whatever work is pending.
class ArrowWhileModal {
 public:
  ArrowWhileModal() { QApplication::setOverrideCursor(Qt::ArrowCursor); }
  ~ArrowWhileModal() { QApplication::restoreOverrideCursor(); }
};

}  // namespace

QtUi::QtUi() = default;

QtUi::~QtUi() {
  end_steps_.reset();
  // The windows go before the pointer keeper restores the cursor.
  reference_window_.reset();
  check_window_.reset();
  main_window_.reset();
}

void QtUi::Attach(frmCMain& form) {
  form_ = &form;
  main_window_ = std::make_unique<MainWindow>(form);
  // Set once and never replaced: the check threads call it.
  form.state().StopRequested = [this] { return ending_.load(); };
}

void QtUi::EndOnRequest() {
  if (ending_.exchange(true) || EndStep()) return;
  end_steps_ = std::make_unique<QTimer>();
  end_steps_->setInterval(20);
  QObject::connect(end_steps_.get(), &QTimer::timeout, [this] {
    if (EndStep()) end_steps_->stop();
  });
  end_steps_->start();
}

bool QtUi::EndStep() {
  if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
  if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) dialog->reject();
  if (form_ == nullptr || form_->unloaded()) return true;
  // An activity is cancelled now and unloads the window itself when it has
  // stopped, as when the person closes the window during it.
  if (form_->busy()) {
    form_->Form_Unload();
    return false;
  }
  // Elsewhere the unload waits for the main loop itself: a handler still
  // running (behind a dialog, or yielding) would go on over a closed database.
  if (RunningHandlers() > 0 || QThread::currentThread()->loopLevel() != 1) return false;
  RunHandler(*this, [this] { form_->Form_Unload(); });
  return true;
}

QWidget* QtUi::DialogParent() const {
  if (QWidget* active = QApplication::activeWindow()) return active;
  if (main_window_ && main_window_->isVisible()) return main_window_.get();
  return nullptr;
}

void QtUi::MessageBox(const std::string& text) {
  if (ending_) return;
  BeforeDialog();
  ArrowWhileModal arrow;
  QMessageBox box(QMessageBox::NoIcon, kProgramTitle, Q(text), QMessageBox::Ok, DialogParent());
  box.setObjectName("SorvaneMessage");
  box.exec();
}

bool QtUi::AskOkCancel(const std::string& text) {
  if (ending_) return false;
  BeforeDialog();
  ArrowWhileModal arrow;
  QMessageBox box(QMessageBox::NoIcon, kProgramTitle, Q(text),
                  QMessageBox::Ok | QMessageBox::Cancel, DialogParent());
  box.setObjectName("SorvaneQuestion");
  box.setDefaultButton(QMessageBox::Ok);
  return box.exec() == QMessageBox::Ok && !ending_;
}

bool QtUi::AskYesNo(const std::string& text) {
  if (ending_) return false;
  BeforeDialog();
  ArrowWhileModal arrow;
  QMessageBox box(QMessageBox::NoIcon, kProgramTitle, Q(text), QMessageBox::Yes | QMessageBox::No,
                  DialogParent());
  box.setObjectName("SorvaneYesNo");
  box.setDefaultButton(QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes && !ending_;
}

namespace {

std::optional<std::string> AskText(QWidget* parent, const std::string& prompt,
                                   const std::string& title, const std::string& default_answer,
                                   QLineEdit::EchoMode echo) {
  QInputDialog dialog(parent);
  dialog.setObjectName("SorvaneInput");
  dialog.setWindowTitle(title.empty() ? QString(kProgramTitle) : Q(title));
  dialog.setLabelText(Q(prompt));
  dialog.setTextEchoMode(echo);
  dialog.setTextValue(Q(default_answer));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.textValue().toStdString();
}

}  // namespace

std::optional<std::string> QtUi::InputBox(const std::string& prompt, const std::string& title,
                                          const std::string& default_answer) {
  if (ending_) return std::nullopt;
  BeforeDialog();
  ArrowWhileModal arrow;
  std::optional<std::string> answer =
      AskText(DialogParent(), prompt, title, default_answer, QLineEdit::Normal);
  return ending_ ? std::nullopt : answer;
}

std::optional<std::string> QtUi::PasswordBox(const std::string& prompt, const std::string& title) {
  if (ending_) return std::nullopt;
  BeforeDialog();
  ArrowWhileModal arrow;
  std::optional<std::string> answer =
      AskText(DialogParent(), prompt, title, "", QLineEdit::Password);
  return ending_ ? std::nullopt : answer;
}

std::optional<std::string> QtUi::ChooseFolder(const std::string& title) {
  if (ending_) return std::nullopt;
  BeforeDialog();
  ArrowWhileModal arrow;
  QFileDialog dialog(DialogParent(), Q(title),
                     last_folder_.isEmpty() ? QDir::homePath() : last_folder_);
  dialog.setObjectName("SorvaneFolder");
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty() || ending_)
    return std::nullopt;
  last_folder_ = dialog.selectedFiles().first();
  // The name as the file system spells it, which need not be UTF-8.
  return QFile::encodeName(dialog.selectedFiles().first()).toStdString();
}

void QtUi::BeforeDialog() {
  // The windows behind a dialog show the state the message speaks about, even
  // when the core has not asked for a repaint yet.
  Refresh();
}

void QtUi::Refresh() {
  if (main_window_) main_window_->Render();
  if (check_window_) check_window_->Render();
  if (reference_window_) reference_window_->Render();
  ApplyMousePointer();
}

void QtUi::ApplyMousePointer() {
  int pointer = kPointerDefault;
  if (form_ != nullptr && !form_->unloaded()) pointer = form_->state().view.mouse_pointer;
  if (pointer == kPointerDefault && check_window_ && check_window_->isVisible()) {
    pointer = check_window_->MousePointer();
  }
  pointer_.Apply(pointer);
}

void QtUi::DoEvents() { QCoreApplication::processEvents(); }

void QtUi::KeepAlive() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

void QtUi::SetFocus(const std::string& control) {
  const QString name = Q(control);
  for (QWidget* window :
       {static_cast<QWidget*>(main_window_.get()), static_cast<QWidget*>(check_window_.get()),
        static_cast<QWidget*>(reference_window_.get())}) {
    if (window == nullptr) continue;
    if (QWidget* w = window->findChild<QWidget*>(name)) {
      w->setFocus(Qt::OtherFocusReason);
      return;
    }
  }
}

void QtUi::Present(QWidget* w) {
  w->show();
  w->raise();
  w->activateWindow();
  Refresh();
}

void QtUi::WindowShown(const std::string& window) {
  if (form_ == nullptr) return;
  if (window == kMainWindow) {
    Present(main_window_.get());
  } else if (window == kCheckWindow) {
    if (!check_window_) {
      frmCMain* form = form_;
      check_window_ = std::make_unique<CheckWindow>(*this, [form] { return form->check_view(); });
    }
    Present(check_window_.get());
  } else if (window == kReferenceWindow) {
    if (!reference_window_) {
      frmCMain* form = form_;
      reference_window_ =
          std::make_unique<ReferenceListWindow>(*this, [form] { return form->reference_view(); });
    }
    Present(reference_window_.get());
  }
}

void QtUi::WindowClosed(const std::string& window) {
  // Hiding, not closing: the core has already unloaded the window, and a close
  // event would ask it to unload again.
  if (window == kMainWindow) {
    if (check_window_) check_window_->hide();
    if (reference_window_) reference_window_->hide();
    if (main_window_) main_window_->hide();
    ApplyMousePointer();
    // Only a running main loop is ended: asking for an exit outside it would
    // make every later dialog return at once.
    if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(0);
  } else if (window == kCheckWindow) {
    if (check_window_) check_window_->hide();
  } else if (window == kReferenceWindow) {
    if (reference_window_) reference_window_->hide();
  }
}

void QtUi::OpenDocument(const std::string& path) {
  if (ending_) return;
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(Q(path)))) {
    MessageBox("The workbook could not be opened here. It was saved as " + path);
  }
}

}  // namespace sorvane::gui
