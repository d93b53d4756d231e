// The text a spreadsheet program displays for a number shown through a number
// format code, in the English (United States) conventions: digit placeholders
// 0 # ?, decimal point, thousands separator and scaling commas, percent,
// scientific notation, literal text ("..." and \x), padding (_x, one blank),
// sections separated by ';' with colours and conditions in brackets, currency
// brackets ([$€-407]), "General", '@', fractions ("# ?/?", "?/16"), and the date
// and time codes (y m d h s, AM/PM, A/P, elapsed [h] [m] [s], fractions of a
// second).
//
// A code is compiled once; rendering never fails: a number a section cannot
// show (a negative date) shows in general form.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sorvane::readers {

class NumberFormat {
 public:
  explicit NumberFormat(std::string_view code);
  ~NumberFormat();
  NumberFormat(NumberFormat&&) noexcept;
  NumberFormat& operator=(NumberFormat&&) noexcept;
  std::string Render(double value, bool date1904) const;

  struct Section;  // one part of the code between ';', compiled

 private:
  std::vector<Section> sections_;
};

// "General" in any case, or an empty code: the general number form.
bool IsGeneralCode(std::string_view code);

// The en-US code of a built-in number format (0..49), "" for an id without one.
std::string_view BuiltInFormatCode(int id);

// The number formats of a workbook's cell styles, compiled when first used.
class StyleFormats {
 public:
  StyleFormats();
  ~StyleFormats();
  StyleFormats(StyleFormats&&) noexcept;
  StyleFormats& operator=(StyleFormats&&) noexcept;
  // Appends the next style's format code.
  void Add(std::string code);
  // True when style `style` shows numbers in general form (also for a style
  // the workbook does not define).
  bool IsGeneral(uint64_t style) const {
    return style >= general_.size() || general_[static_cast<size_t>(style)];
  }
  // The format code of style `style` ("" for one the workbook does not define).
  std::string Code(uint64_t style) const;
  // The displayed text of `value` in style `style`.
  std::string Render(uint64_t style, double value) const;
  bool date1904 = false;

 private:
  std::vector<std::string> codes_;
  std::vector<bool> general_;
  mutable std::vector<std::unique_ptr<NumberFormat>> compiled_;
};

}  // namespace sorvane::readers
