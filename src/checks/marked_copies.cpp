#include "checks/marked_copies.h"

#include <cctype>
#include <new>

#include "checks/marked_copy_writer.h"
#include "core/errors.h"
#include "core/text.h"
#include "import/import_problems.h"

namespace sorvane {
namespace fs = std::filesystem;

namespace {

// "Data type" for "data_type".
std::string KindWords(std::string kind) {
  for (char& c : kind) {
    if (c == '_') c = ' ';
  }
  if (!kind.empty()) kind[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(kind[0])));
  return kind;
}

bool SameFolder(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  if (fs::equivalent(a, b, ec)) return true;
  return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

}  // namespace

void AddImportProblems(const RunState& state, int n, std::vector<MarkedProblem>& out) {
  for (const ImportProblem& p : ImportProblemsOf(state, n)) {
    for (const SheetPlace& place : p.places) {
      out.push_back({n, KindWords(p.kind), p.severity, p.text, "", place});
    }
  }
}

void AddCheckProblems(int table, int index, int severity, const std::string& text,
                      const std::string& rule, const PlaceLists& sources,
                      const std::vector<ListHint>& hints, std::vector<MarkedProblem>& out) {
  const std::string name = std::to_string(table) + "." + std::to_string(index);
  for (size_t r = 0; r < sources.size(); ++r) {
    const std::string& hint = r < hints.size() ? hints[r].text : std::string();
    for (const SheetPlace& place : sources[r]) {
      out.push_back({table, name, severity, text, rule, place, hint});
    }
  }
}

std::string MarkedCopiesDirRefusal(const RunState& state, const fs::path& dir,
                                   const std::string& copies) {
  std::vector<fs::path> inputs = {state.paths.WorkbookDir()};
  for (int n = 1; n <= 5; ++n) {
    const fs::path& read = state.Tables[n].Origin.path;
    if (!read.empty()) inputs.push_back(read.parent_path());
  }
  for (const fs::path& input : inputs) {
    if (SameFolder(dir, input)) {
      return dir.string() + " holds the workbooks under review; " + copies + " go to a " +
             "folder of their own.";
    }
  }
  return "";
}

std::string MakeMarkedCopiesDir(const fs::path& dir) {
  std::error_code ec;
  if (fs::exists(dir, ec) && !fs::is_directory(dir, ec)) return dir.string() + " is not a folder.";
  fs::create_directories(dir, ec);
  if (ec) return "The folder " + dir.string() + " could not be made: " + ec.message();
  return "";
}

std::string MarkedCopyName(const std::string& workbook_name) {
  return NameWithin(fs::path(workbook_name).stem().string(), " (checked).xlsx");
}

std::string MarkedCopiesResult::KeptNote(const fs::path& written_file) const {
  const auto it = kept.find(written_file);
  if (it == kept.end()) return "";
  return " (the file there before, changed since it was written, is kept as " +
         it->second.filename().string() + ")";
}

MarkedCopiesResult WriteMarkedCopies(const RunState& state, const std::vector<int>& tables,
                                     const std::vector<MarkedProblem>& problems,
                                     const fs::path& dir) {
  MarkedCopiesResult result;
  std::string refusal = MarkedCopiesDirRefusal(state, dir);
  if (refusal.empty()) refusal = MakeMarkedCopiesDir(dir);
  if (!refusal.empty()) {
    result.failures.push_back(refusal);
    return result;
  }
  for (int n : tables) {
    if (n < 1 || n > 5) continue;
    const TableInfo& info = state.Tables[n];
    if (info.Origin.path.empty() || info.Origin.header_row == 0) continue;
    std::vector<const MarkedProblem*> mine;
    for (const MarkedProblem& p : problems) {
      if (p.table == n && p.place.workbook.str() == info.WorkbookName) mine.push_back(&p);
    }
    const fs::path file = dir / MarkedCopyName(info.WorkbookName);
    try {
      fs::path kept_as;
      if (state.Stopped() || !WriteMarkedCopy(info.Origin, info.SheetName, mine, file,
                                              state.StopRequested, &kept_as)) {
        result.stopped = true;
        break;
      }
      result.written.push_back(file);
      if (!kept_as.empty()) result.kept[file] = kept_as;
    } catch (const Error& e) {
      result.failures.push_back(e.description());
    } catch (const std::bad_alloc& e) {
      // The part written is gone; the copies after it may still fit.
      result.failures.push_back("The marked copy could not be written to " + file.string() + ": " +
                                FailureText(e));
    }
  }
  return result;
}

}  // namespace sorvane
