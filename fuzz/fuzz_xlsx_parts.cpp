// libFuzzer target for the XML side of .xlsx reading: the input (after a first
// byte choosing the part) becomes one part of an otherwise valid package, stored
// uncompressed so mutations reach the XML instead of breaking the deflate
// stream. Besides crashes it looks for disagreement between the fast tag
// scanner and expat: XML the scanner reads must be XML expat accepts, with the
// same elements, attributes and text.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "import/readers/read_failure.h"
#include "import/readers/workbook_reader.h"
#include "import/readers/xml_part.h"
#include "import/readers/xml_tag_scanner.h"
#include "import/readers/zip_package.h"

namespace {

std::string Le16(uint32_t v) { return {static_cast<char>(v), static_cast<char>(v >> 8)}; }
std::string Le32(uint32_t v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }

// A zip of stored (uncompressed) entries.
std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& parts) {
  std::string out, dir;
  for (const auto& [name, data] : parts) {
    const uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    const uint32_t offset = static_cast<uint32_t>(out.size());
    const std::string common = Le16(20) + Le16(0) + Le16(0) + Le16(0) + Le16(0) + Le32(crc) +
                               Le32(static_cast<uint32_t>(data.size())) +
                               Le32(static_cast<uint32_t>(data.size())) +
                               Le16(static_cast<uint32_t>(name.size())) + Le16(0);
    out += "PK\x03\x04" + common + name + data;
    dir += "PK\x01\x02" + Le16(20) + common + Le16(0) + Le16(0) + Le16(0) + Le32(0) + Le32(offset) +
           name;
  }
  const uint32_t n = static_cast<uint32_t>(parts.size());
  out += dir;
  out += "PK\x05\x06" + Le16(0) + Le16(0) + Le16(n) + Le16(n) +
         Le32(static_cast<uint32_t>(dir.size())) +
         Le32(static_cast<uint32_t>(out.size() - dir.size())) + Le16(0);
  return out;
}

// Elements, attributes and the text between them (joined: the two parsers may
// cut it into different pieces).
class Recorder : public sorvane::readers::XmlHandler {
 public:
  void Start(std::string_view name, const char** attrs) override {
    Flush();
    std::string e = "<" + std::string(name);
    for (; attrs[0] != nullptr; attrs += 2) e += std::string(" ") + attrs[0] + "=" + attrs[1];
    events.push_back(std::move(e));
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
  std::vector<std::pair<std::string, std::string>> parts = {
      {"_rels/.rels", "<Relationships><Relationship Id=\"rId1\" Type=\"" + rel +
                          "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
      {"xl/workbook.xml", "<workbook xmlns:r=\"" + rel +
                              "\"><sheets><sheet name=\"S\" r:id=\"rId1\"/></sheets>"
                              "</workbook>"},
      {"xl/_rels/workbook.xml.rels",
       "<Relationships><Relationship Id=\"rId1\" Type=\"" + rel +
           "/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" Type=\"" +
           rel + "/styles\" Target=\"styles.xml\"/><Relationship Id=\"rId3\" Type=\"" + rel +
           "/sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>"},
      {"xl/styles.xml",
       "<styleSheet><numFmts><numFmt numFmtId=\"164\" formatCode=\"d/m/y\"/></numFmts>"
       "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"164\"/></cellXfs></styleSheet>"},
      {"xl/sharedStrings.xml", "<sst><si><t>a</t></si><si><r><t>b</t></r></si></sst>"},
      {"xl/worksheets/sheet1.xml",
       "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" "
       "s=\"1\"><v>44000</v></c></row></sheetData></worksheet>"},
  };
  const size_t which = data[0] % parts.size();
  const std::string xml(reinterpret_cast<const char*>(data) + 1, size - 1);
  parts[which].second = xml;
  const std::string zip = StoredZip(parts);

  sorvane::ReadLimits limits;
  limits.max_part_bytes = 16 << 20;
  limits.max_cells = 1'000'000;
  try {
    sorvane::ReadFirstWorksheetFromMemory(
        zip, "fuzz.xlsx", [](int64_t, const std::vector<std::string>&) { return true; }, limits);
  } catch (const sorvane::WorkbookError&) {
  }

  // The scanner and expat on the fuzzed part: what the scanner reads, expat
  // must accept and see alike (the scanner also delivers the rows, so a
  // malformation it missed would go unreported).
  try {
    sorvane::readers::ZipPackage package(std::string_view(zip), limits);
    const std::string& name = parts[which].first;
    Recorder fast;
    if (sorvane::readers::ScanXmlTags(package, name, fast)) {
      Recorder expat;
      try {
        sorvane::readers::ParseXmlPart(package, name, expat);
      } catch (const sorvane::readers::ReadFailure&) {
        std::abort();
      }
      if (fast.events != expat.events) std::abort();
    }
  } catch (const sorvane::readers::ReadFailure&) {
  }
  return 0;
}
