// The visible state of a window's controls, kept free of any toolkit: what a
// front-end draws and what tests assert (captions, highlight, menu enablement,
// progress, the grid's source and caption).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "core/record_set.h"

namespace sorvane {

// A label. `highlighted` is the attention style (highlight colours, the extra
// display attribute); `bold`/`underline` are the font.
struct LabelState {
  std::string caption;
  bool highlighted = false;
  bool bold = false;
  bool underline = false;
  bool visible = true;
  std::string tooltip;
};

struct MenuState {
  bool enabled = true;
  bool checked = false;
  bool visible = true;
};

struct ProgressState {
  bool visible = false;
  int64_t min = 1;
  int64_t max = 100;
  int64_t value = 1;
};

struct GridState {
  bool visible = false;
  std::string caption;
  std::shared_ptr<RecordSet> source;  // what the grid shows (shared with its owner)
  int height = 3615;                  // twips, for the resize rule
  int width = 9495;
};

struct TextBoxState {
  std::string text;
  bool enabled = true;
};

struct OptionState {
  std::string caption;
  bool selected = false;
  bool bold = false;
  bool enabled = true;
  bool visible = true;
};

// Highlight rule shared by every status label of the program: attention style
// and bold when highlighted, button colours and regular font otherwise.
void SetHighlight(LabelState& label, bool highlighted);

// Mouse pointers the program uses.
inline constexpr int kPointerDefault = 0;
inline constexpr int kPointerHourglass = 11;
inline constexpr int kPointerArrowHourglass = 13;

// Menus by their control name ("mnuRunData(0)", "mnuCheckTablesHeader"). A
// window adds its menus once; a lookup of a name it never added throws
// std::out_of_range naming it, so a misspelt name cannot quietly become a menu
// nobody sees.
class MenuMap {
 public:
  MenuState& Add(const std::string& name) { return menus_[name]; }
  MenuState& operator[](const std::string& name) { return at(name); }
  MenuState& at(const std::string& name);
  const MenuState& at(const std::string& name) const;
  bool Has(const std::string& name) const { return menus_.count(name) > 0; }
  const std::map<std::string, MenuState>& all() const { return menus_; }

 private:
  std::map<std::string, MenuState> menus_;
};

// The resize rule every window follows: its grid takes the window's growth over
// the designed size (all in twips), each dimension only when the result is more
// than 100.
void ResizeGrid(GridState& grid, int width, int height, int designed_width, int designed_height,
                int designed_grid_width, int designed_grid_height);

// "name(index)", the name of one control of a control array.
std::string ControlName(const std::string& name, int index);

}  // namespace sorvane
