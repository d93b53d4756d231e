// Shared pieces of the acquisition tests: a run state over a temporary data
// folder, files written in one call, a drive probe whose drives and media the
// test decides, and a clock that only moves when the code pauses.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "acquire/drive_probe.h"
#include "acquire/folder_scan.h"
#include "acquire/media_copy.h"
#include "state/run_state.h"
#include "support/scripted_ui.h"
#include "support/work_db.h"

namespace sorvane::testing {

namespace fs = std::filesystem;

// Drives as listed; each root answers from its queue of states (the last one
// repeats), or is ready when no queue is given.
class FakeDriveProbe : public DriveProbe {
 public:
  std::vector<Drive> Drives() override { return drives; }
  MediumStatus QueryMedium(const std::string& root) override {
    queried.push_back(root);
    auto it = answers.find(root);
    if (it == answers.end() || it->second.empty()) return MediumStatus{true, false, root};
    MediumStatus s = it->second.front();
    if (it->second.size() > 1) it->second.pop_front();
    return s;
  }
  std::vector<Drive> drives;
  std::map<std::string, std::deque<MediumStatus>> answers;
  std::vector<std::string> queried;
};

inline MediumStatus NotReady() { return MediumStatus{false, true, ""}; }
inline MediumStatus Unreadable() { return MediumStatus{false, false, ""}; }

class FakeClock : public WaitClock {
 public:
  std::chrono::steady_clock::time_point Now() override { return now; }
  void Pause(std::chrono::steady_clock::duration d) override {
    now += d;
    paused += d;
  }
  std::chrono::steady_clock::time_point now{};
  std::chrono::steady_clock::duration paused{};
};

inline void WriteFile(const fs::path& file, const std::string& content = "x") {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << content;
}

// Names of the files in a folder, sorted.
inline std::vector<std::string> FileNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The parts of a list written with "|" between them; none for "".
inline std::vector<std::string> Split(const std::string& list) {
  std::vector<std::string> out;
  for (size_t at = 0; at < list.size();) {
    const size_t bar = std::min(list.find('|', at), list.size());
    out.push_back(list.substr(at, bar - at));
    at = bar + 1;
  }
  return out;
}

// The five workbooks of facility `id` in `folder`: id_1.xls .. id_5.xls.
inline void WriteWorkbookSet(const fs::path& folder, const std::string& id,
                             const std::string& ext = ".xls", const std::string& content = "x") {
  for (int n = 1; n <= 5; ++n) WriteFile(folder / (id + "_" + std::to_string(n) + ext), content);
}

class AcquireTest : public ::testing::Test {
 protected:
  AcquireTest() : state(ui, data.paths()) {
    fs::create_directories(gisfile());
    state.view.txtFacilityID.text = "1234567";
  }
  fs::path gisfile() const { return data.paths().WorkbookDir(); }

  TempDataDir data;
  ScriptedUi ui;
  RunState state;
};

}  // namespace sorvane::testing
