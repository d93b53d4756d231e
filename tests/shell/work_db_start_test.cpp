// Start-up without a usable work database: only a missing file is offered
// anew; anything else is named with what is wrong and left as it was.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <functional>

#include "shell/frmCMain.h"
#include "support/scripted_ui.h"
#include "support/work_db.h"

namespace sorvane {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

TEST(WorkDbStart, OnlyAMissingDatabaseIsOfferedAnewAnythingElseIsNamedAndKept) {
  testing::TempDataDir share, dir;
  setenv("XDG_DATA_HOME", share.dir().c_str(), 1);
  const fs::path db = dir.paths().WorkDb();
  Connection holder;
  const std::pair<std::string, std::function<void()>> cases[] = {
      {"the file is empty (0 bytes)", [&] { std::ofstream{db}; }},
      {"file is not a database", [&] { std::ofstream(db) << std::string(4096, 'x'); }},
      {"database disk image is malformed", [&] { dir.CreateWorkDb(), fs::resize_file(db, 8192); }},
      {"database is locked",
       [&] { dir.CreateWorkDb(), holder.Open(db), holder.ExecuteNative("BEGIN EXCLUSIVE"); }},
      {"it is a folder, not a file", [&] { fs::create_directories(db); }},
      {"Permission denied", [&] { dir.CreateWorkDb(), fs::permissions(db, fs::perms::none); }},
  };
  for (const auto& [reason, make] : cases) {
    if (reason == "Permission denied" && geteuid() == 0) continue;  // root reads every file
    make();
    const auto stamp = fs::last_write_time(db);
    testing::ScriptedUi ui;
    ui.yes_no_answers = {true};
    frmCMain w(ui, dir.paths());
    w.SetLockWait(std::chrono::milliseconds(100));
    EXPECT_FALSE(w.Form_Load());
    EXPECT_EQ(ui.messages,
              Texts{"The work database " + db.string() + " cannot be used: " + reason + "."});
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_EQ(fs::last_write_time(db), stamp);
    holder.Close();
    fs::remove_all(db);
  }
  for (const bool yes : {false, true}) {  // Yes builds it as `sorvane init` does and goes on
    testing::ScriptedUi ui;
    ui.yes_no_answers = {yes};
    frmCMain w(ui, dir.paths());
    EXPECT_EQ(w.Form_Load() && w.loaded_ok(), yes);
    EXPECT_EQ(ui.messages,
              Texts{"The Access database is missing.  Copy it from " +
                    (share.dir() / "sorvane/GIS_WORK.db").string() + " to " + db.string()});
    EXPECT_EQ(ui.questions, Texts{"Create a new work database in " + dir.dir().string() + " now?"});
    EXPECT_EQ(fs::exists(db) && fs::exists(dir.paths().UpdateDb()), yes);
    EXPECT_EQ(w.unloaded(), !yes);
    EXPECT_TRUE(fs::is_regular_file(share.dir() / "sorvane/GIS_WORK.db"));  // the copy it names
  }
  unsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace sorvane
