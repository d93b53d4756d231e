#include "import/readers/xlsx_workbook.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "import/readers/cell_text.h"
#include "import/readers/number_format.h"
#include "import/readers/read_failure.h"
#include "import/readers/utf8.h"
#include "import/readers/xlsb_workbook.h"
#include "import/readers/xml_part.h"

namespace sorvane::readers {

using Reason = WorkbookError::Reason;

std::string ResolveTarget(std::string_view source_part, std::string_view target) {
  std::string path;
  if (!target.empty() && (target[0] == '/' || target[0] == '\\')) {
    path = std::string(target);
  } else {
    const size_t slash = source_part.rfind('/');
    if (slash != std::string_view::npos) path = std::string(source_part.substr(0, slash + 1));
    path += target;
  }
  path = ZipPackage::NormalName(path);
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string seg = path.substr(start, end - start);
    if (seg == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!seg.empty() && seg != ".") {
      parts.push_back(seg);
    }
    start = end + 1;
  }
  std::string out;
  for (const auto& s : parts) {
    if (!out.empty()) out += '/';
    out += s;
  }
  return out;
}

namespace {

bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

int ToInt(const char* v) {
  int out = 0;
  if (v != nullptr) std::from_chars(v, v + std::strlen(v), out);
  return out;
}

bool IsTrue(const char* v) {
  return v != nullptr && (std::strcmp(v, "1") == 0 || std::strcmp(v, "true") == 0);
}

std::string RelsPartOf(std::string_view part) {
  const size_t slash = part.rfind('/');
  if (slash == std::string_view::npos) return "_rels/" + std::string(part) + ".rels";
  return std::string(part.substr(0, slash + 1)) + "_rels/" + std::string(part.substr(slash + 1)) +
         ".rels";
}

struct Relationship {
  std::string type;
  std::string target;  // resolved
};

class RelsHandler : public XmlHandler {
 public:
  explicit RelsHandler(std::string_view source) : source_(source) {}
  void Start(std::string_view name, const char** attrs) override {
    if (name != "Relationship") return;
    const char* id = Attr(attrs, "Id");
    const char* type = Attr(attrs, "Type");
    const char* target = Attr(attrs, "Target");
    const char* mode = Attr(attrs, "TargetMode");
    if (id == nullptr || target == nullptr) return;
    if (mode != nullptr && std::strcmp(mode, "External") == 0) return;
    rels.emplace(id, Relationship{type != nullptr ? type : "", ResolveTarget(source_, target)});
  }
  void End(std::string_view) override {}
  std::unordered_map<std::string, Relationship> rels;

 private:
  std::string source_;
};

// The relationships of `part`; none when it has no relationship part.
std::unordered_map<std::string, Relationship> ReadRels(ZipPackage& zip, std::string_view part) {
  const std::string rels = RelsPartOf(part);
  if (!zip.Has(rels)) return {};
  RelsHandler h(part);
  ParseXmlPart(zip, rels, h);
  return std::move(h.rels);
}

const Relationship* FindByType(const std::unordered_map<std::string, Relationship>& rels,
                               std::string_view type_tail) {
  const Relationship* found = nullptr;
  const std::string* found_id = nullptr;
  for (const auto& [id, rel] : rels) {
    // Of several, the lowest id, so the choice does not depend on hash order.
    if (EndsWith(rel.type, type_tail) && (found == nullptr || id < *found_id)) {
      found = &rel;
      found_id = &id;
    }
  }
  return found;
}

class WorkbookHandler : public XmlHandler {
 public:
  void Start(std::string_view name, const char** attrs) override {
    if (name == "workbookPr") {
      date1904 = IsTrue(Attr(attrs, "date1904"));
    } else if (name == "sheet") {
      const char* n = Attr(attrs, "name");
      const char* id = Attr(attrs, "id");
      sheets.push_back({n != nullptr ? n : "", id != nullptr ? id : ""});
    }
  }
  void End(std::string_view name) override {
    if (name == "sheets") Stop();  // the rest of the workbook part is not needed
  }
  bool date1904 = false;
  std::vector<ListedSheet> sheets;
};

class StylesHandler : public XmlHandler {
 public:
  void Start(std::string_view name, const char** attrs) override {
    if (name == "numFmt") {
      const char* id = Attr(attrs, "numFmtId");
      const char* code = Attr(attrs, "formatCode");
      if (id != nullptr && code != nullptr) formats.custom[ToInt(id)] = code;
    } else if (name == "cellXfs") {
      in_cell_xfs_ = true;
    } else if (name == "xf" && in_cell_xfs_) {
      const char* id = Attr(attrs, "numFmtId");
      formats.style_format.push_back(ToInt(id));
    }
  }
  void End(std::string_view name) override {
    if (name == "cellXfs") in_cell_xfs_ = false;
  }
  CellStyleFormats formats;

 private:
  bool in_cell_xfs_ = false;
};

// Which cell styles show dates, and each one's format code.
void SetStyles(const CellStyleFormats& formats, XlsxWorkbook& wb) {
  wb.style_is_date.resize(formats.style_format.size());
  wb.styles = StyleFormats();
  wb.styles.date1904 = wb.date1904;
  for (size_t i = 0; i < formats.style_format.size(); ++i) {
    const int f = formats.style_format[i];
    const auto it = formats.custom.find(f);
    const bool custom = it != formats.custom.end();
    wb.style_is_date[i] = IsBuiltInDateFormat(f) || (custom && IsDateFormatCode(it->second));
    wb.styles.Add(custom ? it->second : std::string(BuiltInFormatCode(f)));
  }
}

// <si> holds <t> directly or rich-text runs <r><t>; phonetic guides <rPh> are
// not part of the text.
class SharedStringsHandler : public XmlHandler {
 public:
  explicit SharedStringsHandler(SharedStrings& out) : out_(out) {}
  void Start(std::string_view name, const char**) override {
    if (name == "si" || name == "sstItem") {  // the latter: Excel 2007 beta files
      current_.clear();
      in_si_ = true;
    } else if (name == "rPh") {
      ++phonetic_;
    } else if (name == "t" && in_si_ && phonetic_ == 0) {
      in_t_ = true;
    }
  }
  void End(std::string_view name) override {
    if (name == "t") {
      in_t_ = false;
    } else if (name == "rPh") {
      if (phonetic_ > 0) --phonetic_;
    } else if (name == "si" || name == "sstItem") {  // the latter: Excel 2007 beta files
      DecodeOoxmlEscapes(current_);
      out_.Add(current_);
      in_si_ = false;
    }
  }
  void Text(const char* s, int len) override {
    if (in_t_) current_.append(s, static_cast<size_t>(len));
  }

 private:
  SharedStrings& out_;
  std::string current_;
  bool in_si_ = false, in_t_ = false;
  int phonetic_ = 0;
};

std::string OfficeDocumentPart(ZipPackage& zip) {
  const auto root = ReadRels(zip, "");
  if (const Relationship* r = FindByType(root, "/officeDocument")) {
    if (zip.Has(r->target)) return r->target;
  }
  for (const char* guess : {"xl/workbook.xml", "workbook.xml"}) {
    if (zip.Has(guess)) return guess;
  }
  if (zip.Has("xl/workbook.bin")) return "xl/workbook.bin";
  // (An OpenDocument spreadsheet is read by its own reader before this.)
  Fail(Reason::kNotSpreadsheet,
       "it is not a spreadsheet (a zip archive without an Excel workbook part)");
}

}  // namespace

XlsxWorkbook OpenXlsxWorkbook(ZipPackage& zip, bool values, int passed_over) {
  XlsxWorkbook wb;
  const std::string workbook_part = OfficeDocumentPart(zip);
  wb.binary = EndsWith(workbook_part, ".bin");
  BookListing book;
  if (wb.binary) {
    book = ReadXlsbBook(zip, workbook_part);
  } else {
    WorkbookHandler listing;
    ParseXmlPart(zip, workbook_part, listing);
    book.date1904 = listing.date1904;
    book.sheets = std::move(listing.sheets);
  }
  wb.date1904 = book.date1904;
  const auto rels = ReadRels(zip, workbook_part);
  for (const auto& sheet : book.sheets) {
    const auto it = rels.find(sheet.rel_id);
    if (it == rels.end() || !EndsWith(it->second.type, "/worksheet")) continue;
    if (passed_over-- > 0) continue;
    if (!zip.Has(it->second.target)) {
      Damaged("the part of worksheet \"" + sheet.name + "\" is missing");
    }
    wb.sheet_name = sheet.name;
    wb.sheet_part = it->second.target;
    break;
  }
  if (wb.sheet_part.empty()) Fail(Reason::kNoWorksheet, "the workbook holds no worksheet");
  if (!values) return wb;
  // A package without the relationship may still hold the part at its usual place.
  auto part_of = [&](std::string_view type_tail, std::string_view usual) {
    const Relationship* r = FindByType(rels, type_tail);
    if (r != nullptr && zip.Has(r->target)) return r->target;
    const std::string guess = ResolveTarget(workbook_part, usual);
    return zip.Has(guess) ? guess : std::string();
  };
  const char* const ext = wb.binary ? ".bin" : ".xml";
  if (const std::string part = part_of("/styles", std::string("styles") + ext); !part.empty()) {
    if (wb.binary) {
      SetStyles(ReadXlsbStyles(zip, part), wb);
    } else {
      StylesHandler styles;
      ParseXmlPart(zip, part, styles);
      SetStyles(styles.formats, wb);
    }
  }
  if (const std::string part = part_of("/sharedStrings", std::string("sharedStrings") + ext);
      !part.empty()) {
    // Every string a worksheet uses costs it a cell of some twenty bytes
    // (<c t="s"><v>7</v></c>), or a record of ten, so the other parts' size
    // bounds the table.
    const uint64_t cell_bytes = wb.binary ? 10 : 16;
    const uint64_t plausible =
        std::max<uint64_t>(1 << 20, zip.DeclaredBytesBesides(part) / cell_bytes);
    wb.strings.SetLimits(zip.limits().max_string_bytes, plausible);
    if (wb.binary) {
      ReadXlsbStrings(zip, part, wb.strings);
    } else {
      SharedStringsHandler h(wb.strings);
      ParseXmlPart(zip, part, h);
    }
  }
  return wb;
}

}  // namespace sorvane::readers
