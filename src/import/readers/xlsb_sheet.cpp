#include "import/readers/xlsb_sheet.h"

#include <optional>
#include <string>

#include "import/readers/cell_sink.h"
#include "import/readers/cell_text.h"
#include "import/readers/read_failure.h"
#include "import/readers/used_range.h"
#include "import/readers/xlsb_records.h"

namespace sorvane::readers {
namespace {

enum : uint32_t {
  kRowHdr = 0,
  kCellBlank = 1,
  kCellRk = 2,
  kCellError = 3,
  kCellBool = 4,
  kCellReal = 5,
  kCellSt = 6,
  kCellIsst = 7,
  kFmlaString = 8,
  kFmlaNum = 9,
  kFmlaBool = 10,
  kFmlaError = 11,
  // The same cells without their column: the one after the row's last.
  kShortBlank = 12,
  kShortIsst = 18,
  kCellRString = 62,
  kBeginSheetData = 145,
  kEndSheetData = 146,
  kWsDim = 148,
};

constexpr int64_t kMaxRows = 1048576;
constexpr int32_t kMaxColumns = 16384;

bool IsCell(uint32_t id) {
  return id <= kFmlaError || (id >= kShortBlank && id <= kShortIsst) || id == kCellRString;
}

// Hands every cell of the sheet's data to a sink, record by record.
class SheetWalker {
 public:
  SheetWalker(const XlsxWorkbook& wb, CellSink& sink) : wb_(wb), sink_(sink) {}

  // Walks the sheet part; fails as truncated when its data end early.
  void Walk(ZipPackage& zip) {
    WalkXlsbPart(zip, wb_.sheet_part, [this](uint32_t id, const uint8_t* body, uint32_t size) {
      return OnRecord(id, body, size);
    });
    if (in_data_ && !sink_.stopped()) Truncated("the worksheet ends before its last row");
  }

 private:
  bool OnRecord(uint32_t id, const uint8_t* body, uint32_t size) {
    if (id == kBeginSheetData) {
      in_data_ = true;
    } else if (id == kEndSheetData) {
      in_data_ = false;
      return false;  // nothing after the cells is read
    } else if (in_data_) {
      XlsbFields f(body, size);
      if (id == kRowHdr) {
        const uint32_t row = f.U32();
        if (row >= kMaxRows) Damaged("a row number lies outside the sheet's grid");
        row_ = int64_t{row} + 1;
        col_ = -1;
      } else if (IsCell(id)) {
        OnCell(id, f);
        if (sink_.stopped()) return false;
      }
    }
    return true;
  }

  void OnCell(uint32_t id, XlsbFields& f) {
    const bool short_form = id >= kShortBlank && id <= kShortIsst;
    const int64_t col = short_form ? int64_t{col_} + 1 : int64_t{f.U32()};
    if (col < 0 || col >= kMaxColumns) Damaged("a cell lies beyond the last column");
    col_ = static_cast<int32_t>(col);
    const uint64_t style = f.U32() & 0xFFFFFFu;  // the rest are flags
    std::string* s = sink_.Cell(row_, col_);
    if (s == nullptr) return;
    switch (short_form ? id - kShortBlank + kCellBlank : id) {
      case kCellRk:
        Number(DecodeRk(f.U32()), style, *s);
        break;
      case kCellReal:
      case kFmlaNum:
        Number(f.F64(), style, *s);
        break;
      case kCellBool:
      case kFmlaBool:
        s->append(BooleanText(f.U8() != 0));
        sink_.MarkKind(RowFormats::Kind::kBoolean);
        break;
      case kCellError:
      case kFmlaError:
        s->append(ErrorCodeText(f.U8()));
        sink_.MarkKind(RowFormats::Kind::kError);
        break;
      case kCellSt:
      case kFmlaString:
        f.WideString(*s);
        break;
      case kCellIsst:
        s->append(wb_.strings.Get(f.U32()));
        break;
      case kCellRString:
        f.RichString(*s);
        break;
      default:
        break;  // a blank cell with a style
    }
  }

  void Number(double v, uint64_t style, std::string& s) {
    const bool is_date = wb_.IsDate(style);
    AppendNumberText(v, is_date, wb_.date1904, s);
    sink_.MarkNumber(v, style, is_date);
  }

  const XlsxWorkbook& wb_;
  CellSink& sink_;
  bool in_data_ = false;
  int64_t row_ = 1;
  int32_t col_ = -1;
};

// The used range the sheet declares ahead of its cells, if it declares one
// that can be a used range. Nothing more than a claim: the cells may not keep
// to it. A part that cannot be read makes no claim; the reading proper
// reports it.
std::optional<SheetShape> DeclaredShape(ZipPackage& zip, const XlsxWorkbook& wb) {
  std::optional<SheetShape> shape;
  try {
    WalkXlsbPart(zip, wb.sheet_part, [&](uint32_t id, const uint8_t* body, uint32_t size) {
      if (id != kWsDim) return id != kBeginSheetData && !IsCell(id);
      if (size < 16) return false;
      XlsbFields f(body, size);
      const uint32_t first_row = f.U32(), last_row = f.U32();
      const uint32_t first_col = f.U32(), last_col = f.U32();
      // A claim wider than any table is read in two passes, as in .xlsx.
      constexpr uint32_t kMaxClaimedColumns = 256;
      if (last_row < first_row || last_row >= kMaxRows || last_col < first_col ||
          last_col >= kMaxClaimedColumns) {
        return false;
      }
      shape.emplace();
      shape->first_row = int64_t{first_row} + 1;
      shape->last_row = int64_t{last_row} + 1;
      shape->columns = static_cast<int32_t>(last_col) + 1;
      return false;
    });
  } catch (const ReadFailure&) {
    return std::nullopt;
  }
  return shape;
}

}  // namespace

SheetShape ReadXlsbSheet(ZipPackage& zip, XlsxWorkbook wb, const ShownRowCallback* on_row,
                         const ReadLimits& limits, const ShapeCallback& on_shape, bool one_pass,
                         int sheet) {
  SheetShape shape;
  shape.format = "xlsb";
  shape.sheet_name = wb.sheet_name;
  if (one_pass && ReadOnDeclaredShape(DeclaredShape(zip, wb), shape, *on_row, &wb.styles, limits,
                                      on_shape, [&](ShapeScanner& scanner, RowEmitter& emitter) {
                                        ScanAndEmitSink sink(scanner, emitter);
                                        SheetWalker(wb, sink).Walk(zip);
                                        return true;
                                      })) {
    return shape;
  }
  ShapeScanner scanner(limits.max_cells);
  {
    ScanSink sink(scanner);
    SheetWalker(wb, sink).Walk(zip);
  }
  scanner.FillShape(shape);
  if (on_shape) on_shape(shape);
  if (on_row == nullptr) return shape;
  if (!one_pass) wb = OpenXlsxWorkbook(zip, true, sheet);
  RowEmitter emitter(shape, scanner.ordered(), *on_row, &wb.styles);
  {
    EmitSink sink(emitter);
    SheetWalker(wb, sink).Walk(zip);
  }
  emitter.Finish();
  return shape;
}

}  // namespace sorvane::readers
