#include "report_file.h"

#include <cerrno>
#include <exception>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <system_error>

#include "core/errors.h"
#include "core/text.h"

namespace sorvane::cli {
namespace fs = std::filesystem;

namespace {

// The first eight bytes of a plain file at `file`, or nothing when none is there.
std::optional<std::string> PlainFileHead(const std::string& file) {
  std::error_code ec;
  if (file.empty() || !fs::is_regular_file(file, ec)) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  std::string head(8, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  return head;
}

bool IsZip(const std::string& head) { return head.starts_with("PK\x03\x04"); }

bool IsWorkbookOrDatabase(const std::string& head) {
  return IsZip(head) || head.starts_with("\xD0\xCF\x11\xE0") || head.starts_with("SQLite f");
}

// An output whose folder is not there could only fail at the end of the whole
// review, minutes into a large facility: it is said before anything runs.
bool FolderIsThere(const std::string& file, const char* option, const char* what,
                   std::ostream& err) {
  const fs::path folder = fs::path(file).parent_path();
  std::error_code ec;
  if (file.empty() || file == "-" || folder.empty() || fs::is_directory(folder, ec)) return true;
  err << option << ": " << folder.string() << " is not a folder; " << what
      << " cannot be written there\n";
  return false;
}

// A report written over the work database or a facility's workbook, named by
// a slip of the keyboard, would destroy it: such a path is refused before
// anything runs. An error workbook (a zip package) may be replaced by a newer one.
}  // namespace

bool OutputPathsAreFree(const ReviewOptions& options, std::ostream& err) {
  if (!FolderIsThere(options.xlsx_file, "--xlsx", "the error workbook", err) ||
      !FolderIsThere(options.json_file, "--json", "the report", err))
    return false;
  std::error_code ec;
  if (!options.xlsx_file.empty() && fs::exists(options.xlsx_file, ec)) {
    const std::optional<std::string> head = PlainFileHead(options.xlsx_file);
    if (!head || !IsZip(*head)) {
      err << "--xlsx: " << options.xlsx_file
          << " exists and is not an error workbook; it was left as it is\n";
      return false;
    }
  }
  if (options.json_file != "-") {
    if (fs::is_directory(options.json_file, ec)) {
      err << "--json: " << options.json_file << " is a folder; name the report's file\n";
      return false;
    }
    const std::optional<std::string> head = PlainFileHead(options.json_file);
    if (head && IsWorkbookOrDatabase(*head)) {
      err << "--json: " << options.json_file
          << " holds a workbook or a database; it was left as it is\n";
      return false;
    }
  }
  return true;
}

bool WriteJsonFile(const std::string& file, const ReviewReport& report, Streams io) {
  if (file == "-") {
    WriteReportJson(report, io.out);
    return true;
  }
  // A plain file is written beside its place and moved over it only when whole:
  // a full disk must leave the previous report, not half of the new one.
  std::error_code ec;
  fs::path target = file;
  // Through a link the report goes where it points: renamed over the link
  // itself, it would cut the link.
  if (fs::is_symlink(target, ec)) {
    fs::path real = fs::weakly_canonical(target, ec);
    if (!ec) target = std::move(real);
  }
  const bool plain = !fs::exists(target, ec) || fs::is_regular_file(target, ec);
  const fs::path partial =
      target.parent_path() / NameWithin(target.filename().string(), ".partial");
  const fs::path& written = plain ? partial : target;
  errno = 0;
  std::ofstream out(written, std::ios::binary | std::ios::trunc);
  std::string why;
  try {
    if (out) WriteReportJson(report, out);
  } catch (const std::exception& e) {
    why = FailureText(e);  // memory that ran out: a report cut short is no report
    out.setstate(std::ios::badbit);
    errno = 0;
  }
  out.close();
  if (why.empty() && !out && errno != 0) why = std::generic_category().message(errno);
  if (out && plain) {
    fs::rename(partial, target, ec);
    if (ec) why = ec.message();
  }
  if (!out || (plain && ec)) {
    if (plain) fs::remove(partial, ec);
    io.err << "--json: the report could not be written to " << file
           << (why.empty() ? "" : ": " + why) << '\n';
    return false;
  }
  return true;
}

}  // namespace sorvane::cli
