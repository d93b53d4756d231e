#include "import/readers/xls_reader.h"

#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "import/readers/biff_stream.h"
#include "import/readers/cell_sink.h"
#include "import/readers/cell_text.h"
#include "import/readers/number_format.h"
#include "import/readers/read_failure.h"
#include "import/readers/string_table.h"
#include "import/readers/used_range.h"
#include "import/readers/xls_decrypt.h"

namespace sorvane::readers {
namespace {

using Reason = WorkbookError::Reason;

enum : uint16_t {
  kBof = 0x0809,
  kEof = 0x000A,
  kFilePass = 0x002F,
  kDateMode = 0x0022,
  kCodePage = 0x0042,
  kFormat = 0x041E,
  kXf = 0x00E0,
  kBoundSheet = 0x0085,
  kSst = 0x00FC,
  kNumber = 0x0203,
  kRk = 0x027E,
  kMulRk = 0x00BD,
  kLabelSst = 0x00FD,
  kLabel = 0x0204,
  kRString = 0x00D6,
  kBoolErr = 0x0205,
  kBlank = 0x0201,
  kMulBlank = 0x00BE,
  kFormula = 0x0006,
  kString = 0x0207,
  kShrFmla = 0x04BC,
  kArray = 0x0221,
  kTable = 0x0236,
  kDimensions = 0x0200,
  // The records of Excel 3.0 and 4.0 worksheets that differ from those after.
  kBof3 = 0x0209,
  kBof4 = 0x0409,
  kFormat3 = 0x001E,
  kXf3 = 0x0243,
  kXf4 = 0x0443,
  kFormula3 = 0x0206,
  kFormula4 = 0x0406,
  // The records of Excel 2.x worksheets: their cells carry three bytes of
  // attributes, the number format's index among them, where later ones name
  // an XF record.
  kBof2 = 0x0009,
  kBlank2 = 0x0001,
  kInteger2 = 0x0002,
  kNumber2 = 0x0003,
  kLabel2 = 0x0004,
  kBoolErr2 = 0x0005,
  kFormula2 = 0x0006,
  kString2 = 0x0007,
};

// BIFF8 allows 256 columns; anything far beyond is a damaged record.
constexpr int32_t kMaxColumns = 16384;

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
double GetF64(const uint8_t* p) {
  double d;
  std::memcpy(&d, p, sizeof d);
  return d;
}

struct Globals {
  bool biff5 = false;  // an Excel 3.0 to 95 workbook: its texts are bytes of `code_page`
  // An Excel 2.x, 3.0 or 4.0 worksheet: one sheet whose stream holds its
  // formats and cells alike, its formats counted in the order they come.
  bool old_worksheet = false;
  bool biff2 = false;  // Excel 2.x: a cell's "XF" below is its number format's index
  CodePage code_page;
  bool date1904 = false;
  std::vector<bool> xf_is_date;
  StringTable sst;
  StyleFormats styles;  // by XF index
  bool has_sheet = false;
  std::string sheet_name;
  uint32_t sheet_offset = 0;

  bool IsDate(uint16_t xf) const { return xf < xf_is_date.size() && xf_is_date[xf]; }
  std::string_view Shared(uint32_t index) const { return sst.Get(index); }
};

// Whether a stream opens with the BOF record of an Excel 2.x, 3.0 or 4.0
// worksheet. Refuses their charts and macro sheets, and an Excel 4.0 workbook
// of several sheets.
bool IsOldWorksheet(const BiffCursor& cursor) {
  constexpr uint16_t kWorksheet = 0x0010;
  const bool worksheet = cursor.length() >= 4 && Get16(cursor.body() + 2) == kWorksheet;
  switch (cursor.id()) {
    case kBof2:
      if (worksheet) return true;
      Fail(Reason::kUnsupportedFormat,
           "it is an Excel 2.x chart or macro sheet, not a worksheet (BIFF2)");
    case kBof3:
    case kBof4:
      if (worksheet) return true;
      Fail(Reason::kUnsupportedFormat,
           "Excel 3.0 and 4.0 workbooks of several sheets (BIFF3 and BIFF4) are not supported, "
           "only their worksheets");
    case kBof:
      return false;
    default:
      Damaged("the workbook stream does not start with a BOF record");
  }
}

// True for BIFF5 (Excel 5.0 and 95), false for BIFF8.
bool IsBiff5(const BiffCursor& cursor, const std::string& stream_name) {
  const uint16_t version = cursor.length() >= 2 ? Get16(cursor.body()) : 0;
  return version == 0x0500 || (version != 0x0600 && stream_name.size() == 4);
}

// `passed_over`: the worksheets before the one read.
Globals ReadGlobals(WorkbookStream& stream, std::string_view password, const ReadLimits& limits,
                    int passed_over) {
  BiffCursor cursor(stream.bytes.data(), stream.bytes.size());
  if (!cursor.Next()) Fail(Reason::kNotSpreadsheet, "the workbook stream is empty");
  Globals g;
  g.old_worksheet = IsOldWorksheet(cursor);
  g.biff2 = cursor.id() == kBof2;
  g.biff5 = g.old_worksheet || IsBiff5(cursor, stream.name);
  if (g.old_worksheet) {
    // The worksheet is the stream: its globals are read on the way to its end.
    g.has_sheet = passed_over == 0;  // named by the caller, after its file
  }
  uint16_t formats_read = 0;
  g.sst.SetLimits(limits.max_string_bytes, std::numeric_limits<uint64_t>::max());
  std::vector<uint16_t> xf_formats;
  std::unordered_map<uint16_t, std::string> custom_codes;
  bool ended = false, decrypted = false;
  while (!ended && cursor.Next()) {
    switch (cursor.id()) {
      case kEof:
        ended = true;
        break;
      case kFilePass:
        // The records after it are decrypted in place; the walk goes on over them.
        if (g.old_worksheet) {
          Fail(Reason::kUnsupportedFormat,
               "it is an Excel 3.0 or 4.0 worksheet protected with a password, a protection "
               "that is not supported even with its password (open it in a spreadsheet program, "
               "remove the password and save it again)");
        }
        if (decrypted) Damaged("the workbook holds two FILEPASS records");
        DecryptBiffStream(stream.bytes, cursor.offset(), password, g.biff5);
        decrypted = true;
        break;
      case kDateMode:
        if (cursor.length() >= 2) g.date1904 = Get16(cursor.body()) != 0;
        break;
      case kCodePage:
        if (g.biff5 && cursor.length() >= 2) g.code_page = CodePage(Get16(cursor.body()));
        break;
      case kFormat:
      case kFormat3: {
        // A broken format record costs only the date look of its cells (which
        // then show their serial numbers), not the whole sheet.
        try {
          BiffReader r(cursor);
          // Excel 4.0 and before number formats by their order, not an id.
          const uint16_t id = g.old_worksheet ? formats_read++ : r.U16();
          if (g.old_worksheet && cursor.id() == kFormat) r.U16();
          std::string code;
          if (g.biff5) {
            r.ReadByteString(true, g.code_page, &code);
          } else {
            r.ReadString(false, &code);
          }
          custom_codes[id] = std::move(code);
        } catch (const ReadFailure&) {
        }
        break;
      }
      case kXf:
        if (cursor.length() < 4) Damaged("an XF record is too short");
        xf_formats.push_back(Get16(cursor.body() + 2));
        break;
      case kXf3:
      case kXf4:
        // The font's index, then the format's, a byte each.
        if (cursor.length() < 2) Damaged("an XF record is too short");
        xf_formats.push_back(cursor.body()[1]);
        break;
      case kBoundSheet: {
        if (g.old_worksheet) break;
        BiffReader r(cursor);
        const uint32_t offset = r.U32();
        r.U8();  // visibility: hidden sheets count like the application counts them
        const uint8_t type = r.U8();
        if (type == 0 && !g.has_sheet && passed_over-- == 0) {
          g.has_sheet = true;
          g.sheet_offset = offset;
          try {
            if (g.biff5) {
              r.ReadByteString(true, g.code_page, &g.sheet_name);
            } else {
              r.ReadString(true, &g.sheet_name);
            }
          } catch (const ReadFailure&) {
            g.sheet_name.clear();  // the name is only shown, never needed
          }
        }
        break;
      }
      case kSst: {
        BiffReader r = BiffReader::WithContinues(cursor);
        r.Skip(8);  // the string counts, which writers get wrong: the data decides
        std::string text;
        while (!r.AtEnd()) {
          text.clear();
          r.ReadString(false, &text);
          g.sst.Add(text);
        }
        break;
      }
      default:
        break;
    }
  }
  if (!ended) Truncated("the workbook globals end early");
  if (g.biff2) {
    // Cells name their formats themselves: one "XF" a format, the built-in
    // ones where the worksheet writes none.
    xf_formats.resize(formats_read > 0 ? formats_read : 64);
    for (size_t i = 0; i < xf_formats.size(); ++i) xf_formats[i] = static_cast<uint16_t>(i);
  }
  g.xf_is_date.resize(xf_formats.size());
  g.styles.date1904 = g.date1904;
  for (size_t i = 0; i < xf_formats.size(); ++i) {
    const uint16_t f = xf_formats[i];
    auto it = custom_codes.find(f);
    const bool custom = it != custom_codes.end();
    // An old worksheet that writes its formats says what each shows; one
    // without them shows the built-in ones.
    g.xf_is_date[i] = g.old_worksheet && custom
                          ? IsDateFormatCode(it->second)
                          : IsBuiltInDateFormat(f) || (custom && IsDateFormatCode(it->second));
    g.styles.Add(custom ? it->second : std::string(BuiltInFormatCode(f)));
  }
  return g;
}

class SheetWalker {
 public:
  SheetWalker(const WorkbookStream& stream, const Globals& g, CellSink& sink)
      : g_(g), sink_(sink), cursor_(stream.bytes.data(), stream.bytes.size()) {
    if (g.sheet_offset >= stream.bytes.size()) {
      Truncated("the first worksheet lies past the end of the workbook stream");
    }
    cursor_.Seek(g.sheet_offset);
  }

  void Walk() {
    if (!cursor_.Next() || (cursor_.id() != kBof && !g_.old_worksheet)) {
      Damaged("the first worksheet does not start where the workbook says");
    }
    int depth = 0;  // charts embedded in the sheet bring their own BOF..EOF
    while (!sink_.stopped()) {
      if (!cursor_.Next()) Truncated("the worksheet ends early");
      const uint16_t id = cursor_.id();
      if (id == kBof) {
        ++depth;
      } else if (id == kEof) {
        if (depth == 0) return;
        --depth;
      } else if (depth == 0) {
        OnRecord(id);
      }
    }
  }

 private:
  void Need(size_t n) const {
    if (cursor_.length() < n) Damaged("a cell record is too short");
  }

  // The slot of the cell at BIFF row/column indexes, or null.
  std::string* Slot(uint16_t row, uint32_t col) {
    if (col >= static_cast<uint32_t>(kMaxColumns)) Damaged("a cell lies beyond the last column");
    return sink_.Cell(int64_t{row} + 1, static_cast<int32_t>(col));
  }

  void Number(uint16_t row, uint32_t col, uint16_t xf, double v) {
    if (std::string* s = Slot(row, col)) {
      AppendNumberText(v, g_.IsDate(xf), g_.date1904, *s);
      sink_.MarkNumber(v, xf, g_.IsDate(xf));
    }
  }

  // An Excel 2.x cell: row, column, then three bytes of attributes, the
  // number format's index in the second.
  void OnBiff2Record(uint16_t id) {
    const uint8_t* b = cursor_.body();
    auto format = [&] { return static_cast<uint16_t>(b[5] & 0x3F); };
    switch (id) {
      case kBlank2:
        Need(7);
        Slot(Get16(b), Get16(b + 2));
        break;
      case kInteger2:
        Need(9);
        Number(Get16(b), Get16(b + 2), format(), Get16(b + 7));
        break;
      case kNumber2:
        Need(15);
        Number(Get16(b), Get16(b + 2), format(), GetF64(b + 7));
        break;
      case kLabel2: {
        Need(8);
        std::string* s = Slot(Get16(b), Get16(b + 2));
        BiffReader r(cursor_);
        r.Skip(7);
        r.ReadByteString(true, g_.code_page, s);
        break;
      }
      case kBoolErr2:
        Need(9);
        BoolErr(Get16(b), Get16(b + 2), b[7], b[8]);
        break;
      case kFormula2:
        Need(17);
        Formula(Get16(b), Get16(b + 2), format(), b + 7);
        break;
      default:
        break;
    }
  }

  void BoolErr(uint16_t row, uint16_t col, uint8_t value, uint8_t is_error) {
    if (std::string* s = Slot(row, col)) {
      s->append(is_error != 0 ? ErrorCodeText(value) : BooleanText(value != 0));
      sink_.MarkKind(is_error != 0 ? RowFormats::Kind::kError : RowFormats::Kind::kBoolean);
    }
  }

  void OnRecord(uint16_t id) {
    if (g_.biff2) {
      OnBiff2Record(id);
      return;
    }
    const uint8_t* b = cursor_.body();
    switch (id) {
      case kNumber:
        Need(14);
        Number(Get16(b), Get16(b + 2), Get16(b + 4), GetF64(b + 6));
        break;
      case kRk:
        Need(10);
        Number(Get16(b), Get16(b + 2), Get16(b + 4), DecodeRk(Get32(b + 6)));
        break;
      case kMulRk: {
        Need(6);
        const size_t n = (cursor_.length() - 6) / 6;
        if ((cursor_.length() - 6) % 6 != 0) Damaged("a MULRK record has a broken length");
        const uint16_t row = Get16(b), first = Get16(b + 2);
        for (size_t i = 0; i < n; ++i) {
          const uint8_t* p = b + 4 + 6 * i;
          Number(row, first + static_cast<uint32_t>(i), Get16(p), DecodeRk(Get32(p + 2)));
        }
        break;
      }
      case kLabelSst: {
        Need(10);
        std::string* s = Slot(Get16(b), Get16(b + 2));
        const std::string_view text = g_.Shared(Get32(b + 6));
        if (s != nullptr) s->append(text);
        break;
      }
      case kLabel:
      case kRString: {
        Need(6);
        std::string* s = Slot(Get16(b), Get16(b + 2));
        BiffReader r(cursor_);
        r.Skip(6);
        // RSTRING's formatting runs follow the string; only the text counts.
        if (g_.biff5) {
          r.ReadByteString(false, g_.code_page, s);
        } else {
          r.ReadString(false, s);
        }
        break;
      }
      case kBoolErr:
        Need(8);
        BoolErr(Get16(b), Get16(b + 2), b[6], b[7]);
        break;
      case kBlank:
        Need(6);
        Slot(Get16(b), Get16(b + 2));
        break;
      case kMulBlank: {
        Need(6);
        const size_t n = (cursor_.length() - 6) / 2;
        const uint16_t row = Get16(b), first = Get16(b + 2);
        for (size_t i = 0; i < n; ++i) Slot(row, first + static_cast<uint32_t>(i));
        break;
      }
      case kFormula:
        Need(20);
        Formula(Get16(b), Get16(b + 2), Get16(b + 4), b + 6);
        break;
      case kFormula3:
      case kFormula4:
        Need(16);
        Formula(Get16(b), Get16(b + 2), Get16(b + 4), b + 6);
        break;
      default:
        break;
    }
  }

  // `result`: the eight bytes of the formula's saved result.
  void Formula(uint16_t row, uint16_t col, uint16_t xf, const uint8_t* result) {
    std::string* s = Slot(row, col);
    if (s == nullptr) return;
    if (Get16(result + 6) != 0xFFFF) {
      AppendNumberText(GetF64(result), g_.IsDate(xf), g_.date1904, *s);
      sink_.MarkNumber(GetF64(result), xf, g_.IsDate(xf));
      return;
    }
    switch (result[0]) {
      case 0:
        StringResult(*s);
        break;
      case 1:
        s->append(BooleanText(result[2] != 0));
        sink_.MarkKind(RowFormats::Kind::kBoolean);
        break;
      case 2:
        s->append(ErrorCodeText(result[2]));
        sink_.MarkKind(RowFormats::Kind::kError);
        break;
      default:
        break;  // an empty string
    }
  }

  // A string result is stored in the STRING record after the formula (past the
  // shared-formula, array or table record that may come between).
  void StringResult(std::string& s) {
    BiffCursor look = cursor_;
    while (look.Next()) {
      const uint16_t id = look.id();
      if (id == kShrFmla || id == kArray || id == kTable) continue;
      if (id == (g_.biff2 ? kString2 : kString)) {
        BiffReader r = BiffReader::WithContinues(look);
        if (g_.biff5) {
          r.ReadByteString(g_.biff2, g_.code_page, &s);
        } else {
          r.ReadString(false, &s);
        }
      }
      return;
    }
  }

  const Globals& g_;
  CellSink& sink_;
  BiffCursor cursor_;
};

// The used range the sheet's DIMENSIONS record declares ahead of its cells,
// if it declares one that can be a used range. Nothing more than a claim: the
// cells may not keep to it. A record that cannot be read makes no claim; the
// reading proper reports it.
std::optional<SheetShape> DeclaredShape(const WorkbookStream& stream, const Globals& g) {
  // An Excel 2.x worksheet is read twice: it is small, and its cells differ.
  if (g.biff2) return std::nullopt;
  BiffCursor cursor(stream.bytes.data(), stream.bytes.size());
  cursor.Seek(g.sheet_offset);
  try {
    if (g.sheet_offset >= stream.bytes.size() || !cursor.Next() ||
        (cursor.id() != kBof && !g.old_worksheet)) {
      return std::nullopt;
    }
    while (cursor.Next()) {
      switch (cursor.id()) {
        case kDimensions:
          break;
        case kBof:
        case kEof:
        case kNumber:
        case kRk:
        case kMulRk:
        case kLabelSst:
        case kLabel:
        case kRString:
        case kBoolErr:
        case kBlank:
        case kMulBlank:
        case kFormula:
        case kFormula3:
        case kFormula4:
          return std::nullopt;  // no claim before the cells
        default:
          continue;
      }
      // The first row and one past the last; the first column and one past
      // the last. Rows take two bytes each in BIFF5, four in BIFF8.
      const size_t row_bytes = g.biff5 ? 2 : 4;
      if (cursor.length() < 2 * row_bytes + 4) return std::nullopt;
      const uint8_t* b = cursor.body();
      const uint32_t first_row = g.biff5 ? Get16(b) : Get32(b);
      const uint32_t end_row = g.biff5 ? Get16(b + 2) : Get32(b + 4);
      const uint16_t first_col = Get16(b + 2 * row_bytes), end_col = Get16(b + 2 * row_bytes + 2);
      // A sheet holds 65,536 rows of 256 columns.
      if (end_row <= first_row || end_row > 65536 || end_col <= first_col || end_col > 256) {
        return std::nullopt;
      }
      SheetShape shape;
      shape.first_row = int64_t{first_row} + 1;
      shape.last_row = end_row;
      shape.columns = end_col;
      return shape;
    }
  } catch (const ReadFailure&) {
  }
  return std::nullopt;
}

}  // namespace

SheetShape ReadXlsSheet(WorkbookStream& stream, const ShownRowCallback* on_row,
                        const ReadLimits& limits, const ShapeCallback& on_shape,
                        std::string_view password, bool may_start_over, int sheet) {
  const Globals g = ReadGlobals(stream, password, limits, sheet);
  if (!g.has_sheet) Fail(Reason::kNoWorksheet, "the workbook holds no worksheet");
  SheetShape shape;
  shape.format = "xls";
  shape.sheet_name = g.sheet_name;
  if (on_row != nullptr && may_start_over &&
      ReadOnDeclaredShape(DeclaredShape(stream, g), shape, *on_row, &g.styles, limits, on_shape,
                          [&](ShapeScanner& scanner, RowEmitter& emitter) {
                            ScanAndEmitSink sink(scanner, emitter);
                            SheetWalker(stream, g, sink).Walk();
                            return true;
                          })) {
    return shape;
  }
  ShapeScanner scanner(limits.max_cells);
  {
    ScanSink sink(scanner);
    SheetWalker(stream, g, sink).Walk();
  }
  scanner.FillShape(shape);
  if (on_shape) on_shape(shape);
  if (on_row != nullptr) {
    RowEmitter emitter(shape, scanner.ordered(), *on_row, &g.styles);
    EmitSink sink(emitter);
    SheetWalker(stream, g, sink).Walk();
    emitter.Finish();
  }
  return shape;
}

}  // namespace sorvane::readers
