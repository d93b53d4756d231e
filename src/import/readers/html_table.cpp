#include "import/readers/html_table.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <exception>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "core/text.h"
#include "import/readers/cell_text.h"
#include "import/readers/code_page.h"
#include "import/readers/read_failure.h"
#include "import/readers/used_range.h"

namespace sorvane::readers {
namespace {

constexpr int64_t kMaxRows = 1048576;
constexpr int32_t kMaxColumns = 16384;
constexpr char kLineBreak = '\x01';  // a <br> while the text's blanks are run together

const char* Str(const xmlChar* s) { return reinterpret_cast<const char*>(s); }
// (The parser hands over element and attribute names in lower case, as HTML
// takes them without regard to case.)

// The charset the page's head names, in lower case; "" where it names none.
std::string DeclaredCharset(std::string_view head) {
  auto at = std::search(head.begin(), head.end(), "charset", "charset" + 7, [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == b;
  });
  if (at == head.end()) return "";
  std::string_view rest = head.substr(static_cast<size_t>(at - head.begin()) + 7);
  while (!rest.empty() && (rest[0] == ' ' || rest[0] == '=' || rest[0] == '"' || rest[0] == '\''))
    rest.remove_prefix(1);
  std::string label;
  for (char c : rest) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.' &&
        c != ':')
      break;
    label += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return label.empty() ? "?" : label;
}

// Labels a browser reads as Windows Western: a page that says ISO 8859-1 or
// ASCII was written in it in practice, and its bytes 0x80 to 0x9F are the
// quotes, dashes and euro sign of Windows, never control characters.
bool ReadAsWindowsWestern(const std::string& label) {
  for (const char* name : {"iso-8859-1", "iso8859-1", "iso_8859-1", "latin1", "l1", "us-ascii",
                           "ascii", "windows-1252", "cp1252", "x-cp1252", "cp819", "ibm819"}) {
    if (label == name) return true;
  }
  return false;
}

// How the parser is to take the page. Windows Western is turned into UTF-8
// here, a chunk at a time, the page's own charset then set aside: the
// parser's ISO 8859-1 would turn a curly quote into a control character. Any
// other charset the page names, or a byte-order mark, is the parser's to follow.
struct PageText {
  std::optional<CodePage> western;  // where the page is turned into UTF-8 first
  xmlCharEncoding encoding = XML_CHAR_ENCODING_NONE;
  bool own_charset_set_aside = false;
};
PageText PageTextOf(std::string_view html) {
  const std::string_view head = html.substr(0, 4096);
  PageText page;
  if (head.starts_with("\xEF\xBB\xBF") || head.starts_with("\xFF\xFE") ||
      head.starts_with("\xFE\xFF"))
    return page;
  const std::string label = DeclaredCharset(head);
  if (!label.empty() && !ReadAsWindowsWestern(label)) return page;
  page.encoding = XML_CHAR_ENCODING_UTF8;
  page.own_charset_set_aside = !label.empty();
  // Where the page names no charset: UTF-8 where every character is one.
  if (!label.empty() || !IsWellFormedUtf8(html)) page.western.emplace(1252);
  return page;
}

// The number an attribute gives (a colspan, a rowspan), 1 without one.
int64_t Span(const xmlChar** attrs, const char* name) {
  for (; attrs != nullptr && attrs[0] != nullptr; attrs += 2) {
    if (std::strcmp(Str(attrs[0]), name) != 0 || attrs[1] == nullptr) continue;
    int64_t n = 1;
    const char* v = Str(attrs[1]);
    std::from_chars(v, v + std::strlen(v), n);
    return std::max<int64_t>(n, 1);
  }
  return 1;
}

// The text a browser shows: every run of blanks one blank, none at either end
// or beside a line break.
std::string Shown(const std::string& raw) {
  std::string out;
  bool blank = false;
  for (size_t i = 0; i < raw.size(); ++i) {
    const auto c = static_cast<unsigned char>(raw[i]);
    const bool nbsp = c == 0xC2 && i + 1 < raw.size() && raw[i + 1] == '\xA0';
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || nbsp) {
      blank = true;
      i += nbsp ? 1 : 0;
      continue;
    }
    if (c == kLineBreak) {
      out += '\n';
      blank = false;
      continue;
    }
    if (blank && !out.empty() && out.back() != '\n') out += ' ';
    blank = false;
    out += static_cast<char>(c);
  }
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

// One pass over the page: every cell of its tables' rows to the scanner
// (positions) or the emitter (texts).
class TableWalker {
 public:
  TableWalker(ShapeScanner* scanner, RowEmitter* emitter) : scanner_(scanner), emitter_(emitter) {}

  // Parses `html` as `page` says; rethrows what a callback threw.
  void Walk(std::string_view html, const PageText& page) {
    // The library's own set-up, which is not safe to race on: pages may be
    // read on two threads at once (the import's reading ahead and a window's).
    static std::once_flag initialised;
    std::call_once(initialised, xmlInitParser);
    htmlSAXHandler sax{};
    sax.startElement = [](void* self, const xmlChar* name, const xmlChar** attrs) {
      static_cast<TableWalker*>(self)->Guard([&](TableWalker& w) { w.Start(Str(name), attrs); });
    };
    sax.endElement = [](void* self, const xmlChar* name) {
      static_cast<TableWalker*>(self)->Guard([&](TableWalker& w) { w.End(Str(name)); });
    };
    sax.characters = [](void* self, const xmlChar* text, int len) {
      auto& w = *static_cast<TableWalker*>(self);
      if (w.in_cell_) w.text_.append(Str(text), static_cast<size_t>(len));
    };
    // A script's or a style sheet's text is no cell's text.
    sax.cdataBlock = [](void*, const xmlChar*, int) {};
    const std::unique_ptr<htmlParserCtxt, void (*)(htmlParserCtxtPtr)> ctxt(
        htmlCreatePushParserCtxt(&sax, this, nullptr, 0, nullptr, page.encoding),
        htmlFreeParserCtxt);
    if (!ctxt) throw std::bad_alloc();
    ctxt_ = ctxt.get();
    htmlCtxtUseOptions(ctxt_, HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                                  HTML_PARSE_NONET |
                                  (page.own_charset_set_aside ? HTML_PARSE_IGNORE_ENC : 0));
    constexpr size_t kChunk = 1 << 20;
    std::string converted;
    for (size_t at = 0; at <= html.size() && !stopped_; at += kChunk) {
      const size_t n = std::min(kChunk, html.size() - at);
      std::string_view chunk = html.substr(at, n);
      if (page.western) {
        // One byte a character: a chunk is whole characters.
        converted.clear();
        page.western->Append(chunk, converted);
        chunk = converted;
      }
      htmlParseChunk(ctxt_, chunk.data(), static_cast<int>(chunk.size()), at + n == html.size());
      if (at + n == html.size()) break;
    }
    if (error_) std::rethrow_exception(error_);
  }

  bool found() const { return rows_ > 0; }

 private:
  template <typename F>
  void Guard(F&& f) {
    if (stopped_) return;
    try {
      f(*this);
    } catch (...) {
      error_ = std::current_exception();
      Stop();
    }
  }
  void Stop() {
    stopped_ = true;
    xmlStopParser(ctxt_);
  }

  void Start(const char* name, const xmlChar** attrs) {
    const bool cell = std::strcmp(name, "td") == 0 || std::strcmp(name, "th") == 0;
    if (std::strcmp(name, "table") == 0) ++tables_;
    if (tables_ == 1 && std::strcmp(name, "tr") == 0) {
      if (++rows_ > kMaxRows) Damaged("the page has more table rows than a sheet has rows");
      col_ = 0;
    } else if (tables_ == 1 && cell) {
      if (rows_ == 0) ++rows_;  // a cell before any row starts one
      SkipCovered();
      colspan_ = std::min<int64_t>(Span(attrs, "colspan"), kMaxColumns);
      rowspan_ = std::min<int64_t>(Span(attrs, "rowspan"), kMaxRows);
      in_cell_ = true;
      text_.clear();
    } else if (in_cell_) {
      // Markup inside a cell: a line break, or a block a browser sets apart
      // (a table inside the cell among them).
      static constexpr const char* kBlocks[] = {"table", "tr", "td", "th", "p", "div", "li"};
      if (std::strcmp(name, "br") == 0) {
        text_ += kLineBreak;
      } else if (std::any_of(std::begin(kBlocks), std::end(kBlocks),
                             [&](const char* b) { return std::strcmp(name, b) == 0; })) {
        text_ += ' ';
      }
    }
  }

  void End(const char* name) {
    if (std::strcmp(name, "table") == 0) {
      if (tables_ > 0) --tables_;
    } else if (tables_ == 1 && in_cell_ &&
               (std::strcmp(name, "td") == 0 || std::strcmp(name, "th") == 0)) {
      EndCell();
    }
  }

  // Moves the row's next column past those that cells of earlier rows span
  // down to.
  void SkipCovered() {
    for (auto it = spans_.upper_bound(col_); it != spans_.begin();) {
      --it;
      if (col_ > it->second.last_col || it->second.last_row < rows_) return;
      col_ = it->second.last_col + 1;
      it = spans_.upper_bound(col_);
    }
  }

  // Columns `first`..`last` are spanned down to row `last_row`: whatever
  // earlier span they overlap has ended (the columns were free in this row).
  void AddSpan(int64_t first, int64_t last, int64_t last_row) {
    auto it = spans_.upper_bound(first);
    if (it != spans_.begin() && std::prev(it)->second.last_col >= first) --it;
    while (it != spans_.end() && it->first <= last) it = spans_.erase(it);
    spans_[first] = {last, last_row};
  }

  void EndCell() {
    in_cell_ = false;
    if (col_ >= kMaxColumns) Damaged("a table row has more cells than a sheet has columns");
    const int32_t col = static_cast<int32_t>(col_);
    if (rowspan_ > 1) AddSpan(col_, col_ + colspan_ - 1, rows_ + rowspan_ - 1);
    col_ += colspan_;
    const std::string text = Shown(text_);
    if (text.empty()) return;
    if (scanner_ != nullptr) scanner_->Add(rows_, col);
    if (emitter_ != nullptr) {
      emitter_->Cell(rows_, col) = text;
      if (IsGeneralForm(text)) emitter_->MarkKind(RowFormats::Kind::kNumber);
      if (emitter_->stopped()) Stop();
    }
  }

  ShapeScanner* scanner_;
  RowEmitter* emitter_;
  htmlParserCtxtPtr ctxt_ = nullptr;
  std::exception_ptr error_;
  bool stopped_ = false, in_cell_ = false;
  int tables_ = 0;  // tables open; only the outermost ones' rows are the sheet's
  int64_t rows_ = 0, col_ = 0, colspan_ = 1, rowspan_ = 1;
  struct Spanned {
    int64_t last_col, last_row;
  };
  std::map<int64_t, Spanned> spans_;  // first column -> the columns and rows a cell spans
  std::string text_;
};

}  // namespace

bool HasHtmlTable(std::string_view text) {
  for (size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1)) {
    if (EqualsNoCase(text.substr(at + 1, 5), "table")) return true;
  }
  return false;
}

SheetShape ReadHtmlTables(std::string_view html, const std::string& sheet_name,
                          const ShownRowCallback* on_row, const ReadLimits& limits,
                          const ShapeCallback& on_shape, const std::function<bool()>& keep_going) {
  SheetShape shape;
  shape.format = "html";
  shape.sheet_name = sheet_name;
  const PageText page = PageTextOf(html);
  return ReadInTwoPasses(shape, on_row, nullptr, limits, on_shape, keep_going,
                         [&](ShapeScanner* scanner, RowEmitter* emitter) {
                           TableWalker walker(scanner, emitter);
                           walker.Walk(html, page);
                           if (!walker.found()) {
                             Fail(WorkbookError::Reason::kNotSpreadsheet,
                                  "it is not a spreadsheet but a web page with a workbook's name, "
                                  "and the page holds no table row");
                           }
                         });
}

}  // namespace sorvane::readers
