#include "support/xlsx_cells.h"

#include <unzip.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "core/text.h"

namespace sorvane::testing {
namespace {

std::string ReadPart(unzFile zip, const std::string& part) {
  if (unzLocateFile(zip, part.c_str(), 0) != UNZ_OK || unzOpenCurrentFile(zip) != UNZ_OK) {
    throw std::runtime_error("no part " + part);
  }
  std::string out;
  char buf[16384];
  int n;
  while ((n = unzReadCurrentFile(zip, buf, sizeof buf)) > 0) out.append(buf, n);
  unzCloseCurrentFile(zip);
  return out;
}

std::string Unescape(std::string_view s) {
  std::string out(s);
  for (const auto& [entity, c] :
       {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}})
    out = ReplaceAll(out, entity, c);
  return out;
}

// A tab, a line break and a backslash inside a cell as \t, \n and \\.
std::string Shown(const std::string& text) {
  return ReplaceAll(ReplaceAll(ReplaceAll(text, "\\", "\\\\"), "\t", "\\t"), "\n", "\\n");
}

}  // namespace

std::vector<std::string_view> Elements(std::string_view xml, std::string_view open_prefix,
                                       std::string_view close) {
  std::vector<std::string_view> out;
  for (size_t at = xml.find(open_prefix); at != std::string_view::npos;
       at = xml.find(open_prefix, at)) {
    const size_t gt = xml.find('>', at);
    if (gt == std::string_view::npos) break;
    const size_t start = gt + 1;
    if (xml[gt - 1] == '/') {  // an empty element
      out.push_back(xml.substr(at, start - at));
      at = start;
      continue;
    }
    const size_t end = xml.find(close, start);
    out.push_back(xml.substr(at, end - at));
    at = end;
  }
  return out;
}

std::string Attribute(std::string_view element, std::string_view name) {
  const std::string key = " " + std::string(name) + "=\"";
  const size_t at = element.find(key);
  if (at == std::string_view::npos) return "";
  const size_t start = at + key.size();
  return Unescape(element.substr(start, element.find('"', start) - start));
}

std::string Content(std::string_view element) {
  const size_t start = element.find('>');
  return start == std::string_view::npos ? "" : Unescape(element.substr(start + 1));
}

std::string XlsxPart(const std::filesystem::path& file, const std::string& part) {
  std::unique_ptr<void, int (*)(unzFile)> zip(unzOpen(file.string().c_str()), unzClose);
  if (!zip) throw std::runtime_error("not a zip package: " + file.string());
  return ReadPart(zip.get(), part);
}

std::string XlsxCellsText(const std::filesystem::path& file) {
  std::unique_ptr<void, int (*)(unzFile)> zip(unzOpen(file.string().c_str()), unzClose);
  if (!zip) throw std::runtime_error("not a zip package: " + file.string());
  // Strings are shared, or written into their cells (a writer streaming rows).
  std::vector<std::string> strings;
  std::string shared;
  try {
    shared = ReadPart(zip.get(), "xl/sharedStrings.xml");
  } catch (const std::runtime_error&) {
  }
  for (std::string_view si : Elements(shared, "<si>", "</si>")) {
    std::string text;
    for (std::string_view t : Elements(si, "<t", "</t>")) text += Content(t);
    strings.push_back(text);
  }
  std::string out;
  const std::string workbook = ReadPart(zip.get(), "xl/workbook.xml");
  int index = 0;
  for (std::string_view sheet : Elements(workbook, "<sheet ", "/>")) {
    out += "[" + Attribute(sheet, "name") + "]\n";
    const std::string xml =
        ReadPart(zip.get(), "xl/worksheets/sheet" + std::to_string(++index) + ".xml");
    for (std::string_view row : Elements(xml, "<row ", "</row>")) {
      std::map<int, std::string> cells;
      for (std::string_view c : Elements(row, "<c ", "</c>")) {
        std::string ref = Attribute(c, "r");
        int column = 0;
        for (char ch : ref) {
          if (ch >= 'A' && ch <= 'Z') column = column * 26 + (ch - 'A' + 1);
        }
        const std::vector<std::string_view> v = Elements(c, "<v", "</v>");
        std::string text = v.empty() ? "" : Content(v[0]);
        if (Attribute(c, "t") == "s") text = strings.at(std::stoul(text));
        if (Attribute(c, "t") == "inlineStr") {
          text.clear();
          for (std::string_view t : Elements(c, "<t", "</t>")) text += Content(t);
        }
        if (!text.empty()) cells[column] = text;  // a blank cell keeps only a format
      }
      if (cells.empty()) continue;
      out += Attribute(row, "r");
      int column = 0;
      for (const auto& [at, text] : cells) {
        for (; column < at; ++column) out += '\t';
        out += Shown(text);
      }
      out += '\n';
    }
  }
  return out;
}

}  // namespace sorvane::testing
