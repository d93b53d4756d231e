#include "shell/state/view_state.h"

namespace sorvane {

void SetHighlight(LabelState& label, bool highlighted) {
  label.highlighted = highlighted;
  label.bold = highlighted;
}

std::string ControlName(const std::string& name, int index) {
  return name + "(" + std::to_string(index) + ")";
}

}  // namespace sorvane
