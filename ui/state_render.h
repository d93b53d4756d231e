// Draws the toolkit-free control states of the core (labels, menus, option
// buttons, text boxes, progress bars) on Qt widgets. Every function changes a
// widget only where it differs from the state, so a repaint after each record
// of a long run stays cheap.
#pragma once

#include <QString>
#include <string>

#include "state/view_state.h"

class QAction;
class QLabel;
class QLineEdit;
class QProgressBar;
class QRadioButton;
class QWidget;

namespace sorvane::gui {

inline QString Q(const std::string& s) { return QString::fromStdString(s); }

// Shows or hides a child widget, judged against its parent (so it works before
// the window itself is shown).
void SetShown(QWidget* w, bool shown);

// Caption, tool tip, visibility, bold/underline and the attention style:
// highlighted labels are painted opaque in the highlight colours, others are
// transparent with button text.
void RenderLabel(QLabel* label, const LabelState& state);
void RenderAction(QAction* action, const MenuState& state);
void RenderOption(QRadioButton* button, const OptionState& state);
// Replaces the text only when it differs, so typing is never disturbed.
void RenderTextBox(QLineEdit* box, const TextBoxState& state);
void RenderProgress(QProgressBar* bar, const ProgressState& state);

// The mouse pointers of the core mapped onto the application's override cursor.
// Keeps track of what it set so pointers never stack.
class PointerKeeper {
 public:
  ~PointerKeeper();
  void Apply(int pointer);
  int applied() const { return applied_; }

 private:
  int applied_ = kPointerDefault;
};

}  // namespace sorvane::gui
