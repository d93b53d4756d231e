// The desktop program's options, and the question whether to make a work
// database when there is none, answered in the real dialogs.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "command_line.h"
#include "ui_test_support.h"

namespace sorvane::testing {
namespace {

TEST(CommandLine, TakesTheDataFolderHelpAndVersionAndRefusesTheRest) {
  const std::string usage = "Usage: sorvane-gui [--data-dir DIR]\n";
  const struct {
    QStringList args;
    int exit_code;  // -1: the window starts
    std::string out_or_err, data_dir;
  } cases[] = {
      {{}, -1, "", ""},
      {{"--data-dir", "my data"}, -1, "", "my data"},
      {{"--help"}, 0, usage, ""},
      {{"--version"}, 0, "sorvane-gui 1.0\n", ""},
      {{"-h", "--bogus"}, 2, "sorvane-gui: Unknown option 'bogus'.\n\n" + usage, ""},
      {{"--data-dir"}, 2, "sorvane-gui: Missing value after '--data-dir'.\n\n" + usage, ""},
      {{"demo-data"}, 2, "sorvane-gui: Unexpected argument 'demo-data'.\n\n" + usage, ""},
  };
  for (const auto& c : cases) {
    const gui::CommandLine r = gui::ParseCommandLine(QStringList{"sorvane-gui"} + c.args);
    EXPECT_EQ(r.run ? -1 : r.exit_code, c.exit_code) << c.args.join(' ').toStdString();
    EXPECT_TRUE((r.exit_code == 2 ? r.err : r.out).starts_with(c.out_or_err)) << r.out << r.err;
    EXPECT_EQ(r.data_dir, c.data_dir);
  }
}

TEST(FirstStart, NoEndsTheProgramAndYesLeavesTheWindowReadyForAFacility) {
  EnsureQtApp();
  TempDataDir share;
  setenv("XDG_DATA_HOME", share.dir().c_str(), 1);
  for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
    TempDataDir data;
    gui::QtUi ui;
    frmCMain form(ui, data.paths());
    ui.Attach(form);
    ui.main_window()->show();
    QStringList texts;  // OK on the missing-database message, then `answer`
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QAbstractButton* b = box ? box->button(texts.empty() ? QMessageBox::Ok : answer) : nullptr;
      if (b != nullptr && !texts.contains(box->text())) texts << box->text(), b->click();
    });
    clicker.start(10);
    const bool yes = answer == QMessageBox::Yes;
    EXPECT_EQ(form.Form_Load(), yes);
    EXPECT_EQ(texts.value(1),
              gui::Q("Create a new work database in " + data.dir().string() + " now?"));
    EXPECT_EQ(ui.main_window()->isVisible(), yes);
    EXPECT_TRUE(!yes || ui.main_window()->findChild<QAction*>("mnuRunData(0)")->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    form.Form_Unload();
  }
  unsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace sorvane::testing
