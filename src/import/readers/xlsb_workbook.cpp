#include "import/readers/xlsb_workbook.h"

#include "import/readers/xlsb_records.h"

namespace sorvane::readers {
namespace {

enum : uint32_t {
  kFmt = 44,
  kXf = 47,
  kEndBundleShs = 144,
  kWbProp = 153,
  kBundleSh = 156,
  kSstItem = 19,
  kBeginCellXfs = 617,
  kEndCellXfs = 618,
};

}  // namespace

BookListing ReadXlsbBook(ZipPackage& zip, std::string_view part) {
  BookListing book;
  WalkXlsbPart(zip, part, [&](uint32_t id, const uint8_t* body, uint32_t size) {
    XlsbFields f(body, size);
    if (id == kWbProp) {
      // Its flags come first; the lowest says dates count from 1904.
      if (size >= 4) book.date1904 = (f.U32() & 1u) != 0;
    } else if (id == kBundleSh) {
      ListedSheet sheet;
      f.Skip(8);  // visibility (hidden sheets count, as the application counts them), tab id
      f.WideString(sheet.rel_id, true);
      // The name is only shown, never needed: one that cannot be read is left out.
      try {
        f.WideString(sheet.name);
      } catch (const ReadFailure&) {
        sheet.name.clear();
      }
      book.sheets.push_back(std::move(sheet));
    }
    return id != kEndBundleShs;  // the rest of the workbook part is not needed
  });
  return book;
}

CellStyleFormats ReadXlsbStyles(ZipPackage& zip, std::string_view part) {
  CellStyleFormats out;
  bool cell_xfs = false;  // the cell styles' own parent styles come before, apart
  WalkXlsbPart(zip, part, [&](uint32_t id, const uint8_t* body, uint32_t size) {
    XlsbFields f(body, size);
    if (id == kFmt) {
      // A broken format record costs only the look of its cells (a date then
      // shows its serial number), not the whole sheet.
      try {
        const int format_id = f.U16();
        std::string code;
        f.WideString(code);
        out.custom[format_id] = std::move(code);
      } catch (const ReadFailure&) {
      }
    } else if (id == kBeginCellXfs) {
      cell_xfs = true;
    } else if (id == kEndCellXfs) {
      cell_xfs = false;
      return false;
    } else if (id == kXf && cell_xfs) {
      f.Skip(2);  // the parent style
      out.style_format.push_back(f.U16());
    }
    return true;
  });
  return out;
}

void ReadXlsbStrings(ZipPackage& zip, std::string_view part, StringTable& out) {
  std::string text;
  WalkXlsbPart(zip, part, [&](uint32_t id, const uint8_t* body, uint32_t size) {
    if (id == kSstItem) {
      text.clear();
      XlsbFields(body, size).RichString(text);
      out.Add(text);
    }
    return true;
  });
}

}  // namespace sorvane::readers
