// Wall time spent in each stage of a run (read, field names, ..., error
// workbook), for the benchmarks and `sorvane review --timings`. A StageTimer
// adds the time of its scope to its stage; nested timers of another stage
// count in both (the transfer includes its standardisation). It also keeps the
// longest time the run went without yielding to the window: how long a cancel
// may wait to be seen.
#pragma once

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace sorvane {

class StageTimes {
 public:
  void Add(const std::string& stage, double seconds) {
    for (auto& [name, total] : totals_) {
      if (name == stage) {
        total += seconds;
        return;
      }
    }
    totals_.emplace_back(stage, seconds);
  }
  // Stages in the order they first ran, with their seconds.
  const std::vector<std::pair<std::string, double>>& totals() const { return totals_; }

  // The run yields to the window now (or ends).
  void Yielded() {
    const auto now = std::chrono::steady_clock::now();
    longest_gap_ = std::max(longest_gap_, std::chrono::duration<double>(now - last_yield_).count());
    last_yield_ = now;
  }
  double longest_gap() const { return longest_gap_; }
  // The longest gap so far, up to now; the count starts again from here.
  double TakeLongestGap() {
    Yielded();
    return std::exchange(longest_gap_, 0.0);
  }

 private:
  std::vector<std::pair<std::string, double>> totals_;
  std::chrono::steady_clock::time_point last_yield_ = std::chrono::steady_clock::now();
  double longest_gap_ = 0;
};

class StageTimer {
 public:
  StageTimer(StageTimes& times, std::string stage)
      : times_(times), stage_(std::move(stage)), start_(std::chrono::steady_clock::now()) {}
  ~StageTimer() {
    const std::chrono::duration<double> d = std::chrono::steady_clock::now() - start_;
    times_.Add(stage_, d.count());
  }
  StageTimer(const StageTimer&) = delete;
  StageTimer& operator=(const StageTimer&) = delete;

 private:
  StageTimes& times_;
  std::string stage_;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace sorvane
