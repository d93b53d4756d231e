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

TEST_F(QtUiDialogTest, MessageBoxHasOnlyOkNoIconAndTheProgramsTitle) {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::Warning;
  QMessageBox::StandardButtons buttons;
  WhenDialogShows([&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    title = box->windowTitle();
    text = box->text();
    icon = box->icon();
    buttons = box->standardButtons();
    box->button(QMessageBox::Ok)->click();
  });
  ui.MessageBox("Please check the date.  There appears to be an error.");
  EXPECT_EQ(title, "Sorvane");
  EXPECT_EQ(text, "Please check the date.  There appears to be an error.");
  EXPECT_EQ(icon, QMessageBox::NoIcon);
  EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

TEST_F(QtUiDialogTest, QuestionAnswersOkOrCancel) {
  for (const bool ok : {true, false}) {
    QMessageBox::StandardButtons buttons;
    WhenDialogShows([&](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      ASSERT_NE(box, nullptr);
      buttons = box->standardButtons();
      box->button(ok ? QMessageBox::Ok : QMessageBox::Cancel)->click();
    });
    EXPECT_EQ(ui.AskOkCancel("Insert the disk and press OK."), ok);
    EXPECT_EQ(buttons, QMessageBox::Ok | QMessageBox::Cancel);
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

TEST(FacilityIdBox, EnterRunsTheSameImportAsAllTables) {
  // With no workbooks in the folder both ways end with the same complaint.
  StartedProgram by_key, by_menu;
  ASSERT_TRUE(by_key.load_result);
  ASSERT_TRUE(by_menu.load_result);
  QTest::keyClicks(by_key.Widget<QLineEdit>("txtFacilityID"), "1234567");
  QTest::keyClick(by_key.Widget<QLineEdit>("txtFacilityID"), Qt::Key_Return);
  QTest::keyClicks(by_menu.Widget<QLineEdit>("txtFacilityID"), "1234567");
  by_menu.Action("mnuRunData(0)")->trigger();

  // Each program has its own data folder; the messages name it.
  auto messages = [](StartedProgram& p) {
    std::vector<std::string> out;
    for (std::string m : p.ui.messages) {
      const std::string dir = p.data.dir().string();
      for (size_t at; (at = m.find(dir)) != std::string::npos;) m.replace(at, dir.size(), "<data>");
      out.push_back(m);
    }
    return out;
  };
  EXPECT_FALSE(by_menu.ui.messages.empty());
  EXPECT_EQ(messages(by_key), messages(by_menu));
  EXPECT_EQ(by_key.form->state().view.lblStatusAll.caption,
            by_menu.form->state().view.lblStatusAll.caption);

  // Other keys do nothing but type.
  by_key.ui.messages.clear();
  QTest::keyClicks(by_key.Widget<QLineEdit>("txtFacilityID"), "12345\t");
  EXPECT_TRUE(by_key.ui.messages.empty());
}

}  // namespace
}  // namespace sorvane::testing
