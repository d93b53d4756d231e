// Reading benchmark of the workbook readers: a full 65,535-row .xls sheet
// (written by xlwt) and a 1,000,000-row .xlsx Table 5 (written here), each read
// in a child process so its peak memory is its own. Prints rows per second and
// peak resident memory. Not a test: run it by hand on a release build
// (-DSORVANE_BENCH=ON).
//   read_bench [--xlsx-rows N] [--xls-rows N] [--dir DIR]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "core/text.h"
#include "import/readers/workbook_reader.h"

namespace fs = std::filesystem;

namespace {

const char* kHeaders[] = {"FAC_ID",    "POINT_ID",   "SAM_ID",      "METHOD", "CAS_NUMBER",
                          "CONT_NAME", "CONC",       "UNITS",       "LAB_Q",  "MDL",
                          "ANA_DATE",  "a_COMMENTS", "A_LABORATORY"};

// Streams a Table 5 package of `rows` data rows to `path` the way Excel lays it
// out: shared strings for repeated texts, a date style, numbers as written.
void WriteXlsx(const fs::path& path, int64_t rows) {
  const char* analytes[][2] = {{"71-43-2", "Benzene"},         {"108-88-3", "Toluene"},
                               {"100-41-4", "Ethylbenzene"},   {"1330-20-7", "Xylenes"},
                               {"79-01-6", "Trichloroethene"}, {"127-18-4", "Tetrachloroethene"}};
  std::vector<std::string> strings(std::begin(kHeaders), std::end(kHeaders));
  for (const char* s :
       {"1234567", "8260B", "mg/L", "U", "duplicate sample", "Lab 0", "Lab 1", "Lab 2"}) {
    strings.push_back(s);
  }
  for (auto& a : analytes) {
    strings.push_back(a[0]);
    strings.push_back(a[1]);
  }
  for (int w = 1; w <= 40; ++w) strings.push_back("MW-" + std::to_string(w));
  auto index = [&](const std::string& s) {
    for (size_t i = 0; i < strings.size(); ++i) {
      if (strings[i] == s) return std::to_string(i);
    }
    strings.push_back(s);
    return std::to_string(strings.size() - 1);
  };

  zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  auto put = [&](const std::string& name, const std::string& content) {
    zip_fileinfo info{};
    zipOpenNewFileInZip64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 1,
                          1);
    zipWriteInFileInZip(zip, content.data(), static_cast<unsigned>(content.size()));
    zipCloseFileInZip(zip);
  };
  const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
  const std::string pkg = "http://schemas.openxmlformats.org/package/2006/relationships";
  const std::string main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
  put("_rels/.rels", "<Relationships xmlns=\"" + pkg + "\"><Relationship Id=\"rId1\" Type=\"" +
                         rel + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>");
  put("xl/workbook.xml", "<workbook xmlns=\"" + main + "\" xmlns:r=\"" + rel +
                             "\"><sheets><sheet name=\"Table5\" sheetId=\"1\" r:id=\"rId1\"/>"
                             "</sheets></workbook>");
  put("xl/_rels/workbook.xml.rels",
      "<Relationships xmlns=\"" + pkg + "\"><Relationship Id=\"rId1\" Type=\"" + rel +
          "/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" Type=\"" + rel +
          "/styles\" Target=\"styles.xml\"/><Relationship Id=\"rId3\" Type=\"" + rel +
          "/sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>");
  put("xl/styles.xml", "<styleSheet xmlns=\"" + main +
                           "\"><cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/></cellXfs>"
                           "</styleSheet>");

  zip_fileinfo info{};
  zipOpenNewFileInZip64(zip, "xl/worksheets/sheet1.xml", &info, nullptr, 0, nullptr, 0, nullptr,
                        Z_DEFLATED, 1, 1);
  std::string buf = "<worksheet xmlns=\"" + main + "\"><sheetData>";
  const char* cols = "ABCDEFGHIJKLM";
  auto cell_s = [&](int c, int64_t r, const std::string& s) {
    buf += "<c r=\"";
    buf += cols[c];
    buf += std::to_string(r) + "\" t=\"s\"><v>" + index(s) + "</v></c>";
  };
  auto cell_n = [&](int c, int64_t r, const std::string& v, int style) {
    buf += "<c r=\"";
    buf += cols[c];
    buf += std::to_string(r) + "\"" + (style ? " s=\"1\"" : "") + "><v>" + v + "</v></c>";
  };
  buf += "<row r=\"1\">";
  for (int c = 0; c < 13; ++c) cell_s(c, 1, kHeaders[c]);
  buf += "</row>";
  for (int64_t i = 0; i < rows; ++i) {
    const int64_t r = i + 2;
    buf += "<row r=\"" + std::to_string(r) + "\">";
    cell_s(0, r, "1234567");
    cell_s(1, r, "MW-" + std::to_string(i % 40 + 1));
    char sam[16];
    std::snprintf(sam, sizeof sam, "S-%05lld", static_cast<long long>(i / 6) % 100000);
    buf += "<c r=\"C" + std::to_string(r) + "\" t=\"inlineStr\"><is><t>" + sam + "</t></is></c>";
    cell_s(3, r, "8260B");
    cell_s(4, r, analytes[i % 6][0]);
    cell_s(5, r, analytes[i % 6][1]);
    cell_n(6, r, std::to_string(static_cast<double>(i % 997) / 1000.0).substr(0, 5), 0);
    cell_s(7, r, "mg/L");
    if (i % 5 == 0) cell_s(8, r, "U");
    cell_n(9, r, "1E-3", 0);
    cell_n(10, r, std::to_string(43831 + i % 700), 1);
    if (i % 50 == 0) cell_s(11, r, "duplicate sample");
    cell_s(12, r, "Lab " + std::to_string(i % 3));
    buf += "</row>";
    if (buf.size() > (1 << 20)) {
      zipWriteInFileInZip(zip, buf.data(), static_cast<unsigned>(buf.size()));
      buf.clear();
    }
  }
  buf += "</sheetData></worksheet>";
  zipWriteInFileInZip(zip, buf.data(), static_cast<unsigned>(buf.size()));
  zipCloseFileInZip(zip);
  std::string sst = "<sst xmlns=\"" + main + "\">";
  for (const auto& s : strings) sst += "<si><t>" + s + "</t></si>";
  put("xl/sharedStrings.xml", sst + "</sst>");
  zipClose(zip, nullptr);
}

// Reads `file` in a child process; prints rows/s and the child's peak memory.
void Measure(const std::string& label, const fs::path& file) {
  const pid_t pid = fork();
  if (pid == 0) {
    const auto start = std::chrono::steady_clock::now();
    int64_t rows = 0, cells = 0, too_long = 0;
    try {
      sorvane::ReadFirstWorksheet(file, [&](int64_t, const std::vector<std::string>& row) {
        ++rows;
        // What the import does to every value first: trim and measure it.
        for (const auto& v : row) {
          const auto t = sorvane::Trim(v);
          if (!t.empty()) ++cells;
          if (sorvane::Utf8Length(t) > 160) ++too_long;
        }
        return true;
      });
    } catch (const std::exception& e) {
      std::cerr << label << ": " << e.what() << "\n";
      _exit(1);
    }
    const double secs =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::printf(
        "%-6s %9lld rows %10lld cells %7.2f s %10.0f rows/s  peak RSS %6.1f MB  (%s, %.1f MB)\n",
        label.c_str(), static_cast<long long>(rows), static_cast<long long>(cells), secs,
        rows / secs, ru.ru_maxrss / 1024.0, file.filename().c_str(),
        fs::file_size(file) / 1048576.0);
    std::fflush(stdout);
    _exit(too_long == 0 ? 0 : 2);
  }
  int status = 0;
  waitpid(pid, &status, 0);
}

}  // namespace

int main(int argc, char** argv) {
  int64_t xlsx_rows = 1000000, xls_rows = 65535;
  fs::path dir = fs::temp_directory_path() / "sorvane_bench";
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--xlsx-rows") xlsx_rows = std::stoll(argv[i + 1]);
    if (a == "--xls-rows") xls_rows = std::stoll(argv[i + 1]);
    if (a == "--dir") dir = argv[i + 1];
  }
  fs::create_directories(dir);
  const fs::path xls = dir / ("table5_" + std::to_string(xls_rows) + ".xls");
  const fs::path xlsx = dir / ("table5_" + std::to_string(xlsx_rows) + ".xlsx");
  if (!fs::exists(xls)) {
    const fs::path script = fs::path(__FILE__).parent_path() / "make_bench_xls.py";
    const std::string cmd = "/usr/bin/python3 \"" + script.string() + "\" \"" + xls.string() +
                            "\" " + std::to_string(xls_rows);
    if (std::system(cmd.c_str()) != 0) {
      std::cerr << "could not write " << xls << " (needs python3-xlwt)\n";
      return 1;
    }
  }
  if (!fs::exists(xlsx)) WriteXlsx(xlsx, xlsx_rows);
  Measure("xls", xls);
  Measure("xlsx", xlsx);
  return 0;
}
