// The review's report: JSON that parses whatever the workbooks held, output
// paths that would destroy a workbook refused, and a report written whole.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "json_parse.h"
#include "json_writer.h"
#include "report_file.h"
#include "support/case_table.h"
#include "support/failing_allocation.h"
#include "support/work_db.h"

namespace sorvane::cli {
namespace {

using testing::Json;
using testing::ParseJson;

TEST(JsonWriter, EscapesWhatJsonRequiresPassesUtf8AndReplacesBrokenBytes) {
  for (const auto& c : testing::CaseTable("json_quotes.txt"))
    EXPECT_EQ(JsonWriter::Quote(c[0]), c[1]) << c[0];
}

// The nesting and the usual values are the sample report's (review_test);
// here the values JSON cannot hold as they are.
TEST(JsonWriter, ValuesJsonCannotHoldAreWrittenSoTheyParse) {
  std::ostringstream out;
  JsonWriter json(out);
  json.BeginObject();
  json.Key("k\"ey");
  json.BeginArray();
  json.Number(std::numeric_limits<double>::infinity());
  json.Number(std::nan(""));
  WriteJsonValue(json, Value::FromDate(*Date::FromParts(2004, 6, 30, 13, 5, 9)));
  WriteJsonValue(json, Value());
  json.EndArray();
  json.EndObject();
  const Json doc = ParseJson(out.str());
  const Json& v = doc["k\"ey"];
  ASSERT_EQ(v.array.size(), 4u);
  EXPECT_TRUE(v[0].IsNull());
  EXPECT_TRUE(v[1].IsNull());
  EXPECT_EQ(v[2].string, "2004-06-30T13:05:09");
  EXPECT_TRUE(v[3].IsNull());
  EXPECT_EQ(out.str().back(), '\n');
}

TEST(JsonWriter, EveryByteRoundTripsThroughTheParser) {
  std::string all;
  for (int c = 1; c < 128; ++c) all += static_cast<char>(c);
  std::ostringstream out;
  JsonWriter json(out);
  json.String(all);
  EXPECT_EQ(ParseJson(out.str()).string, all);
}

namespace fs = std::filesystem;
using testing::ReadFile;

TEST(ReportFile, PathsOverAWorkbookOrTheWorkDatabaseAreRefused) {
  testing::WorkDataDir dir;
  const fs::path workbook = dir.dir() / "1234567_1.xls";
  fs::copy_file(testing::SourcePath("data/sample/1234567_1.xls"), workbook);
  std::ofstream(dir.dir() / "old.xlsx") << "PK\x03\x04 an earlier error workbook";
  for (const fs::path& target : {dir.paths().WorkDb(), workbook}) {
    ReviewOptions options;
    options.xlsx_file = target.string();
    std::ostringstream err;
    EXPECT_FALSE(OutputPathsAreFree(options, err));
    EXPECT_EQ(err.str(), "--xlsx: " + target.string() +
                             " exists and is not an error workbook; it was left as it is\n");
    options = {};
    options.json_file = target.string();
    err.str("");
    EXPECT_FALSE(OutputPathsAreFree(options, err));
    EXPECT_EQ(err.str(), "--json: " + target.string() +
                             " holds a workbook or a database; it was left as it is\n");
  }
  ReviewOptions free;
  free.xlsx_file = (dir.dir() / "old.xlsx").string();
  free.json_file = (dir.dir() / "new.json").string();
  std::ostringstream err;
  EXPECT_TRUE(OutputPathsAreFree(free, err));
  EXPECT_EQ(err.str(), "");
}

TEST(ReportFile, ReportIsWrittenWholeWhereALinkPointsOrThePreviousOneIsKept) {
  testing::TempDataDir dir;
  ReviewReport report;
  report.facility_id = "1234567";
  std::ostringstream out, err;
  Streams io{out, err};

  const fs::path real = dir.dir() / "shared" / "report.json";
  fs::create_directories(real.parent_path());
  std::ofstream(real) << "{\"previous\": true}";
  const fs::path link = dir.dir() / "link.json";
  fs::create_symlink(real, link);
  EXPECT_TRUE(WriteJsonFile(link.string(), report, io));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(testing::ParseJson(ReadFile(real))["facility_id"].string, "1234567");

  // Stands in for a disk that fills while the new report is written.
  const fs::path json = dir.dir() / "report.json";
  std::ofstream(json) << "{\"previous\": true}";
  fs::create_directories(dir.dir() / "report.json.partial" / "x");
  EXPECT_FALSE(WriteJsonFile(json.string(), report, io));
  EXPECT_EQ(ReadFile(json), "{\"previous\": true}");
  EXPECT_EQ(
      err.str().rfind("--json: the report could not be written to " + json.string() + ": ", 0), 0u)
      << err.str();

  err.str("");
  EXPECT_FALSE(WriteJsonFile("/dev/full", report, io));
  EXPECT_EQ(err.str(),
            "--json: the report could not be written to /dev/full: No space left on device\n");

  // Memory that runs out while the text is gathered: the previous one is kept.
  err.str("");
  fs::remove_all(dir.dir() / "report.json.partial");
  report.messages.push_back(std::string(100 * 1024, 'x'));  // gathered in a block that large
  testing::FailNextAllocation(64 * 1024);
  EXPECT_FALSE(WriteJsonFile(json.string(), report, io));
  EXPECT_EQ(err.str(), "--json: the report could not be written to " + json.string() +
                           ": 7 Out of memory (close other programs and try again)\n");
  EXPECT_EQ(ReadFile(json), "{\"previous\": true}");
  EXPECT_FALSE(fs::exists(dir.dir() / "report.json.partial"));
}

}  // namespace
}  // namespace sorvane::cli
