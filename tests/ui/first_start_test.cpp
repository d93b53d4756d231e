// The desktop program's first start: its options, and the question whether to
// make a work database when there is none, answered in the real dialogs.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "command_line.h"
#include "ui_test_support.h"

namespace sorvane::testing {
namespace {

namespace fs = std::filesystem;

TEST(CommandLine, TakesTheDataFolderHelpAndVersionAndRefusesTheRest) {
  struct Case {
    QStringList args;
    bool run;
    int exit_code;
    std::string out_starts, err_starts, data_dir;
  };
  const std::string usage = "Usage: sorvane-gui [--data-dir DIR]\n";
  const Case cases[] = {
      {{}, true, 0, "", "", ""},
      {{"--data-dir", "demo-data"}, true, 0, "", "", "demo-data"},
      {{"--data-dir=/srv/my data"}, true, 0, "", "", "/srv/my data"},
      {{"--help"}, false, 0, usage, "", ""},
      {{"-h", "--bogus"}, false, 2, "", "sorvane-gui: Unknown option 'bogus'.\n\n" + usage, ""},
      {{"--version"}, false, 0, "sorvane-gui 1.0\n", "", ""},
      {{"--bogus"}, false, 2, "", "sorvane-gui: Unknown option 'bogus'.\n\n" + usage, ""},
      {{"--data-dir"},
       false,
       2,
       "",
       "sorvane-gui: Missing value after '--data-dir'.\n\n" + usage,
       ""},
      {{"--data-dir="}, false, 2, "", "sorvane-gui: --data-dir needs a folder.\n\n" + usage, ""},
      {{"demo-data"},
       false,
       2,
       "",
       "sorvane-gui: Unexpected argument 'demo-data'.\n\n" + usage,
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    const gui::CommandLine r = gui::ParseCommandLine(QStringList{"sorvane-gui"} + c.args);
    EXPECT_EQ(r.run, c.run);
    EXPECT_EQ(r.exit_code, c.exit_code);
    EXPECT_TRUE(r.out.starts_with(c.out_starts) && r.out.empty() == c.out_starts.empty()) << r.out;
    EXPECT_TRUE(r.err.starts_with(c.err_starts) && r.err.empty() == c.err_starts.empty()) << r.err;
    EXPECT_EQ(r.data_dir, c.data_dir);
  }
}

// Clicks `button` on the next message box that offers it, once it is up.
void ClickWhenOffered(QMessageBox::StandardButton button, QStringList& texts) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, button, &texts] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || box->button(button) == nullptr) return;
    timer->stop();
    timer->deleteLater();
    texts << box->text();
    if (button == QMessageBox::Yes || button == QMessageBox::No) {
      EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
      EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Yes));
      EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
      EXPECT_EQ(box->windowTitle(), "Sorvane");
    }
    box->button(button)->click();
  });
  timer->start();
}

class FirstStartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApp();
    setenv("XDG_DATA_HOME", share_.dir().c_str(), 1);
  }
  void TearDown() override { unsetenv("XDG_DATA_HOME"); }

  // Starts the program on the empty data folder, answering the missing-database
  // message with OK and the question with `answer`.
  bool Start(QMessageBox::StandardButton answer) {
    form_ = std::make_unique<frmCMain>(ui_, data_.paths());
    ui_.Attach(*form_);
    ui_.main_window()->show();
    ClickWhenOffered(QMessageBox::Ok, texts_);
    ClickWhenOffered(answer, texts_);
    return form_->Form_Load();
  }

  TempDataDir share_, data_;
  gui::QtUi ui_;
  std::unique_ptr<frmCMain> form_;
  QStringList texts_;
};

TEST_F(FirstStartTest, NoEndsTheProgramWithoutMakingADatabase) {
  EXPECT_FALSE(Start(QMessageBox::No));
  ASSERT_EQ(texts_.size(), 2);
  EXPECT_TRUE(texts_[0].startsWith("The Access database is missing.  Copy it from "))
      << texts_[0].toStdString();
  EXPECT_EQ(texts_[1], "Create a new work database in " + gui::Q(data_.dir().string()) + " now?");
  EXPECT_FALSE(ui_.main_window()->isVisible());
  EXPECT_FALSE(fs::exists(data_.paths().WorkDb()));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(FirstStartTest, YesMakesTheDatabaseAndLeavesTheWindowReadyForAFacility) {
  ASSERT_TRUE(Start(QMessageBox::Yes));
  EXPECT_EQ(texts_.size(), 2);
  EXPECT_TRUE(form_->loaded_ok());
  gui::MainWindow& window = *ui_.main_window();
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(window.windowTitle(), "Sorvane Tables");
  EXPECT_TRUE(window.findChild<QLineEdit*>("txtFacilityID")->isEnabled());
  EXPECT_TRUE(window.findChild<QAction*>("mnuRunData(0)")->isEnabled());
  EXPECT_FALSE(window.findChild<QAction*>("mnuCheckTablesHeader")->isEnabled());
  EXPECT_TRUE(fs::is_regular_file(data_.paths().WorkDb()));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  form_->Form_Unload();
}

}  // namespace
}  // namespace sorvane::testing
