// `sorvane refs`: the four reference lists as the reference-list window shows them.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli_app.h"
#include "cli_run.h"
#include "json_parse.h"
#include "support/work_db.h"
#include "workdb/connection.h"

namespace sorvane {
namespace {

using testing::Json;
using testing::ParseJson;
using testing::TempDataDir;
using testing::WorkDataDir;

using testing::CliRun;

CliRun Refs(const TempDataDir& dir, std::vector<std::string> extra) {
  std::vector<std::string> args = {"refs"};
  args.insert(args.end(), extra.begin(), extra.end());
  args.push_back("--data-dir");
  args.push_back(dir.dir().string());
  return testing::RunCommand(args);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The other names reach their lists (captions and columns are the viewer's).
TEST(Refs, ListsShowCaptionColumnsAndRowsWithControlCharactersShownAndJsonKinds) {
  WorkDataDir dir;
  {
    Connection c;
    c.Open(dir.paths().WorkDb());
    c.ExecuteNative(
        "UPDATE MT_CONTRACTOR SET CONTRACTOR = 'Bad' || char(27) || '[2J\tLab' "
        "WHERE CONTRACT = 'C-01'");
  }
  CliRun r = Refs(dir, {"contracts"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err, "");
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[0], "CONTRACT LIST");
  EXPECT_EQ(lines[1], "CONTRACT\tCONTRACTOR");
  EXPECT_EQ(lines[2], "C-01\tBad\\x1B[2J Lab");
  for (const char* list : {"sources", "cas", "labs"}) EXPECT_EQ(Refs(dir, {list}).code, 0) << list;

  r = Refs(dir, {"labs", "--json"});
  EXPECT_EQ(r.code, 0);
  const Json list = ParseJson(r.out);
  ASSERT_EQ(list.type, Json::Type::kArray);
  ASSERT_FALSE(list.array.empty());
  EXPECT_EQ(list[0]["LABORATORY"].string, "Acme Laboratories, Inc.");
  EXPECT_EQ(list[0]["LAB_ID"].type, Json::Type::kNumber);
  EXPECT_EQ(list[0]["LAB_ID"].number, 1);

  r = Refs(dir, {"wells"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("wells"), std::string::npos);
}

}  // namespace
}  // namespace sorvane
