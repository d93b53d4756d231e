// One data check: the SQL that lists its problem records, the texts its status
// label shows while running, after a pass and after a failure, its rule in words
// and its severity. A plain record; every field may be read and written freely.
#pragma once

#include <cstdint>
#include <string>

namespace sorvane {

struct clsReviewObject {
  std::string Review;         // "CHK" & index ("CHK0", "CHK1", ...)
  std::string TableName;      // "TEMP1" .. "TEMP5"
  bool Status = true;         // verdict of the last full run: true = no problem rows
  std::string qryProblems;    // complete query, Facility ID inserted
  std::string PassString;     // label text after a pass
  std::string FailString;     // label text after a failure; also the grid caption
  std::string PendingString;  // label text while the query runs ("Checking ...")
  std::string ToolTip;        // the rule, shown as the label's tool tip
  int16_t Required = 0;       // severity: 0 possible, 1 probable, 2 must be fixed
};

}  // namespace sorvane
