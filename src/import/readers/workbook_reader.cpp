#include "import/readers/workbook_reader.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "import/readers/html_table.h"
#include "import/readers/ods_sheet.h"
#include "import/readers/ole_container.h"
#include "import/readers/read_failure.h"
#include "import/readers/text_sheet.h"
#include "import/readers/xls_reader.h"
#include "import/readers/xlsx_decrypt.h"
#include "import/readers/xlsx_sheet.h"
#include "import/readers/xml_spreadsheet.h"
#include "import/readers/zip_package.h"

namespace sorvane {

WorkbookError MakeWorkbookError(WorkbookError::Reason reason, std::string_view file_name,
                                std::string_view what) {
  std::string d = "\"";
  d += file_name;
  d += "\" cannot be read: ";
  d += what;
  d += '.';
  return WorkbookError(reason, std::move(d));
}

namespace {

using readers::ReadFailure;
using Reason = WorkbookError::Reason;

enum class Container { kOle, kZip, kBareBiff, kMarkup, kText, kPdf, kEmpty, kOther };

// Text as programs export a table "for Excel" under a workbook's name: values
// separated by tabs or commas, in UTF-16 with its byte-order mark or in a
// single-byte or UTF-8 encoding without control characters.
bool LooksLikeText(std::string_view head) {
  if (head.size() >= 2 && (head.substr(0, 2) == "\xFF\xFE" || head.substr(0, 2) == "\xFE\xFF"))
    return true;
  return std::all_of(head.begin(), head.end(), [](char ch) {
    const auto c = static_cast<unsigned char>(ch);
    return c >= 0x20 ? c != 0x7F : c == '\t' || c == '\r' || c == '\n';
  });
}

Container Sniff(std::string_view head) {
  static constexpr unsigned char kOle[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  if (head.empty()) return Container::kEmpty;
  if (head.size() >= 8 && std::memcmp(head.data(), kOle, 8) == 0) return Container::kOle;
  if (head.size() >= 4 && head[0] == 'P' && head[1] == 'K' &&
      ((head[2] == 3 && head[3] == 4) || (head[2] == 5 && head[3] == 6))) {
    return Container::kZip;
  }
  // BOF records of BIFF2/3/4/5 worksheets saved without a compound-file container.
  if (head.size() >= 4 && head[0] == 0x09 &&
      (head[1] == 0x00 || head[1] == 0x02 || head[1] == 0x04 || head[1] == 0x08)) {
    return Container::kBareBiff;
  }
  // Web pages and XML spreadsheets saved under a workbook's name.
  size_t i = head.size() >= 3 && head.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  while (i < head.size() &&
         (head[i] == ' ' || head[i] == '\t' || head[i] == '\r' || head[i] == '\n')) {
    ++i;
  }
  if (i < head.size() && head[i] == '<') return Container::kMarkup;
  if (head.starts_with("%PDF-")) return Container::kPdf;
  if (LooksLikeText(head)) return Container::kText;
  return Container::kOther;
}

[[noreturn]] void RefuseOther(Container c) {
  if (c == Container::kEmpty) readers::Fail(Reason::kNotSpreadsheet, "the file is empty");
  if (c == Container::kMarkup) {
    readers::Fail(Reason::kNotSpreadsheet,
                  "it is not a spreadsheet but a web page or XML file with a workbook's name "
                  "(open it in a spreadsheet program and save it as a workbook)");
  }
  if (c == Container::kPdf) {
    readers::Fail(Reason::kNotSpreadsheet,
                  "it is not a spreadsheet but a PDF document with a workbook's name");
  }
  readers::Fail(Reason::kNotSpreadsheet,
                "it is not a spreadsheet (not an Excel 97-2003 .xls, an Excel .xlsx or an "
                "OpenDocument .ods workbook)");
}

// Source of the workbook bytes: a file or a memory block.
struct Source {
  const std::filesystem::path* file = nullptr;
  std::string_view bytes;
  std::string name;  // the file's name without its extension
};

// The whole of a file read as it is (text, markup, a bare stream), bounded
// as a part is.
std::string WholeFile(const Source& src, uint64_t max_bytes) {
  std::error_code ec;
  const uintmax_t size =
      src.file != nullptr ? std::filesystem::file_size(*src.file, ec) : src.bytes.size();
  if (ec) readers::Damaged("the text cannot be read: " + ec.message());
  if (size > max_bytes) {
    readers::Fail(Reason::kTooLarge,
                  "the file is larger than " + std::to_string(max_bytes) + " bytes");
  }
  if (src.file == nullptr) return std::string(src.bytes);
  std::string out(static_cast<size_t>(size), '\0');
  std::ifstream in(*src.file, std::ios::binary);
  in.read(out.data(), static_cast<std::streamsize>(out.size()));
  out.resize(static_cast<size_t>(in.gcount()));
  return out;
}

SheetShape Read(const Source& src, std::string_view head, const ShownRowCallback* on_row,
                const ReadOptions& options, const ShapeCallback& on_shape) {
  const ReadLimits& limits = options.limits;
  const Container c = Sniff(head);
  switch (c) {
    case Container::kOle: {
      readers::WorkbookStream stream =
          src.file != nullptr ? readers::ReadWorkbookStream(*src.file, limits.max_part_bytes)
                              : readers::ReadWorkbookStream(src.bytes, limits.max_part_bytes);
      if (stream.encrypted_package) {
        const std::string package =
            readers::DecryptPackage(stream.encryption_info, stream.bytes, options.password);
        stream = {};
        if (Sniff(package) != Container::kZip) {
          readers::Damaged("the decrypted package is not a zip package");
        }
        readers::ZipPackage zip(std::string_view(package), limits);
        return readers::ReadXlsxSheet(zip, on_row, limits, on_shape, options.may_start_over,
                                      options.sheet);
      }
      return readers::ReadXlsSheet(stream, on_row, limits, on_shape, options.password,
                                   options.may_start_over, options.sheet);
    }
    case Container::kZip: {
      std::unique_ptr<readers::ZipPackage> zip =
          src.file != nullptr ? std::make_unique<readers::ZipPackage>(*src.file, limits)
                              : std::make_unique<readers::ZipPackage>(src.bytes, limits);
      if (readers::IsOdsPackage(*zip)) {
        return readers::ReadOdsSheet(*zip, on_row, limits, on_shape, options.keep_going,
                                     options.sheet);
      }
      return readers::ReadXlsxSheet(*zip, on_row, limits, on_shape, options.may_start_over,
                                    options.sheet);
    }
    case Container::kMarkup: {
      const std::string text = WholeFile(src, limits.max_part_bytes);
      if (readers::IsXmlSpreadsheet(text)) {
        return readers::ReadXmlSpreadsheet(text, on_row, limits, on_shape, options.sheet,
                                           options.keep_going);
      }
      if (!readers::HasHtmlTable(text)) RefuseOther(c);
      if (options.sheet > 0) readers::Fail(Reason::kNoWorksheet, "the page is one sheet only");
      return readers::ReadHtmlTables(text, src.name, on_row, limits, on_shape, options.keep_going);
    }
    case Container::kText:
      if (options.sheet > 0) readers::Fail(Reason::kNoWorksheet, "the text holds one sheet only");
      return readers::ReadTextSheet(WholeFile(src, limits.max_part_bytes), src.name, on_row, limits,
                                    on_shape, options.keep_going);
    case Container::kBareBiff: {
      // A workbook stream saved without its container: the worksheets of
      // Excel 3.0 and 4.0, and the streams some programs write.
      // A worksheet on its own is named after its file, as Excel names it.
      readers::WorkbookStream stream;
      const std::string bytes = WholeFile(src, limits.max_part_bytes);
      stream.bytes.assign(bytes.begin(), bytes.end());
      const auto named = [&](SheetShape shape) {
        if (shape.sheet_name.empty()) shape.sheet_name = src.name;
        return shape;
      };
      const ShapeCallback tell = [&](const SheetShape& shape) {
        if (on_shape) on_shape(named(shape));
      };
      return named(readers::ReadXlsSheet(stream, on_row, limits, tell, options.password,
                                         options.may_start_over, options.sheet));
    }
    default:
      RefuseOther(c);
  }
}

std::string FileHead(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::error_code ec;
    const bool exists = std::filesystem::exists(file, ec);
    throw FileError(exists ? kErrPermissionDenied : kErrFileNotFound,
                    "\"" + file.string() + "\" " +
                        (exists ? "cannot be opened (permission denied)" : "was not found"));
  }
  std::string head(64, '\0');
  in.read(head.data(), 64);
  head.resize(static_cast<size_t>(in.gcount()));
  return head;
}

SheetShape ReadFile(const std::filesystem::path& file, const ShownRowCallback* on_row,
                    const ReadOptions& options, const ShapeCallback& on_shape) {
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec)) {
    throw FileError(kErrPathFileAccess, "\"" + file.string() + "\" is a folder, not a workbook");
  }
  // Opening a named pipe waits for a writer that may never come, and a device
  // can stream without end: only a plain file can hold a workbook.
  if (std::filesystem::exists(file, ec) && !std::filesystem::is_regular_file(file, ec)) {
    throw FileError(kErrPathFileAccess,
                    "\"" + file.string() + "\" is not a file (a pipe or a device), not a workbook");
  }
  const std::string head = FileHead(file);
  try {
    Source src;
    src.file = &file;
    src.name = file.stem().string();
    return Read(src, head, on_row, options, on_shape);
  } catch (const ReadFailure& f) {
    throw MakeWorkbookError(f.reason, file.filename().string(), f.what);
  }
}

ShownRowCallback WithoutFormats(const RowCallback& on_row) {
  return [&on_row](int64_t row, const std::vector<std::string>& cells, const RowFormats&) {
    return on_row(row, cells);
  };
}

}  // namespace

SheetShape ReadFirstWorksheet(const std::filesystem::path& file, const RowCallback& on_row,
                              const ReadLimits& limits, const ShapeCallback& on_shape) {
  ReadOptions options;
  options.limits = limits;
  const ShownRowCallback shown = WithoutFormats(on_row);
  return ReadFile(file, &shown, options, on_shape);
}

SheetShape ReadFirstWorksheetFromMemory(std::string_view bytes, const std::string& name,
                                        const RowCallback& on_row, const ReadLimits& limits,
                                        const ShapeCallback& on_shape) {
  ReadOptions options;
  options.limits = limits;
  return ReadWorkbookFromMemory(bytes, name, WithoutFormats(on_row), options, on_shape);
}

SheetShape ReadWorkbook(const std::filesystem::path& file, const ShownRowCallback& on_row,
                        const ReadOptions& options, const ShapeCallback& on_shape) {
  return ReadFile(file, &on_row, options, on_shape);
}

SheetShape ReadWorkbookFromMemory(std::string_view bytes, const std::string& name,
                                  const ShownRowCallback& on_row, const ReadOptions& options,
                                  const ShapeCallback& on_shape) {
  try {
    Source src;
    src.bytes = bytes;
    src.name = std::filesystem::path(name).stem().string();
    return Read(src, bytes.substr(0, 64), &on_row, options, on_shape);
  } catch (const ReadFailure& f) {
    throw MakeWorkbookError(f.reason, name, f.what);
  }
}

}  // namespace sorvane
