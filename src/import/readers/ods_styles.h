// The number formats of an OpenDocument spreadsheet (.ods), turned into the
// format codes the .xls and .xlsx readers show numbers through, so that a
// number shows the same whichever of the three formats holds it.
//
// An .ods file describes a format as elements (a number with two decimals and
// grouping, a literal text, a day, a month written out, conditions mapping
// values to other formats); each becomes the matching piece of a code
// ("#,##0.00", "\"kg\"", "d", "mmmm", sections). Cell styles name a format
// directly or through the style they inherit from. The formats are read from
// styles.xml and from the automatic styles at the head of content.xml.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "import/readers/number_format.h"
#include "import/readers/zip_package.h"

namespace sorvane::readers {

struct OdsFormats {
  StyleFormats styles;  // one code per style number below
  std::vector<bool> is_date;
  // Cell style name -> style number. A name not listed shows numbers in
  // general form.
  std::unordered_map<std::string, uint64_t> by_name;
  uint64_t Of(const std::string& cell_style) const;
  bool IsDate(uint64_t style) const { return style < is_date.size() && is_date[style]; }
};

// Fails (kDamaged) on malformed XML in either part; a missing styles.xml is no
// failure.
OdsFormats ReadOdsFormats(ZipPackage& zip);

}  // namespace sorvane::readers
