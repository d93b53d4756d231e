#include "review_outputs.h"

#include <filesystem>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "acquire/file_ops.h"
#include "acquire/folder_replacement.h"
#include "acquire/folder_scan.h"
#include "checks/marked_copies.h"
#include "checks/mended_copies.h"

namespace sorvane::cli {
namespace fs = std::filesystem;

namespace {

bool SamePath(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  const fs::path x = fs::weakly_canonical(a, ec);
  if (ec) return false;
  const fs::path y = fs::weakly_canonical(b, ec);
  return !ec && x == y;
}

// Whether the folder `dir` of `option` is one whose workbooks are under review
// (said, with what the folder was for).
bool HoldsWorkbooksUnderReview(const char* option, const std::string& dir,
                               const std::string (&inputs)[2], const char* outputs,
                               std::ostream& err) {
  for (const std::string& input : inputs) {
    if (!input.empty() && SamePath(dir, input)) {
      err << option << ": " << dir << " holds the workbooks under review; give " << outputs
          << " a folder of their own\n";
      return true;
    }
  }
  return false;
}

// The mended workbooks' folder is one a review reads again: not one whose
// workbooks are under review, nor that of the marked copies, and no other
// output goes into it, where the next review would take it for a workbook.
bool MendFolderIsFree(const ReviewOptions& options, const std::string (&inputs)[2],
                      std::ostream& err) {
  const std::string& dir = options.mend_dir;
  if (dir.empty()) return true;
  if (HoldsWorkbooksUnderReview("--mend", dir, inputs, "the mended workbooks", err)) return false;
  // Refused before the review runs rather than after it.
  if (const std::string why = MendedFolderRefusal(dir, options.facility_id); !why.empty()) {
    err << "--mend: " << why << '\n';
    return false;
  }
  for (const std::string& other : {options.annotate_dir, options.json_file, options.xlsx_file}) {
    if (other.empty() || other == "-") continue;
    if (SamePath(other, dir) || SamePath(fs::absolute(other).parent_path(), dir)) {
      err << "--mend: " << dir << " and " << other
          << " are in each other's way; give each output its own path\n";
      return false;
    }
  }
  return true;
}

}  // namespace

// Replaces the workbook folder's files by the files of `from` that carry the
// Facility ID in their name and are not hidden, as the copy from removable
// media takes them.
bool CopyWorkbooks(const fs::path& from, const fs::path& to, const std::string& facility_id,
                   std::ostream& err) {
  std::error_code ec;
  std::vector<fs::path> files;
  if (!fs::is_directory(from, ec)) {
    err << "--workbooks: " << from.string() << " is not a folder that can be read\n";
    return false;
  }
  for (fs::directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = NameOf(it->path());
    if (IsHiddenName(name) || name.find(facility_id) == std::string::npos) continue;
    std::error_code type_ec;
    if (it->is_regular_file(type_ec)) {
      files.push_back(it->path());
    } else if (!it->is_directory(type_ec)) {
      // Never opened (a pipe would keep the review waiting), but said: the
      // set's check then names the workbook folder, not this one.
      err << "--workbooks: " << it->path().string() << " is not a plain file (a pipe, a device"
          << " or a link that leads nowhere); it was not copied\n";
    }
  }
  if (ec) {
    err << "--workbooks: " << from.string() << " cannot be read: " << ec.message() << '\n';
    return false;
  }
  // The workbook folder itself: its files are the ones to review, and emptying
  // it first would delete them.
  if (fs::equivalent(from, to, ec)) return true;
  try {
    // The folder's files come back should any copy fail.
    DiskFileOps disk;
    FolderReplacement replacement(disk, to);
    replacement.SetAsideAll();
    // Each whole or not at all: one cut short would be read as a damaged workbook.
    for (const fs::path& file : files) {
      CopyWhole(file, to / file.filename(), ec);
      if (ec) {
        err << "--workbooks: " << file.string() << " could not be copied into " << to.string()
            << ": " << ec.message() << "; the workbook folder keeps the files it held\n";
        return false;  // the replacement puts them back
      }
    }
    replacement.Commit();
  } catch (const fs::filesystem_error& e) {
    err << "--workbooks: " << e.what() << '\n';
    return false;
  } catch (const Error& e) {
    err << "--workbooks: " << e.NumberDescription() << '\n';
    return false;
  }
  return true;
}

// No output goes among the workbooks under review: the workbook folder holds
// the facility's workbooks and nothing else, so at the next review a report or
// an error workbook there would be taken for one of them or break the set's
// rules (one named like a workbook would even have replaced it), as would one
// whose name holds the Facility ID in the folder --workbooks copies from. The
// marked copies also need a folder of their own, and a report named like the
// folder or like one of the copies would be replaced.
bool OutputsAreFree(const Paths& paths, const ReviewOptions& options, std::ostream& err) {
  const std::string inputs[] = {paths.WorkbookDir().string(), options.workbooks_dir};
  for (const auto& [option, file] :
       {std::pair{"--xlsx", options.xlsx_file}, std::pair{"--json", options.json_file}}) {
    if (file.empty() || file == "-") continue;
    const fs::path path = fs::absolute(file);
    const bool named_for_facility =
        path.filename().string().find(options.facility_id) != std::string::npos;
    for (const std::string& input : inputs) {
      if (!input.empty() && SamePath(path.parent_path(), input) &&
          (named_for_facility || input == inputs[0])) {
        err << option << ": " << file
            << " is among the workbooks under review, where the next review would take it for"
               " one; give it another folder\n";
        return false;
      }
    }
  }
  if (!MendFolderIsFree(options, inputs, err)) return false;
  const std::string& dir = options.annotate_dir;
  if (dir.empty()) return true;
  if (HoldsWorkbooksUnderReview("--annotate", dir, inputs, "the marked copies", err)) return false;
  for (const std::string& file : {options.json_file, options.xlsx_file}) {
    if (file.empty() || file == "-") continue;
    const bool copy_name = fs::path(file).filename().string().ends_with(" (checked).xlsx") &&
                           SamePath(fs::path(file).parent_path(), dir);
    if (SamePath(file, dir) || copy_name) {
      err << "--annotate: " << dir << " and " << file
          << " are in each other's way; give each output its own path\n";
      return false;
    }
  }
  return true;
}

// The marked copies' folder is made before anything runs: a path where none
// can be made (a file in the way, a file system that takes no folder) would
// otherwise fail only after the whole review.
bool AnnotateFolderIsMade(const std::string& dir, std::ostream& err) {
  const std::string why = dir.empty() ? "" : MakeMarkedCopiesDir(dir);
  if (!why.empty()) err << "--annotate: " << why << '\n';
  return why.empty();
}

// Two outputs named to the same file would leave only the one written last,
// while the other is announced.
bool OutputsAreDistinct(const ReviewOptions& options, std::ostream& err) {
  if (options.xlsx_file.empty() || options.json_file.empty() || options.json_file == "-") {
    return true;
  }
  std::error_code ec;
  const fs::path a = fs::weakly_canonical(options.xlsx_file, ec);
  const fs::path b = fs::weakly_canonical(options.json_file, ec);
  if (ec || a != b) return true;
  err << "--json and --xlsx name the same file (" << options.json_file << "); give each its own\n";
  return false;
}

}  // namespace sorvane::cli
