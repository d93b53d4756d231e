#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QRadioButton>
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

void ExpectShows(QWidget* window, const std::string& name, const LabelState& state) {
  auto* label = window->findChild<QLabel*>(QString::fromStdString(name));
  ASSERT_NE(label, nullptr) << name;
  QString caption = QString::fromStdString(state.caption);
  EXPECT_EQ(label->text(), caption.replace('\r', '\n')) << name;
  EXPECT_EQ(label->toolTip().toStdString(), state.tooltip) << name;
  EXPECT_EQ(label->isVisibleTo(window), state.visible) << name;
  EXPECT_EQ(label->font().bold(), state.bold) << name;
  EXPECT_EQ(label->font().underline(), state.underline) << name;
  EXPECT_EQ(label->autoFillBackground(), state.highlighted) << name;
}

void ExpectShows(QWidget* window, const std::string& name, const OptionState& state) {
  auto* button = window->findChild<QRadioButton*>(QString::fromStdString(name));
  ASSERT_NE(button, nullptr) << name;
  EXPECT_EQ(button->text().toStdString(), state.caption) << name;
  EXPECT_EQ(button->isChecked(), state.selected) << name;
  EXPECT_EQ(button->isEnabled(), state.enabled) << name;
  EXPECT_EQ(button->isVisibleTo(window), state.visible) << name;
}

void ExpectShows(QWidget* window, const MenuMap& menus) {
  for (const auto& [name, state] : menus.all()) {
    auto* action = window->findChild<QAction*>(QString::fromStdString(name));
    ASSERT_NE(action, nullptr) << name;
    EXPECT_EQ(action->isEnabled(), state.enabled) << name;
    EXPECT_EQ(action->isChecked(), state.checked) << name;
    EXPECT_EQ(action->isVisible(), state.visible) << name;
  }
}

QAction* StartedProgram::Action(const char* name) {
  QAction* a = window().findChild<QAction*>(name);
  EXPECT_NE(a, nullptr) << "no menu entry " << name;
  return a;
}

}  // namespace sorvane::testing
