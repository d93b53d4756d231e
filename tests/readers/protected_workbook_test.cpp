// Workbooks saved with a password, from the shared corpus: those protected only
// with the spreadsheet program's default password read as their decrypted
// copies do, the others read with their password and refuse a wrong one or
// none, and protections that are not supported keep their reason.
#include <gtest/gtest.h>

#include <fstream>

#include "import/readers/ole_container.h"
#include "import/readers/read_failure.h"
#include "import/readers/workbook_reader.h"
#include "import/readers/xlsx_decrypt.h"
#include "sheet_rows.h"
#include "support/case_table.h"
#include "support/work_db.h"

namespace sorvane {
namespace {

namespace fs = std::filesystem;
using Reason = WorkbookError::Reason;

fs::path Corpus(const std::string& relative) { return fs::path(SORVANE_CORPUS_DIR) / relative; }

class ProtectedWorkbookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(Corpus("MANIFEST.tsv"))) GTEST_SKIP() << "the shared corpus is absent";
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
        size_t used = cells.size();
        while (used > 0 && cells[used - 1].empty()) --used;
        std::string line;
        for (size_t i = 0; i < used; ++i) {
          if (i > 0) line += '\t';
          for (char c : cells[i]) {
            line += c == '\n' ? "\\n" : c == '\t' ? "\\t" : c == '\r' ? "\\r" : std::string(1, c);
          }
        }
        lines.push_back(line);
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
  for (const char* file : {"xls/calamine_issue_385.xls", "xls/poi_50833.xls", "xlsx/poi_58616.xlsx",
                           "xlsx/poi_protect.xlsx"}) {
    SCOPED_TRACE(file);
    std::ifstream golden(testing::SourcePath("tests/data/protected") /
                         (fs::path(file).filename().string() + ".txt"));
    std::vector<std::string> want;
    for (std::string line; std::getline(golden, line);) want.push_back(line);
    EXPECT_EQ(Lines(Corpus(file)), want);
  }
}

TEST_F(ProtectedWorkbookTest, FilesWithAPasswordReadWithItAndRefuseAWrongOneOrNone) {
  for (const auto& c : testing::CaseTable("protected_workbooks.txt")) {
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

TEST_F(ProtectedWorkbookTest, UnsupportedProtectionsKeepTheirReasonEvenWithAPassword) {
  const WorkbookError xor_file = RefusalOf(Corpus("xls/poi_xor-encryption-abc.xls"), "abc");
  EXPECT_EQ(xor_file.reason(), Reason::kUnsupportedFormat);
  EXPECT_NE(xor_file.description().find("XOR obfuscation"), std::string::npos);
  const WorkbookError biff5 = RefusalOf(Corpus("xls/poi_60284.xls"), "password");
  EXPECT_EQ(biff5.reason(), Reason::kUnsupportedFormat);
  EXPECT_NE(biff5.description().find("BIFF5"), std::string::npos);
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
}  // namespace sorvane
