// What the agency's lists hold near a value that a check found missing from
// them: the name the list gives an unknown contaminant's CAS number, or the
// entry written nearly alike (a laboratory, a sample source, a contract, a
// contaminant name with a letter wrong). Likewise for a point that Table 1
// lacks, or a result's sample that Table 4 lacks (held there under another
// point, or written nearly alike). A hint for the person who mends the
// workbook, shown beside the problem; the data are never changed by it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/record_set.h"
#include "workdb/connection.h"

namespace sorvane {

struct ListHint {
  std::string value;  // the row's value the hint is about ("BENZINE")
  std::string text;   // "The agency's list names CAS 71-43-2 \"Benzene\"."; "" for none
};

class ListHints {
 public:
  // The lists are read from `conn` when first needed; the samples of
  // Table 4 are those of facility `facility`.
  ListHints(Connection& conn, std::string facility)
      : conn_(&conn), facility_(std::move(facility)) {}

  // Whether check `index` of `table` (1..5) compares a value with a list.
  static bool Gives(int table, int index);

  // The hint for row `row` (as `rows` is ordered) of the problem rows of that
  // check: no text when the row's value is empty, the lists hold nothing near
  // it, or they cannot be read.
  ListHint For(int table, int index, const RecordSet& rows, int64_t row);

  // The hint of every row of `rows` in the order they were added, or none at
  // all when the check gives none.
  std::vector<ListHint> ForEveryRow(int table, int index, const RecordSet& rows);

  // A list's entry: the keys it may be found by, and how it is named.
  struct Entry {
    std::vector<std::string> keys;
    std::string shown;
  };

 private:
  const std::vector<Entry>& List(int kind);
  std::string Work(int kind, const std::string& value, const std::string& also);
  std::string Nearest(int kind, const std::string& value);
  static std::string NearestOf(const std::vector<Entry>& list, const std::string& key);
  std::string ByCasNumber(const std::string& cas);
  std::string SampleHint(const std::string& point, const std::string& sample);
  void AddSample(const std::string& point, const std::string& sample);
  void ReadAllSamples();
  // The texts of the first column of `sql`'s rows, blanks trimmed, empty ones
  // left out; none when it cannot run.
  std::vector<std::string> Column(const char* sql, const std::vector<Value>& params);

  Connection* conn_;
  std::map<int, std::vector<Entry>> lists_;
  std::map<std::string, std::vector<std::string>> analytes_by_cas_;
  bool cas_read_ = false;
  std::string facility_;
  // Table 4's samples by point, by the digits of their keys; and the points
  // of each sample, when all were read at once.
  std::map<std::string, std::map<std::string, std::vector<Entry>>> samples_of_point_;
  std::map<std::string, std::vector<std::string>> points_of_sample_;
  bool all_samples_read_ = false;
  std::map<std::string, std::string> found_;  // by kind, value and CAS number or sample
};

}  // namespace sorvane
