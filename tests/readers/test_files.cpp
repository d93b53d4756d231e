#include "test_files.h"

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>
#include <unistd.h>
#include <zip.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <tuple>

#include "core/text.h"
#include "support/case_table.h"
#include "support/work_db.h"

namespace sorvane::testing {

std::string U8(uint8_t v) { return std::string(1, static_cast<char>(v)); }
std::string U16(uint16_t v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string U32(uint32_t v) {
  return U16(static_cast<uint16_t>(v)) + U16(static_cast<uint16_t>(v >> 16));
}
std::string F64(double v) {
  std::string s(8, '\0');
  std::memcpy(s.data(), &v, 8);
  return s;
}

namespace {

std::string Record(uint16_t id, const std::string& body) {
  return U16(id) + U16(static_cast<uint16_t>(body.size())) + body;
}

std::string Bof(uint16_t version, uint16_t type) {
  return Record(0x0809, U16(version) + U16(type) + U16(0x0DBB) + U16(0x07CC) + U32(0) + U32(0));
}

// An Excel 5/95 sheet name is bare bytes; a BIFF8 one has its flags.
std::string BoundSheet(uint32_t offset, uint8_t type, const std::string& name, bool biff5) {
  return Record(0x0085, U32(offset) + U8(0) + U8(type) + U8(static_cast<uint8_t>(name.size())) +
                            (biff5 ? "" : U8(0)) + name);
}

}  // namespace

std::string BiffString(const std::string& text) {
  return U16(static_cast<uint16_t>(text.size())) + U8(0) + text;
}

std::string CellHead(uint16_t row, uint16_t col, uint16_t xf) {
  return U16(row) + U16(col) + U16(xf);
}

XlsBuilder& XlsBuilder::Global(uint16_t id, std::string body) {
  globals_.emplace_back(id, std::move(body));
  return *this;
}

XlsBuilder& XlsBuilder::Sheet(uint16_t id, std::string body) {
  sheet_.emplace_back(id, std::move(body));
  return *this;
}

std::string XlsBuilder::Stream() const {
  std::string head = Bof(version, 0x0005);
  for (const auto& [id, body] : globals_) head += Record(id, body);
  std::string sheet = Bof(version, 0x0010);
  for (const auto& [id, body] : sheet_) sheet += Record(id, body);
  std::vector<std::tuple<uint8_t, std::string, std::string>> sheets;  // type, name, stream
  if (chart_first) sheets.emplace_back(2, "Chart1", Bof(version, 0x0020) + Record(0x000A, ""));
  if (!no_worksheet) sheets.emplace_back(0, "Data", sheet + Record(0x000A, ""));
  // The sheets follow the sheet list and the globals' EOF: offsets past both.
  size_t at = head.size() + 4;
  const bool biff5 = version == 0x0500;
  for (const auto& [type, name, stream] : sheets) at += BoundSheet(0, type, name, biff5).size();
  std::string list, streams;
  for (const auto& [type, name, stream] : sheets) {
    list += BoundSheet(static_cast<uint32_t>(at + streams.size()), type, name, biff5);
    streams += stream;
  }
  return head + list + Record(0x000A, "") + streams;
}

std::string XlsBuilder::File(const std::string& stream_name) const {
  return OleFile({{stream_name, Stream()}});
}

std::string OleFile(const std::vector<std::pair<std::string, std::string>>& streams) {
  gsf_init();
  GsfOutput* mem = gsf_output_memory_new();
  GsfOutfile* ole = gsf_outfile_msole_new(mem);
  for (const auto& [name, bytes] : streams) {
    GsfOutput* child = gsf_outfile_new_child(ole, name.c_str(), FALSE);
    gsf_output_write(child, bytes.size(), reinterpret_cast<const guint8*>(bytes.data()));
    gsf_output_close(child);
    g_object_unref(child);
  }
  gsf_output_close(GSF_OUTPUT(ole));
  g_object_unref(ole);
  const auto* data = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(mem));
  std::string out(reinterpret_cast<const char*>(data), static_cast<size_t>(gsf_output_size(mem)));
  g_object_unref(mem);
  return out;
}

std::vector<std::pair<std::string, std::string>> XlsxParts::Parts() const {
  const std::pair<const char*, std::string> pieces[] = {
      {"$WORKBOOK_PR", date1904 ? "<workbookPr date1904=\"1\"/>" : "<workbookPr/>"},
      {"$NUM_FMTS", num_fmts},
      {"$CELL_XFS", cell_xfs},
      {"$SHARED_STRINGS", shared_strings},
      {"$DIMENSION", dimension},
      {"$SHEET_DATA", sheet_data}};
  std::vector<std::pair<std::string, std::string>> parts;
  for (const auto& c : CaseTable("xlsx_package.txt")) {
    std::string text = c[1];
    for (const auto& [name, piece] : pieces) text = ReplaceAll(text, name, piece);
    parts.emplace_back(c[0], text);
  }
  return parts;
}

std::string XlsbRecord(uint32_t id, const std::string& body) {
  std::string out;
  out += static_cast<char>(id < 0x80 ? id : (id & 0x7F) | 0x80);
  if (id >= 0x80) out += static_cast<char>(id >> 7);
  size_t size = body.size();
  do {
    out += static_cast<char>((size & 0x7F) | (size >= 0x80 ? 0x80 : 0));
    size >>= 7;
  } while (size > 0);
  return out + body;
}

std::string XlsbString(const std::u16string& text) {
  std::string out = U32(static_cast<uint32_t>(text.size()));
  for (const char16_t c : text) out += U16(static_cast<uint16_t>(c));
  return out;
}

std::string XlsbRow(uint32_t row) {
  // Row, style, height, three bytes of flags, no column spans.
  return XlsbRecord(0, U32(row) + U32(0) + U16(300) + std::string(3, '\0') + U32(0));
}

std::string XlsbCell(uint32_t id, uint32_t col, uint32_t style, const std::string& value) {
  return XlsbRecord(id, (id >= 12 && id <= 18 ? "" : U32(col)) + U32(style) + value);
}

std::vector<std::pair<std::string, std::string>> XlsbParts::Parts() const {
  const std::string kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
  auto rel = [&](int id, const std::string& type, const std::string& target) {
    return "<Relationship Id=\"rId" + std::to_string(id) + "\" Type=\"" + kRel + type +
           "\" Target=\"" + target + "\"/>";
  };
  const std::string kRels =
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  auto sheet = [](const std::string& dim, const std::string& data) {
    return XlsbRecord(129, "") + (dim.empty() ? "" : XlsbRecord(148, dim)) + XlsbRecord(145, "") +
           data + XlsbRecord(146, "") + XlsbRecord(130, "");
  };
  std::string book = XlsbRecord(131, "") +
                     XlsbRecord(153, U32(date1904 ? 1 : 0) + U32(0) + XlsbString(u"")) +
                     XlsbRecord(143, "");
  std::string rels = rel(1, "styles", "styles.bin") + rel(2, "sharedStrings", "sharedStrings.bin");
  std::vector<std::pair<std::string, std::string>> parts;
  std::string types =
      "<Default Extension=\"bin\" ContentType=\"application/"
      "vnd.ms-excel.sheet.binary.macroEnabled.main\"/>";
  auto list = [&](int id, const std::u16string& name, const std::string& type,
                  const std::string& part, const std::string& records) {
    book += XlsbRecord(156, U32(0) + U32(id) + XlsbString(u"rId" + std::u16string(1, u'0' + id)) +
                                XlsbString(name));
    rels += rel(id, type, part);
    parts.emplace_back("xl/" + part, records);
  };
  if (chart_first) list(3, u"Chart", "chartsheet", "chartsheets/sheet1.bin", XlsbRecord(129, ""));
  list(4, u"Data", "worksheet", "worksheets/sheet1.bin", sheet(dimension, sheet_data));
  if (!second_sheet.empty()) {
    list(5, u"Second", "worksheet", "worksheets/sheet2.bin", sheet("", second_sheet));
  }
  book += XlsbRecord(144, "") + XlsbRecord(132, "");
  std::string styles = XlsbRecord(278, "") + XlsbRecord(615, U32(formats.size()));
  for (const auto& [id, code] : formats) styles += XlsbRecord(44, U16(id) + XlsbString(code));
  // A parent style that shows dates, which no cell refers to.
  styles += XlsbRecord(616, "") + XlsbRecord(626, U32(1)) +
            XlsbRecord(47, U16(0xFFFF) + U16(14) + std::string(12, '\0')) + XlsbRecord(627, "") +
            XlsbRecord(617, U32(cell_styles.size()));
  for (const uint16_t f : cell_styles)
    styles += XlsbRecord(47, U16(0) + U16(f) + std::string(12, '\0'));
  styles += XlsbRecord(618, "") + XlsbRecord(279, "");
  std::string strings = XlsbRecord(159, U32(shared_strings.size()) + U32(shared_strings.size()));
  for (const auto& s : shared_strings) strings += XlsbRecord(19, U8(0) + XlsbString(s));
  strings += XlsbRecord(160, "");
  parts.insert(
      parts.begin(),
      {{"[Content_Types].xml",
        "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/"
        "2006/content-types\">" +
            types + "</Types>"},
       {"_rels/.rels", kRels + rel(1, "officeDocument", "xl/workbook.bin") + "</Relationships>"},
       {"xl/workbook.bin", book},
       {"xl/_rels/workbook.bin.rels", kRels + rels + "</Relationships>"},
       {"xl/styles.bin", styles},
       {"xl/sharedStrings.bin", strings}});
  return parts;
}

}  // namespace sorvane::testing
