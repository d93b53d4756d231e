// Renders the program's windows offscreen into PNG files for the documentation:
// the main window after start-up, the check window on a small facility with
// problems, and a reference list. Works on a temporary data folder with a fresh
// work database, so it never touches the person's own data.
//
//   QT_QPA_PLATFORM=offscreen sorvane-screenshot OUTPUT_DIR
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

// A small facility whose sample locations break a few rules, so the check
// window has failures to show.
void LoadSampleLocations(sorvane::Connection& conn) {
  conn.ExecuteNative(
      "INSERT INTO MT_TEMP1 (SITE, POINT_ID, LAT_DD, LAT_MM, LAT_SS, LONG_DD, LONG_MM, LONG_SS,"
      " NAVD, COL_METHOD, COL_DATE, CONTRACT, COMMENTS, REVIEWED) VALUES"
      " ('1234567', 'MW-1', 35, 12, 30.5, 80, 45, 10.25, 712.4, 'GPS', '2001-05-14 00:00:00',"
      "  'C1234', '', 'NEW'),"
      " ('1234567', 'MW-2', 35, 12, 31.5, 80, 45, 11.0, NULL, 'GPS', '2001-05-14 00:00:00',"
      "  'C1234', '', 'NEW'),"
      " ('1234567', 'MW-2', 35, 72, 31.5, 80, 45, 11.0, 713.0, 'XX', '2001-05-14 00:00:00',"
      "  'C9999', 'duplicate point', 'NEW')");
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QDir out(argc > 1 ? argv[1] : "docs/screenshots");
  if (!QDir().mkpath(out.path())) return 1;
  QTemporaryDir data;
  if (!data.isValid()) return 1;

  sorvane::Paths paths;
  paths.data_dir = data.path().toStdString();
  try {
    std::filesystem::create_directories(paths.WorkbookDir());
    sorvane::Connection conn;
    conn.Create(paths.WorkDb());
    sorvane::InstallWorkDatabase(conn);
  } catch (const sorvane::Error& e) {
    std::cerr << e.NumberDescription() << "\n";
    return 1;
  }

  ScreenshotUi ui;
  sorvane::frmCMain form(ui, paths);
  ui.Attach(form);
  ui.main_window()->show();
  if (!form.Form_Load()) return 2;
  form.state().view.txtFacilityID.text = "1234567";
  ui.Refresh();
  bool ok = Save(ui.main_window(), out, "main-window.png");

  // The check window over a facility whose tables all came through the import.
  try {
    LoadSampleLocations(form.state().WorkConn);
  } catch (const sorvane::Error& e) {
    std::cerr << e.NumberDescription() << "\n";
    return 1;
  }
  form.state().FacilityID = "1234567";
  for (int n = 1; n <= 5; ++n) form.state().Tables[n].TableStatus = 6;
  form.UpdateMenus(false);
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
