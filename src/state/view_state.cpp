#include "state/view_state.h"

namespace sorvane {

void SetHighlight(LabelState& label, bool highlighted) {
  label.highlighted = highlighted;
  label.bold = highlighted;
}

void ResizeGrid(GridState& grid, int width, int height, int designed_width, int designed_height,
                int designed_grid_width, int designed_grid_height) {
  const int h = height - designed_height + designed_grid_height;
  const int w = width - designed_width + designed_grid_width;
  if (h > 100) grid.height = h;
  if (w > 100) grid.width = w;
}

std::string ControlName(const std::string& name, int index) {
  return name + "(" + std::to_string(index) + ")";
}

}  // namespace sorvane
