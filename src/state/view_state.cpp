#include "state/view_state.h"

#include <stdexcept>

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

MenuState& MenuMap::at(const std::string& name) {
  auto it = menus_.find(name);
  if (it == menus_.end()) throw std::out_of_range("no menu named " + name);
  return it->second;
}

const MenuState& MenuMap::at(const std::string& name) const {
  auto it = menus_.find(name);
  if (it == menus_.end()) throw std::out_of_range("no menu named " + name);
  return it->second;
}

std::string ControlName(const std::string& name, int index) {
  return name + "(" + std::to_string(index) + ")";
}

}  // namespace sorvane
