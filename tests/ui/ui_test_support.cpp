#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <cstdlib>

// Fontconfig keeps a cache for the life of the process that the leak checker
// cannot tell from a leak; nothing of ours is hidden by this.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace sorvane::testing {

void EnsureQtApp() {
  if (QApplication::instance() != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "test_ui";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  (void)app;
}

StartedProgram::StartedProgram() {
  EnsureQtApp();
  data.CreateWorkDb();
  form = std::make_unique<frmCMain>(ui, data.paths());
  ui.Attach(*form);
  window().show();
  load_result = form->Form_Load();
}

StartedProgram::~StartedProgram() {
  if (!form->unloaded()) form->Form_Unload();
}

QAction* StartedProgram::Action(const char* name) {
  QAction* a = window().findChild<QAction*>(name);
  EXPECT_NE(a, nullptr) << "no menu entry " << name;
  return a;
}

}  // namespace sorvane::testing
