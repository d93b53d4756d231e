#include "report_digest.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "core/errors.h"
#include "json_writer.h"

namespace sorvane::cli {
namespace {

using Json = nlohmann::json;

// Where a value stands in a report; anything else is passed over.
enum class Role {
  kRoot,
  kTables,
  kTable,
  kChecks,
  kCheck,
  kRows,
  kSources,
  kSource,
  kImports,
  kImport,
  kPlaces,
  kOther
};

// Reads the events of the JSON parser, keeping what a digest needs.
class DigestReader : public nlohmann::json_sax<Json> {
 public:
  explicit DigestReader(ReportDigest& out) : out_(out) {}

  bool saw_tables() const { return saw_tables_; }
  const std::string& error() const { return error_; }

  bool null() override {
    Scalar("null");
    return true;
  }
  bool boolean(bool v) override {
    if (Scalar(v ? "true" : "false") && Here() == "passed" && frames_.back().role == Role::kCheck)
      check_.passed = v;
    return true;
  }
  bool number_integer(number_integer_t v) override { return Integer(v); }
  bool number_unsigned(number_unsigned_t v) override {
    return Integer(static_cast<int64_t>(std::min<number_unsigned_t>(v, INT64_MAX)));
  }
  bool number_float(number_float_t v, const string_t& raw) override {
    if (Scalar(raw) && std::isfinite(v) && std::fabs(v) < 1e9) Whole(static_cast<int64_t>(v));
    return true;
  }
  bool string(string_t& v) override {
    if (!Scalar(JsonWriter::Quote(v))) return true;
    const Role role = frames_.empty() ? Role::kOther : frames_.back().role;
    const std::string& key = Here();
    if (role == Role::kRoot && key == "facility_id") out_.facility_id = v;
    if (role == Role::kCheck && key == "text") check_.text = v;
    if (role == Role::kImport && key == "kind") kind_ = v;
    if (role == Role::kImport && key == "text") import_text_ = v;
    return true;
  }
  bool binary(binary_t&) override {  // not in JSON text
    Scalar("null");
    return true;
  }

  bool key(string_t& k) override {
    if (capturing_ != Capture::kNone) {
      Separate();
      captured_ += JsonWriter::Quote(k);
      captured_ += ':';
      return true;
    }
    frames_.back().key = k;
    return true;
  }

  bool start_object(std::size_t) override { return Open(false); }
  bool start_array(std::size_t) override { return Open(true); }
  bool end_object() override { return Close('}'); }
  bool end_array() override { return Close(']'); }

  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) override {
    error_ = e.what();
    // "[json.exception.parse_error.101] parse error at line 1, ..."
    if (const size_t end = error_.find("] "); error_.starts_with("[") && end != std::string::npos)
      error_.erase(0, end + 2);
    return false;
  }

 private:
  struct Frame {
    Role role;
    bool array;
    size_t count = 0;
    std::string key;
  };
  enum class Capture { kNone, kRow, kPlace, kImportPlace };

  const std::string& Here() const {
    static const std::string kNone;
    return frames_.empty() || frames_.back().array ? kNone : frames_.back().key;
  }

  // The role of a value beginning here, or what it is captured as.
  Role Begin(Capture* capture) {
    *capture = Capture::kNone;
    if (frames_.empty()) return Role::kRoot;
    Frame& parent = frames_.back();
    const size_t position = parent.count++;
    const std::string& key = parent.key;
    switch (parent.role) {
      case Role::kRoot:
        return key == "tables" ? Role::kTables : Role::kOther;
      case Role::kTables:
        return Role::kTable;
      case Role::kTable:
        return key == "checks"            ? Role::kChecks
               : key == "import_problems" ? Role::kImports
                                          : Role::kOther;
      case Role::kChecks:
        return Role::kCheck;
      case Role::kCheck:
        return key == "rows" ? Role::kRows : key == "sources" ? Role::kSources : Role::kOther;
      case Role::kRows:
        *capture = Capture::kRow;
        return Role::kOther;
      case Role::kSources:
        return Role::kSource;
      case Role::kSource:
        if (position == 0) *capture = Capture::kPlace;
        return Role::kOther;
      case Role::kImports:
        return Role::kImport;
      case Role::kImport:
        return key == "places" ? Role::kPlaces : Role::kOther;
      case Role::kPlaces:
        if (position == 0) *capture = Capture::kImportPlace;
        return Role::kOther;
      case Role::kOther:
        return Role::kOther;
    }
    return Role::kOther;
  }

  // A separator before a value or key of the captured text.
  void Separate() {
    if (nesting_.empty()) return;
    if (!nesting_.back()) captured_ += ',';
    nesting_.back() = false;
  }

  // A scalar: added to the captured text, or true when the caller is to see it.
  bool Scalar(std::string_view json) {
    if (capturing_ != Capture::kNone) {
      if (!nesting_.empty() && in_array_.back()) Separate();
      captured_ += json;
      return false;
    }
    Capture capture;
    Begin(&capture);
    if (capture != Capture::kNone) {
      captured_ = json;
      Deliver(capture);
      return false;
    }
    return true;
  }

  bool Integer(int64_t v) {
    if (Scalar(std::to_string(v))) Whole(v);
    return true;
  }

  void Whole(int64_t v) {
    const Role role = frames_.empty() ? Role::kOther : frames_.back().role;
    const std::string& key = Here();
    const int n = static_cast<int>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
    if (role == Role::kTable && key == "table") table_.table = n;
    if (role == Role::kCheck && key == "index") check_.index = n;
    if (role == Role::kCheck && key == "severity") check_.severity = n;
  }

  bool Open(bool array) {
    if (capturing_ != Capture::kNone) {
      if (!nesting_.empty() && in_array_.back()) Separate();
      captured_ += array ? '[' : '{';
      nesting_.push_back(true);
      in_array_.push_back(array);
      return true;
    }
    Capture capture;
    Role role = Begin(&capture);
    // Only a list of tables makes a report: "tables" as anything else is not read.
    if (role == Role::kTables && !array) role = Role::kOther;
    if (capture != Capture::kNone) {
      capturing_ = capture;
      captured_ = array ? "[" : "{";
      nesting_.assign(1, true);
      in_array_.assign(1, array);
      return true;
    }
    if (role == Role::kTables) saw_tables_ = true;
    if (role == Role::kTable) table_ = TableDigest();
    if (role == Role::kCheck) check_ = CheckDigest();
    if (role == Role::kImport) kind_.clear(), import_text_.clear(), import_place_.clear();
    frames_.push_back(Frame{role, array, 0, {}});
    return true;
  }

  bool Close(char bracket) {
    if (capturing_ != Capture::kNone) {
      captured_ += bracket;
      nesting_.pop_back();
      in_array_.pop_back();
      if (nesting_.empty()) {
        const Capture done = capturing_;
        capturing_ = Capture::kNone;
        Deliver(done);
      }
      return true;
    }
    const Role role = frames_.back().role;
    frames_.pop_back();
    if (role == Role::kTable) out_.tables.push_back(std::move(table_));
    if (role == Role::kCheck) {
      check_.places.resize(check_.rows.size());
      table_.checks.push_back(std::move(check_));
    }
    if (role == Role::kImport) {
      table_.import_problems.rows.push_back("[" + JsonWriter::Quote(kind_) + "," +
                                            JsonWriter::Quote(import_text_) + "]");
      table_.import_problems.places.push_back(std::move(import_place_));
    }
    return true;
  }

  void Deliver(Capture capture) {
    switch (capture) {
      case Capture::kRow:
        check_.rows.push_back(std::move(captured_));
        break;
      case Capture::kPlace:
        // The first place of the source list numbered as its `sources` frame
        // counted it (the frame under this list's).
        check_.places.resize(frames_[frames_.size() - 2].count - 1);
        check_.places.push_back(std::move(captured_));
        break;
      case Capture::kImportPlace:
        import_place_ = std::move(captured_);
        break;
      case Capture::kNone:
        break;
    }
    captured_.clear();
  }

  ReportDigest& out_;
  std::vector<Frame> frames_;
  bool saw_tables_ = false;
  std::string error_;
  TableDigest table_;
  CheckDigest check_;
  std::string kind_, import_text_, import_place_;
  Capture capturing_ = Capture::kNone;
  std::string captured_;
  std::vector<bool> nesting_;   // per captured container: nothing in it yet
  std::vector<bool> in_array_;  // per captured container: an array
};

}  // namespace

ReportDigest ReadReportDigest(const std::string& file) {
  // A pipe would keep the comparison waiting for a writer.
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(file, ec);
  if (std::filesystem::is_directory(status))
    throw Error(0, file + " is a folder, not a review report");
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
    throw Error(0, file + " is not a file (a pipe or a device), not a review report");
  std::ifstream in(file, std::ios::binary);
  if (!in) throw Error(0, file + " cannot be read: " + std::strerror(errno));
  ReportDigest digest;
  DigestReader reader(digest);
  try {
    if (!Json::sax_parse(in, &reader)) throw Error(0, file + " is not JSON: " + reader.error());
  } catch (const std::ios_base::failure&) {
    // The stream's buffer throws when the system refuses a read.
    throw Error(0, file + " cannot be read: " + std::strerror(errno));
  }
  if (!reader.saw_tables()) throw Error(0, file + " is not a review report: it lists no tables");
  return digest;
}

}  // namespace sorvane::cli
