// The fast tag scanner that finds a sheet's used range must see exactly the
// element events expat sees, or the two passes over a sheet would disagree.
#include "import/readers/xml_tag_scanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "import/readers/read_failure.h"
#include "import/readers/xlsx_workbook.h"
#include "import/readers/xml_part.h"
#include "import/readers/zip_package.h"
#include "support/case_table.h"
#include "support/work_db.h"
#include "test_files.h"

namespace sorvane::readers {
namespace {

// Every start and end event with its attributes, and the text between them
// (joined, as the pieces it comes in may differ), as one text per event.
class Recorder : public XmlHandler {
 public:
  void Start(std::string_view name, const char** attrs) override {
    Flush();
    std::string e = "<" + std::string(name);
    for (; attrs[0] != nullptr; attrs += 2) e += std::string(" ") + attrs[0] + "=" + attrs[1];
    events.push_back(e);
  }
  void End(std::string_view name) override {
    Flush();
    events.push_back("/" + std::string(name));
  }
  void Text(const char* s, int len) override { text_.append(s, static_cast<size_t>(len)); }
  std::vector<std::string> events;

 private:
  void Flush() {
    if (!text_.empty()) events.push_back("#" + text_);
    text_.clear();
  }
  std::string text_;
};

std::vector<std::string> Expat(ZipPackage& zip, const std::string& part) {
  Recorder r;
  ParseXmlPart(zip, part, r);
  return r.events;
}

// The scanner's events on `xml`, or nothing when it leaves the part to expat.
std::optional<std::vector<std::string>> Fast(const std::string& xml) {
  const std::string bytes = testing::ZipFile({{"s.xml", xml}});
  ZipPackage zip(std::string_view(bytes), ReadLimits{});
  Recorder fast;
  if (!ScanXmlTags(zip, "s.xml", fast)) return std::nullopt;
  EXPECT_EQ(fast.events, Expat(zip, "s.xml"));
  return fast.events;
}

TEST(XmlTagScannerTest, SeesTheElementsAndTextExpatSees) {
  std::string big = "<row r=\"9\">";
  for (int i = 0; i < 20000; ++i) big += "<c r=\"A9\" t='s'><v>1</v></c>";  // spans chunks
  const auto sheet = Fast(
      "<?xml version=\"1.0\"?>\n<x:worksheet xmlns:x=\"urn:x\"><!-- <c r=\"Z1\"> -->"
      "<x:sheetData><row r=\"1\" spans=\"1:2\"><c r=\"A1\" t=\"inlineStr\"><is><t><![CDATA[<c "
      "r=\"Q1\"/>]]></t></is></c><c r = 'B1' s=\"a>b\"/><c r=\"C1\" s=\"a\tb\r\nc\rd\"/><c s='\t1' "
      "r=\"D1\" t='2\n'/><c r=\"&#69;1\" s=\"&lt;&amp;&#x9;&quot;\t\"/></row><?pi "
      "<c r=\"Y1\"?>" +
      big + "</row>\n</x:sheetData ></x:worksheet>");
  ASSERT_TRUE(sheet.has_value());
  EXPECT_EQ((*sheet)[3], "<c r=A1 t=inlineStr");
  // References in a value stand for their characters (a tab so written stays one).
  EXPECT_NE(std::find(sheet->begin(), sheet->end(), "<c r=E1 s=<&\t\" "), sheet->end());
  const auto text = Fast(
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
      "<w><v>a &lt;&gt;&amp;&quot;&apos; &#65;&#x42;&#x1F600; \xC3\xA9</v><t>1\r\n2\r3</t>"
      "<t><![CDATA[<x> & ]]]></t><!-- c --><?p q?><t>]]</t><x:v>7</x:v><v></v>"
      "<v>8</v ></w>\n");
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ((*text)[2], "#a <>&\"' AB\xF0\x9F\x98\x80 \xC3\xA9");
  EXPECT_EQ((*text)[5], "#1\n2\n3");
  EXPECT_EQ((*text)[8], "#<x> & ]");
  // Elements with a text alone, whole or not: each one's events in turn.
  const std::vector<std::string> leaves((*text).begin() + 13, (*text).end() - 1);
  EXPECT_EQ(leaves, (std::vector<std::string>{"<v", "#7", "/v", "<v", "/v", "<v", "#8", "/v"}));
}

// Entities and encodings other than UTF-8 are expat's to read. The scanner reads the rows too, so
// whatever is not well-formed must reach expat, which refuses it.
TEST(XmlTagScannerTest, LeavesWhatItDoesNotReadAndEveryMalformationToExpat) {
  for (const auto& c : testing::CaseTable("xml_malformed.txt")) {
    EXPECT_FALSE(Fast(c[0]).has_value()) << c[0];
    if (c[1] != "refused") continue;
    const std::string bytes = testing::ZipFile({{"s.xml", c[0]}});
    ZipPackage zip(std::string_view(bytes), ReadLimits{});
    EXPECT_THROW(Expat(zip, "s.xml"), ReadFailure) << c[0];
  }
}

TEST(XmlTagScannerTest, AgreesWithExpatOnEveryCorpusSheet) {
  const auto dir = std::filesystem::path(SORVANE_CORPUS_DIR) / "xlsx";
  if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << "the shared corpus is absent";
  int compared = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string bytes = testing::ReadFile(entry.path());
    try {
      ZipPackage zip(std::string_view(bytes), ReadLimits{});
      const XlsxWorkbook wb = OpenXlsxWorkbook(zip, false);
      const std::vector<std::string> expat = Expat(zip, wb.sheet_part);
      Recorder fast;
      if (ScanXmlTags(zip, wb.sheet_part, fast)) {
        EXPECT_EQ(fast.events, expat) << entry.path().filename();
        ++compared;
      }
    } catch (const ReadFailure&) {
      // Unreadable packages are the corpus test's business.
    }
  }
  EXPECT_GE(compared, 60);
}

// A part inflated on a second thread arrives whole and in order, stops when
// its reader stops, and fails as an inflated part fails: a checksum that does
// not match, a size over the limit.
TEST(ZipPackageTest, PartsInflatedAheadArriveWholeAndFailAsOthersDo) {
  std::string content;
  for (int i = 0; content.size() < (3u << 20); ++i)
    content += "<r n=\"" + std::to_string(i) + "\"/>";
  const std::string bytes = testing::ZipFile({{"p.xml", content}});
  const ReadLimits ahead{.inflate_ahead_bytes = 0};
  for (const ReadLimits& limits : {ReadLimits{}, ahead}) {
    ZipPackage zip(std::string_view(bytes), limits);
    std::string read;
    zip.Read("p.xml", [&](const char* d, size_t n) { return read.append(d, n), true; });
    EXPECT_EQ(read, content);
  }
  ZipPackage zip(std::string_view(bytes), ahead);
  int chunks = 0;
  zip.Read("p.xml", [&](const char*, size_t) { return ++chunks < 2; });
  EXPECT_EQ(chunks, 2);

  // The stored checksums (local header at 14, central directory at 16) of
  // other contents.
  std::string damaged = bytes;
  for (const auto& [signature, at] : {std::pair{"PK\x03\x04", 14}, std::pair{"PK\x01\x02", 16}})
    damaged[damaged.find(signature) + at] ^= 1;
  for (const auto& [package, limits, reason] :
       {std::tuple{damaged, ReadLimits{.inflate_ahead_bytes = 0}, "fails its checksum"},
        std::tuple{bytes, ReadLimits{.max_part_bytes = 1u << 20, .inflate_ahead_bytes = 0},
                   "inflates to more than 1048576 bytes"}}) {
    ZipPackage z(std::string_view(package), limits);
    try {
      z.Read("p.xml", [](const char*, size_t) { return true; });
      ADD_FAILURE() << reason;
    } catch (const ReadFailure& e) {
      EXPECT_NE(e.what.find(reason), std::string::npos) << e.what;
    }
  }
}

}  // namespace
}  // namespace sorvane::readers
