// The review's one-line progress bar on the terminal.
#pragma once

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <string>

#include "console_ui.h"
#include "core/text.h"
#include "state/run_state.h"

namespace sorvane::cli {

// A one-line progress bar on the terminal, with the caption of the table at
// work, redrawn only when it changes.
class ProgressLine {
 public:
  ProgressLine(const RunState& state, bool enabled) : state_(state), enabled_(enabled) {}
  ~ProgressLine() { Clear(); }

  void Draw() {
    if (!enabled_) return;
    const ProgressState& p = state_.view.ProgressBar;
    if (!p.visible || p.max <= p.min) {
      Clear();
      return;
    }
    const int64_t span = p.max - p.min;
    const int percent =
        static_cast<int>(std::clamp<int64_t>((p.value - p.min) * 100 / span, 0, 100));
    std::string caption;
    for (const LabelState& label : state_.view.lblStatus) {
      if (label.highlighted && !label.caption.empty()) {
        caption = ForTerminal(Utf8Prefix(label.caption, 60));
        break;
      }
    }
    if (percent == percent_ && caption == caption_) return;
    percent_ = percent;
    caption_ = caption;
    const int filled = percent * 30 / 100;
    std::string line = "[" + std::string(static_cast<size_t>(filled), '#') +
                       std::string(static_cast<size_t>(30 - filled), ' ') + "] " +
                       std::to_string(percent) + "% " + caption;
    const size_t width = line.size();
    if (line.size() < shown_width_) line += std::string(shown_width_ - line.size(), ' ');
    std::cerr << '\r' << line << std::flush;
    shown_width_ = width;
  }
  void Clear() {
    if (!enabled_ || shown_width_ == 0) return;
    std::cerr << '\r' << std::string(shown_width_, ' ') << '\r' << std::flush;
    shown_width_ = 0;
    percent_ = -1;
    caption_.clear();
  }

 private:
  const RunState& state_;
  bool enabled_;
  int percent_ = -1;
  std::string caption_;
  size_t shown_width_ = 0;
};

}  // namespace sorvane::cli
