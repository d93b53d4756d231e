// Renders the program's windows offscreen into PNG files for the documentation:
// the main window after importing the sample facility, the check window on its
// sample locations, and a reference list. Works on a temporary data folder
// with a fresh work database, so it never touches the person's own data.
//
//   QT_QPA_PLATFORM=offscreen sorvane-screenshot OUTPUT_DIR SAMPLE_DIR
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QWidget>
#include <iostream>

#include "check_window.h"
#include "checks/frmCCheckView.h"
#include "core/errors.h"
#include "main_window.h"
#include "qt_ui.h"
#include "reference_list_window.h"
#include "shell/frmCMain.h"
#include "workdb/connection.h"
#include "workdb/work_database.h"

// Fontconfig keeps a cache for the life of the process that a sanitized
// build's leak checker cannot tell from a leak.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

// Dialogs cannot be answered offscreen: messages go to stderr instead.
class ScreenshotUi : public sorvane::gui::QtUi {
 public:
  void MessageBox(const std::string& text) override { std::cerr << "message: " << text << "\n"; }
  bool AskOkCancel(const std::string& text) override {
    std::cerr << "question: " << text << "\n";
    return true;
  }
  std::optional<std::string> InputBox(const std::string&, const std::string&,
                                      const std::string& default_answer) override {
    return default_answer;
  }
};

bool Save(QWidget* window, const QDir& out, const QString& file) {
  if (window == nullptr || !window->isVisible()) {
    std::cerr << "not shown: " << file.toStdString() << "\n";
    return false;
  }
  QApplication::processEvents();
  const QString path = out.filePath(file);
  if (!window->grab().save(path)) {
    std::cerr << "cannot write " << path.toStdString() << "\n";
    return false;
  }
  std::cout << path.toStdString() << "\n";
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QDir out(argc > 1 ? argv[1] : "docs/screenshots");
  const std::filesystem::path sample(argc > 2 ? argv[2] : "data/sample");
  if (!QDir().mkpath(out.path())) return 1;
  QTemporaryDir data;
  if (!data.isValid()) return 1;

  sorvane::Paths paths;
  paths.data_dir = data.path().toStdString();
  try {
    std::filesystem::create_directories(paths.WorkbookDir());
    for (const auto& entry : std::filesystem::directory_iterator(sample)) {
      if (entry.path().extension() == ".xls") {
        std::filesystem::copy_file(entry.path(), paths.WorkbookDir() / entry.path().filename());
      }
    }
    sorvane::Connection conn;
    conn.Create(paths.WorkDb());
    sorvane::InstallWorkDatabase(conn);
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }

  ScreenshotUi ui;
  sorvane::frmCMain form(ui, paths);
  ui.Attach(form);
  ui.main_window()->show();
  if (!form.Form_Load()) return 2;
  form.state().view.txtFacilityID.text = "1234567";
  form.mnuRunData_Click(0);
  ui.Refresh();
  bool ok = Save(ui.main_window(), out, "main-window.png");
  form.mnuTabView_Click(3);
  ok = Save(ui.main_window(), out, "main-window-table-view.png") && ok;
  form.mnuTabView_Click(0);

  form.mnuCheckTables_Click(1);
  if (ui.check_window() != nullptr) {
    ok = Save(ui.check_window(), out, "check-window.png") && ok;
  }

  form.mnuViewRef_Click(2);
  if (ui.reference_window() != nullptr) {
    ok = Save(ui.reference_window(), out, "reference-list.png") && ok;
  }
  form.Form_Unload();
  return ok ? 0 : 1;
}
