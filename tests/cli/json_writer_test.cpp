// The report's JSON must parse whatever the workbooks held: quotes, control
// characters, broken UTF-8, numbers JSON cannot hold.
#include "json_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "json_parse.h"

namespace sorvane::cli {
namespace {

using testing::Json;
using testing::ParseJson;

TEST(JsonWriter, EscapesWhatJsonRequires) {
  EXPECT_EQ(JsonWriter::Quote("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(JsonWriter::Quote("tab\tcr\rlf\n"), "\"tab\\tcr\\rlf\\n\"");
  EXPECT_EQ(JsonWriter::Quote(std::string("\x01\x1f\x7f", 3)), "\"\\u0001\\u001f\\u007f\"");
  EXPECT_EQ(JsonWriter::Quote(std::string("nul\0x", 5)), "\"nul\\u0000x\"");
  EXPECT_EQ(JsonWriter::Quote("/ stays"), "\"/ stays\"");
}

TEST(JsonWriter, PassesUtf8AndReplacesBrokenBytes) {
  EXPECT_EQ(JsonWriter::Quote("Gr\xC3\xBCn \xE2\x82\xAC \xF0\x9F\x92\xA7"),
            "\"Gr\xC3\xBCn \xE2\x82\xAC \xF0\x9F\x92\xA7\"");
  // A stray continuation byte, a truncated sequence, an overlong form, a surrogate.
  EXPECT_EQ(JsonWriter::Quote("a\x80z"), "\"a\xEF\xBF\xBDz\"");
  EXPECT_EQ(JsonWriter::Quote("a\xE2\x82"), "\"a\xEF\xBF\xBD\xEF\xBF\xBD\"");
  EXPECT_EQ(JsonWriter::Quote("\xC0\xAF"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
  EXPECT_EQ(JsonWriter::Quote("\xED\xA0\x80"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
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

}  // namespace
}  // namespace sorvane::cli
