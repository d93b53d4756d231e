// The shared corpus: every workbook is read or refused as its manifest group
// expects, good .xls files read an independent reader's values (golden files),
// and password-protected ones read with the right password only.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>

#include "core/text.h"
#include "import/readers/ole_container.h"
#include "import/readers/read_failure.h"
#include "import/readers/workbook_reader.h"
#include "import/readers/xlsx_decrypt.h"
#include "sheet_rows.h"
#include "support/case_table.h"
#include "support/work_db.h"

namespace sorvane::testing {
namespace {

namespace fs = std::filesystem;
using Reason = WorkbookError::Reason;

fs::path Corpus(const std::string& relative) { return fs::path(SORVANE_CORPUS_DIR) / relative; }
bool CorpusPresent() { return fs::exists(Corpus("MANIFEST.tsv")); }

struct CorpusFile {
  std::string path;  // relative to the corpus folder
  std::string group;
};

std::vector<CorpusFile> Manifest() {
  std::ifstream in(Corpus("MANIFEST.tsv"));
  std::vector<CorpusFile> out;
  std::string line;
  std::getline(in, line);  // column names: path, size, sha, group
  while (std::getline(in, line)) {
    const auto fields = SplitCaseLine(line);
    out.push_back({fields.at(0), fields.at(3)});
  }
  return out;
}

struct Outcome {
  bool read = false;
  Reason reason{};
  std::string message;
};

Outcome ReadCorpusFile(const std::string& relative) {
  Outcome o;
  try {
    ReadFirstWorksheet(Corpus(relative),
                       [](int64_t, const std::vector<std::string>&) { return true; });
    o.read = true;
  } catch (const WorkbookError& e) {
    o.reason = e.reason();
    o.message = e.description();
  }
  return o;
}

const std::set<std::string> kDefaultPasswordFiles = {
    "xls/calamine_issue_385.xls", "xls/poi_50833.xls", "xls/poi_60284.xls", "xlsx/poi_58616.xlsx",
    "xlsx/poi_protect.xlsx"};

TEST(CorpusTest, EveryFileIsReadOrRefusedAsItsGroupExpects) {
  if (!CorpusPresent()) GTEST_SKIP() << "the shared corpus is absent";
  const auto files = Manifest();
  ASSERT_GT(files.size(), 290u) << "corpus manifest not found under " << SORVANE_CORPUS_DIR;
  std::map<std::string, int> read_by_group, refused_by_group;
  for (const auto& f : files) {
    SCOPED_TRACE(f.path);
    Outcome o;
    ASSERT_NO_THROW(o = ReadCorpusFile(f.path)) << "only WorkbookError may escape";
    (o.read ? read_by_group : refused_by_group)[f.group]++;
    // Files that only break naive readers are read like the good ones.
    if (f.group == "good" || f.group == "protected" || f.group == "unusual") {
      EXPECT_TRUE(o.read) << o.message;
    } else if (f.group == "encrypted") {
      // Files saved with the spreadsheet program's default password open; the
      // others need their password.
      EXPECT_EQ(o.read, kDefaultPasswordFiles.count(f.path) == 1) << o.message;
      if (!o.read && o.reason != Reason::kUnsupportedFormat) {
        EXPECT_EQ(o.reason, Reason::kEncrypted);
        EXPECT_NE(o.message.find("opens only with its password"), std::string::npos) << o.message;
      }
    } else if (f.group == "oldbiff") {
      // Excel 3.0 to 95 files are read; one holding only a chart has no worksheet.
      EXPECT_TRUE(o.read || o.reason == Reason::kNoWorksheet) << o.message;
    }
    // A refusal names the file and says why.
    const std::string file = "\"" + fs::path(f.path).filename().string() + "\" cannot be read: ";
    EXPECT_TRUE(o.read || o.message.starts_with(file)) << o.message;
  }
  EXPECT_EQ(refused_by_group["good"] + refused_by_group["protected"] + refused_by_group["unusual"],
            0);
  EXPECT_EQ(read_by_group["encrypted"], 5);
}

// One golden file: its shape line and the listed (non-empty) rows.
struct Golden {
  std::string shape;
  std::map<int64_t, std::vector<std::string>> rows;
};

Golden LoadGolden(const fs::path& file) {
  Golden g;
  std::ifstream in(file);
  std::getline(in, g.shape);
  for (std::string line; std::getline(in, line);) {
    const std::vector<std::string> cells = SplitCaseLine(line);
    g.rows[std::stoll(cells.front())] = {cells.begin() + 1, cells.end()};
  }
  return g;
}

TEST(CorpusTest, GoodXlsFilesReadTheValuesOfAnIndependentReader) {
  if (!CorpusPresent()) GTEST_SKIP() << "the shared corpus is absent";
  int compared = 0, read_once = 0;
  std::vector<fs::path> goldens;  // the corpus's, and those beside our Excel 2.x worksheets
  for (const char* dir : {"tests/data/golden", "tests/data/biff2"}) {
    for (const auto& entry : fs::directory_iterator(SourcePath(dir))) {
      if (entry.path().extension() == ".txt") goldens.push_back(entry.path());
    }
  }
  for (const fs::path& golden : goldens) {
    const std::string name = golden.stem().string();  // "<file>.xls"
    SCOPED_TRACE(name);
    const Golden g = LoadGolden(golden);
    SheetRows got;
    const bool ours = golden.parent_path().filename() == "biff2";
    const fs::path file = ours ? golden.parent_path() / name : Corpus("xls/" + name);
    ASSERT_NO_THROW(got = ReadAllRows(file));
    ++compared;
    // As the import reads it: in one pass where the sheet's claim holds.
    int shapes = 0;
    EXPECT_EQ(ReadStartingOver(ReadFile(file), name, shapes), got.rows);
    read_once += shapes == 1;
    const SheetShape& s = got.shape;
    EXPECT_EQ("# sheet=" + s.sheet_name + " first_row=" + std::to_string(s.first_row) +
                  " last_row=" + std::to_string(s.last_row) +
                  " columns=" + std::to_string(s.columns),
              g.shape);
    const auto trimmed = Trimmed(got);
    int differences = 0;
    for (size_t i = 0; i < trimmed.size() && differences < 3; ++i) {
      const auto it = g.rows.find(got.numbers[i]);
      const auto want = it == g.rows.end() ? std::vector<std::string>{} : it->second;
      EXPECT_EQ(trimmed[i], want) << "row " << got.numbers[i];
      differences += trimmed[i] != want;
    }
  }
  EXPECT_GE(compared, 80);
  EXPECT_GE(read_once, compared * 3 / 4);
}

class ProtectedWorkbookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!CorpusPresent()) GTEST_SKIP() << "the shared corpus is absent";
  }
};

// The rows as `sorvane read` prints them: cells joined by tabs up to the last
// value, line breaks and tabs inside a cell escaped.
std::vector<std::string> Lines(const fs::path& file, const std::string& password = {}) {
  std::vector<std::string> lines;
  ReadOptions options;
  options.password = password;
  ReadWorkbook(
      file,
      [&](int64_t, const std::vector<std::string>& cells, const RowFormats&) {
        std::string line;
        for (const std::string& cell : cells)
          line += ReplaceAll(ReplaceAll(ReplaceAll(cell, "\n", "\\n"), "\t", "\\t"), "\r", "\\r") +
                  '\t';
        lines.push_back(line.erase(line.find_last_not_of('\t') + 1));
        return true;
      },
      options);
  return lines;
}

WorkbookError RefusalOf(const fs::path& file, const std::string& password) {
  try {
    Lines(file, password);
  } catch (const WorkbookError& e) {
    return e;
  }
  ADD_FAILURE() << file << " was read";
  return WorkbookError(Reason::kDamaged, "");
}

TEST_F(ProtectedWorkbookTest, DefaultPasswordFilesReadAsTheirDecryptedCopies) {
  for (const std::string& file : kDefaultPasswordFiles) {
    SCOPED_TRACE(file);
    std::ifstream golden(SourcePath("tests/data/protected") /
                         (fs::path(file).filename().string() + ".txt"));
    std::vector<std::string> want;
    for (std::string line; std::getline(golden, line);) want.push_back(line);
    EXPECT_EQ(Lines(Corpus(file)), want);
  }
}

TEST_F(ProtectedWorkbookTest, FilesWithAPasswordReadWithItAndRefuseAWrongOneOrNone) {
  for (const auto& c : CaseTable("protected_workbooks.txt")) {
    SCOPED_TRACE(c[0]);
    const auto lines = Lines(Corpus(c[0]), c[1]);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].rfind(c[2], 0), 0u) << lines[0];

    const WorkbookError wrong = RefusalOf(Corpus(c[0]), "not the password");
    EXPECT_EQ(wrong.reason(), Reason::kWrongPassword);
    EXPECT_EQ(wrong.description(), "\"" + fs::path(c[0]).filename().string() +
                                       "\" cannot be read: the workbook is encrypted and the "
                                       "password given is wrong.");
    EXPECT_EQ(RefusalOf(Corpus(c[0]), "").reason(), Reason::kEncrypted);
  }
}

// The corpus's obfuscated files have passwords of odd length; an even one
// draws its sixteen bytes otherwise (tests/data/xor/obfuscate.py wrote this).
TEST(XorObfuscationTest, AWorkbookObfuscatedWithAPasswordOfEvenLengthReadsAsItsPlainCopy) {
  const fs::path obfuscated = SourcePath("tests/data/xor/1234567_1_xor.xls");
  EXPECT_EQ(Lines(obfuscated, "password"), Lines(SourcePath("data/sample/1234567_1.xls")));
  EXPECT_EQ(RefusalOf(obfuscated, "passwore").reason(), Reason::kWrongPassword);
  EXPECT_EQ(RefusalOf(obfuscated, "").reason(), Reason::kEncrypted);
}

TEST_F(ProtectedWorkbookTest, KeyStretchingAboveTheCapIsRefusedBeforeHashing) {
  readers::WorkbookStream s =
      readers::ReadWorkbookStream(Corpus("xlsx/excelize_encryptSHA512.xlsx"), 1 << 20);
  std::string info(s.encryption_info.begin(), s.encryption_info.end());
  const size_t at = info.find("spinCount=\"100000\"");
  ASSERT_NE(at, std::string::npos);
  info.replace(at, 18, "spinCount=\"4000000000\"");
  try {
    readers::DecryptPackage(std::vector<uint8_t>(info.begin(), info.end()), s.bytes, "password");
    FAIL() << "decrypted";
  } catch (const readers::ReadFailure& f) {
    EXPECT_EQ(f.reason, Reason::kUnsupportedFormat);
    EXPECT_NE(f.what.find("4000000000 hashing rounds"), std::string::npos) << f.what;
  }
}

}  // namespace
}  // namespace sorvane::testing
