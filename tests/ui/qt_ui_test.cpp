// The Qt port's own dialogs, answered the way a person would, and the Enter
// key of the Facility ID box.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "ui_test_support.h"

namespace sorvane::testing {
namespace {

// Runs `answer` on the modal dialog as soon as it is up.
void WhenDialogShows(std::function<void(QWidget*)> answer) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, answer] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      answer(modal);
    }
  });
  timer->start();
}

class QtUiDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureQtApp(); }
  gui::QtUi ui;
};

TEST_F(QtUiDialogTest, MessagesAndQuestionsHaveTheProgramsTitleNoIconAndTheirButtons) {
  using Box = QMessageBox;
  const struct {
    std::function<bool()> show;
    Box::StandardButtons buttons;
    Box::StandardButton click;
    bool answer;
  } cases[] = {
      {[&] { return ui.MessageBox("Insert the disk."), true; }, Box::Ok, Box::Ok, true},
      {[&] { return ui.AskOkCancel("Insert the disk."); }, Box::Ok | Box::Cancel, Box::Ok, true},
      {[&] { return ui.AskOkCancel("Insert the disk."); }, Box::Ok | Box::Cancel, Box::Cancel,
       false},
      {[&] { return ui.AskYesNo("Insert the disk."); }, Box::Yes | Box::No, Box::Yes, true},
  };
  for (const auto& c : cases) {
    QString title, text;
    Box::Icon icon = Box::Warning;
    Box::StandardButtons buttons;
    WhenDialogShows([&](QWidget* w) {
      auto* box = qobject_cast<Box*>(w);
      ASSERT_NE(box, nullptr);
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      buttons = box->standardButtons();
      box->button(c.click)->click();
    });
    EXPECT_EQ(c.show(), c.answer);
    EXPECT_EQ(title, "Sorvane");
    EXPECT_EQ(text, "Insert the disk.");
    EXPECT_EQ(icon, Box::NoIcon);
    EXPECT_EQ(buttons, c.buttons);
  }
}

TEST_F(QtUiDialogTest, InputBoxGivesTheTypedTextOrNothingOnCancel) {
  QString shown_default, title;
  WhenDialogShows([&](QWidget* w) {
    auto* dialog = qobject_cast<QInputDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    shown_default = dialog->textValue();
    title = dialog->windowTitle();
    dialog->setTextValue("250");
    dialog->accept();
  });
  EXPECT_EQ(ui.InputBox("How many records?", "Records", "100"), "250");
  EXPECT_EQ(shown_default, "100");
  EXPECT_EQ(title, "Records");

  WhenDialogShows([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
  EXPECT_EQ(ui.InputBox("How many records?", "", "100"), std::nullopt);
}

TEST(FacilityIdBox, EnterRunsTheImportOfAllTablesAndOtherKeysOnlyType) {
  StartedProgram program;
  ASSERT_TRUE(program.load_result);
  auto* box = program.Widget<QLineEdit>("txtFacilityID");
  QTest::keyClicks(box, "12345\t");
  EXPECT_TRUE(program.ui.messages.empty());
  box->clear();
  QTest::keyClicks(box, "1234567");
  QTest::keyClick(box, Qt::Key_Return);
  // With no workbooks in the folder the import ends with its complaint.
  ASSERT_EQ(program.ui.messages.size(), 1u);
  EXPECT_TRUE(program.ui.messages[0].starts_with("Five files for 1234567 were not found"));
}

}  // namespace
}  // namespace sorvane::testing
