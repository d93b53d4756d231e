// The fast tag scanner that finds a sheet's used range must see exactly the
// element events expat sees, or the two passes over a sheet would disagree.
#include "import/readers/xml_tag_scanner.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "import/readers/read_failure.h"
#include "import/readers/xlsx_workbook.h"
#include "import/readers/xml_part.h"
#include "import/readers/zip_package.h"
#include "test_files.h"

namespace sorvane::readers {
namespace {

// Every start and end event with its attributes, as one text per event.
class Recorder : public XmlHandler {
 public:
  void Start(std::string_view name, const char** attrs) override {
    std::string e = "<" + std::string(name);
    for (; attrs[0] != nullptr; attrs += 2) e += std::string(" ") + attrs[0] + "=" + attrs[1];
    events.push_back(e);
  }
  void End(std::string_view name) override { events.push_back("/" + std::string(name)); }
  std::vector<std::string> events;
};

std::vector<std::string> Expat(ZipPackage& zip, const std::string& part) {
  Recorder r;
  ParseXmlPart(zip, part, r);
  return r.events;
}

TEST(XmlTagScannerTest, SeesWhatExpatSees) {
  std::string big = "<row r=\"9\">";
  for (int i = 0; i < 20000; ++i) big += "<c r=\"A9\" t='s'><v>1</v></c>";  // spans chunks
  const std::string sheet =
      "<?xml version=\"1.0\"?>\n<x:worksheet xmlns:x=\"urn:x\"><!-- <c r=\"Z1\"> -->"
      "<x:sheetData><row r=\"1\" spans=\"1:2\"><c r=\"A1\" t=\"inlineStr\"><is><t><![CDATA[<c "
      "r=\"Q1\"/>]]></t></is></c><c r = 'B1' s=\"a>b\"/><c r=\"C1\" s=\"a\tb\r\nc\rd\"/></row><?pi <c r=\"Y1\"?>" +
      big + "</row>\n</x:sheetData ></x:worksheet>";
  const std::string bytes = testing::ZipFile({{"s.xml", sheet}});
  ZipPackage zip(std::string_view(bytes), ReadLimits{});
  Recorder fast;
  ASSERT_TRUE(ScanXmlTags(zip, "s.xml", fast));
  EXPECT_EQ(fast.events, Expat(zip, "s.xml"));
  EXPECT_EQ(fast.events[3], "<c r=A1 t=inlineStr");
}

TEST(XmlTagScannerTest, LeavesWhatItDoesNotReadToExpat) {
  for (const std::string& xml : {
           std::string("<!DOCTYPE w [<!ENTITY e \"x\">]><w/>"),
           std::string("<w><c r=\"&#65;1\"/></w>"),
           std::string("\xFF\xFE<\0w\0/\0>\0", 10),
       }) {
    const std::string bytes = testing::ZipFile({{"s.xml", xml}});
    ZipPackage zip(std::string_view(bytes), ReadLimits{});
    Recorder fast;
    EXPECT_FALSE(ScanXmlTags(zip, "s.xml", fast)) << xml;
  }
}

TEST(XmlTagScannerTest, AgreesWithExpatOnEveryCorpusSheet) {
  const auto dir = std::filesystem::path(SORVANE_CORPUS_DIR) / "xlsx";
  int compared = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string bytes = ss.str();
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

}  // namespace
}  // namespace sorvane::readers
