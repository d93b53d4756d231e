// Start-up over a work database that is not there or cannot be used: only a
// file that is not there is offered anew; anything else is said as it is,
// naming the file, and left untouched.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <utility>

#include "shell/frmCMain.h"
#include "support/scripted_ui.h"
#include "support/work_db.h"

namespace sorvane {
namespace {

namespace fs = std::filesystem;
using testing::ScriptedUi;
using testing::TempDataDir;

// What a write to the file would change (readable without reading it).
std::pair<uintmax_t, fs::file_time_type> Stamp(const fs::path& file) {
  std::error_code ec;
  return {fs::file_size(file, ec), fs::last_write_time(file, ec)};
}

// Keeps the template the missing-database message names out of the real home.
class StartTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("XDG_DATA_HOME", (share_.dir()).c_str(), 1); }
  void TearDown() override { unsetenv("XDG_DATA_HOME"); }
  TempDataDir share_, dir_;
  ScriptedUi ui_;
};

TEST_F(StartTest, AWorkDatabaseThatCannotBeUsedIsSaidAsItIsAndKept) {
  struct Case {
    const char* name;
    std::function<void(const fs::path&)> make;
    const char* reason;
  };
  std::unique_ptr<Connection> holder;
  const Case cases[] = {
      {"empty", [](const fs::path& f) { std::ofstream{f}; }, "the file is empty (0 bytes)"},
      {"damaged", [](const fs::path& f) { std::ofstream(f) << std::string(4096, 'x'); },
       "file is not a database"},
      {"cut short",
       [this](const fs::path& f) {
         dir_.CreateWorkDb();
         fs::resize_file(f, 8192);
       },
       "database disk image is malformed"},
      {"locked",
       [&](const fs::path& f) {
         dir_.CreateWorkDb();
         holder = std::make_unique<Connection>();
         holder->Open(f);
         holder->ExecuteNative("BEGIN EXCLUSIVE; DELETE FROM MT_TEMP1;");
       },
       "database is locked"},
      {"a folder", [](const fs::path& f) { fs::create_directories(f); },
       "it is a folder, not a file"},
      {"unreadable",
       [this](const fs::path& f) {
         dir_.CreateWorkDb();
         fs::permissions(f, fs::perms::none);
       },
       "Permission denied"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Root reads any file whatever its permissions.
    if (std::string(c.name) == "unreadable" && geteuid() == 0) continue;
    const fs::path file = dir_.paths().WorkDb();
    c.make(file);
    const auto before = Stamp(file);
    ScriptedUi ui;
    ui.yes_no_answers = {true};
    frmCMain w(ui, dir_.paths());
    w.SetLockWait(std::chrono::milliseconds(100));
    EXPECT_FALSE(w.Form_Load());
    EXPECT_TRUE(w.unloaded());
    EXPECT_EQ(ui.messages, std::vector<std::string>{"The work database " + file.string() +
                                                    " cannot be used: " + c.reason + "."});
    EXPECT_TRUE(ui.questions.empty());
    holder.reset();
    EXPECT_TRUE(Stamp(file) == before);
    EXPECT_FALSE(w.work_db_missing());
    fs::remove_all(file);
  }
}

TEST_F(StartTest, AMissingWorkDatabaseIsMadeOnlyWhenThePersonSaysYes) {
  const std::string missing = "The Access database is missing.  Copy it from " +
                              (share_.dir() / "sorvane" / "GIS_WORK.db").string() + " to " +
                              dir_.paths().WorkDb().string();
  const std::string question = "Create a new work database in " + dir_.dir().string() + " now?";
  {
    frmCMain w(ui_, dir_.paths());
    EXPECT_FALSE(w.Form_Load());
    EXPECT_EQ(ui_.messages, std::vector<std::string>{missing});
    EXPECT_EQ(ui_.questions, std::vector<std::string>{question});
    EXPECT_TRUE(w.work_db_missing());
    EXPECT_TRUE(w.unloaded());
    EXPECT_FALSE(fs::exists(dir_.paths().WorkDb()));
  }

  ScriptedUi ui;
  ui.yes_no_answers = {true};
  frmCMain w(ui, dir_.paths());
  ASSERT_TRUE(w.Form_Load());
  EXPECT_TRUE(w.loaded_ok());
  EXPECT_EQ(ui.messages, std::vector<std::string>{missing});
  EXPECT_EQ(ui.questions, std::vector<std::string>{question});
  EXPECT_FALSE(w.work_db_missing());
  // Start-up went on: the structures are loaded and the reference lists filled.
  EXPECT_EQ(w.state().view.lblStatusAll.caption, "");
  EXPECT_EQ(w.state().TempRecordset[3]->FieldCount(), 6u);
  EXPECT_EQ(w.state().WorkConn.QueryValue("SELECT COUNT(*) FROM MT_CONTRACTOR"),
            Value::Integer(10));
  EXPECT_TRUE(fs::is_regular_file(dir_.paths().UpdateDb()));
  EXPECT_FALSE(fs::exists(dir_.paths().WorkDb().string() + ".partial"));
}

}  // namespace
}  // namespace sorvane
