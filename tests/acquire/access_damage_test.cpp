// Damaged copies of the corpus's Access files, made the same way on every run:
// cut short (inside a page and on a page boundary) and with bits flipped. The
// reader may refuse them, but the program never crashes, a reading child never
// trips the sanitizers in our code, and an update from such a file replaces a
// table whole or not at all.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <sstream>

#include "accessfile/access_file.h"
#include "acquire/reference_update.h"
#include "core/errors.h"
#include "support/scripted_ui.h"
#include "support/work_db.h"

namespace sorvane::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

// The lines of a database dump that hold `table`'s rows.
std::string RowsOf(const std::string& dump, const std::string& table) {
  std::string out;
  std::istringstream in(dump);
  for (std::string line; std::getline(in, line);)
    if (line.starts_with(table + ":")) out += line + "\n";
  return out;
}

// Reads every table of `file` in one child, as the update reads each one: the
// reasons of the tables that could not be read, then "read" when the file
// itself could be, or the reason it could not.
std::vector<std::string> ReadEveryTable(const fs::path& file, const ChildLimits& limits) {
  std::vector<std::string> reasons;
  try {
    LimitedChild child(limits, [&file](int fd) {
      auto access = AccessFile::Open(file);
      auto send = [fd](FrameTag tag, const std::string& payload) {
        if (!WriteAll(fd, EncodeFrame(tag, payload))) _exit(1);
      };
      for (const std::string& table : access->TableNames()) {
        try {
          access->ReadTable(
              table, [&](const auto& columns) { send(FrameTag::kColumns, EncodeColumns(columns)); },
              [&](const auto& row) { send(FrameTag::kRow, EncodeRow(row)); });
        } catch (const Error& e) {
          send(FrameTag::kTableName, e.description());
        }
      }
      send(FrameTag::kEnd, "");
    });
    std::vector<SourceColumn> columns;
    std::vector<Value> row;
    for (Frame f = child.Next(); f.tag != FrameTag::kEnd; f = child.Next()) {
      if (f.tag == FrameTag::kTableName) reasons.push_back(f.payload);
      EXPECT_TRUE(f.tag != FrameTag::kColumns || DecodeColumns(f.payload, columns));
      EXPECT_TRUE(f.tag != FrameTag::kRow || DecodeRow(f.payload, columns.size(), row));
    }
    reasons.push_back("read");
  } catch (const Error& e) {
    reasons.push_back(e.description());
  }
  return reasons;
}

TEST(AccessDamage, DamagedFilesAreRefusedOrReadAndTheWorkDatabaseIsNeverHalfChanged) {
  const fs::path corpus = fs::path(SORVANE_CORPUS_DIR) / "access";
  if (!fs::exists(corpus / "nwind.mdb")) GTEST_SKIP() << "no corpus beside the repository";
  WorkDataDir dir;
  ScriptedUi ui;
  Paths paths = dir.paths();
  RunState state(ui, paths);
  state.WorkConn.Open(paths.WorkDb());
  ChildLimits limits;
  limits.time = std::chrono::seconds(10);
  std::mt19937 random(20240611);
  int copies = 0, refused = 0;

  for (const char* name :
       {"nwind.mdb", "DateTestDatabase.mdb", "ASampleDatabase.accdb", "agency/GIS_WORK.mdb",
        "agency/GIS_UPDATE.mdb", "agency/GIS_UPDATE.accdb"}) {
    std::ifstream in(corpus / name, std::ios::binary);
    const std::string whole((std::istreambuf_iterator<char>(in)), {});
    const size_t page = name == std::string("nwind.mdb") ? 2048 : 4096;
    for (int k = 0; k < 50; ++k, ++copies) {
      std::string copy = whole;
      if (k < 10) {
        copy.resize(random() % whole.size());
      } else if (k < 20) {
        copy.resize(page * (1 + random() % (whole.size() / page - 1)));
      } else {
        // Most of a file is free space; half the flips go to its first pages,
        // where the catalog and the table definitions lie.
        const size_t span = k % 2 == 0 ? std::min<size_t>(whole.size(), 65536) : whole.size();
        for (int flips = 1 << (k % 7); flips > 0; --flips)
          copy[random() % span] ^= static_cast<char>(1 << (random() % 8));
      }
      const fs::path file = dir.dir() / ("damaged" + fs::path(name).extension().string());
      std::ofstream(file, std::ios::binary | std::ios::trunc) << copy;
      SCOPED_TRACE(std::string(name) + " copy " + std::to_string(k));

      // Our code in the child stays clean under the sanitizers; the library's
      // own faults end the child and come back as a reason.
      auto clean = [](const std::vector<std::string>& reasons) {
        for (const std::string& reason : reasons) {
          EXPECT_THAT(reason, Not(HasSubstr("Sanitizer")));
          EXPECT_THAT(reason, Not(HasSubstr("runtime error")));
        }
      };
      std::vector<std::string> reasons = ReadEveryTable(file, limits);
      clean(reasons);
      if (reasons.size() > 1 || reasons.back() != "read") ++refused;
      if (!fs::path(name).stem().string().starts_with("GIS_UPDATE")) continue;

      // As the update database.
      const std::string before = DumpDatabase(state.WorkConn);
      ui.messages.clear();
      state.paths.update_db_override = file;
      ReferenceUpdateResult result = UpdateReferenceTables(state, limits);
      clean(result.kept_why);
      clean(ui.messages);
      const std::string after = DumpDatabase(state.WorkConn);
      for (const std::string& table : result.kept)
        EXPECT_EQ(RowsOf(after, table), RowsOf(before, table));
      if (result.replaced.empty()) {
        EXPECT_EQ(after, before);
      }
    }
  }
  EXPECT_EQ(copies, 300);
  EXPECT_GT(refused, 50) << "too few copies were damaged where it shows";
}

}  // namespace
}  // namespace sorvane::testing
