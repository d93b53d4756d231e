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

}  // namespace sorvane::testing
