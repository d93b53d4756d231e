// The XML Spreadsheet of Excel 2002 and 2003 ("XML Spreadsheet 2003"), which
// reporting tools still export under an .xls name: one XML document of styles
// and worksheets whose cells say their own type (Number, DateTime, String,
// Boolean, Error). A worksheet reads as the same cells of an .xls workbook
// read: numbers through their styles' number formats (Excel's named ones,
// "Short Date", "Fixed", "Percent" ..., or codes), dates of either system,
// rich text as its characters. Comments are no part of a cell's value.
#pragma once

#include <functional>
#include <string_view>

#include "import/readers/workbook_reader.h"

namespace sorvane::readers {

// True when `text` (the start of a file) is such a document.
bool IsXmlSpreadsheet(std::string_view text);

// Reads the worksheet after `sheet` others of the document `xml`. Fails with
// a ReadFailure (kDamaged for XML that is not well formed, kUnsafe for a
// document type, kNoWorksheet past the last worksheet).
SheetShape ReadXmlSpreadsheet(std::string_view xml, const ShownRowCallback* on_row,
                              const ReadLimits& limits, const ShapeCallback& on_shape, int sheet,
                              const std::function<bool()>& keep_going = {});

}  // namespace sorvane::readers
