#include "state_render.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QProgressBar>
#include <QRadioButton>
#include <algorithm>
#include <limits>

namespace sorvane::gui {

namespace {

int ClampInt(int64_t v) {
  return static_cast<int>(
      std::clamp<int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

void SetFontStyle(QWidget* w, bool bold, bool underline) {
  QFont f = w->font();
  if (f.bold() == bold && f.underline() == underline) return;
  f.setBold(bold);
  f.setUnderline(underline);
  w->setFont(f);
}

}  // namespace

void SetShown(QWidget* w, bool shown) {
  if (w->isHidden() == shown) w->setVisible(shown);
}

void RenderLabel(QLabel* label, const LabelState& state) {
  // A carriage return in a caption starts a new line, as it does on the
  // platform the texts were written for; Qt lays out only line feeds.
  QString caption = Q(state.caption);
  caption.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  if (label->text() != caption) label->setText(caption);
  const QString tip = Q(state.tooltip);
  if (label->toolTip() != tip) label->setToolTip(tip);
  SetFontStyle(label, state.bold, state.underline);
  // The attention style is remembered on the widget; the palette is only
  // rebuilt when it changes.
  const QVariant applied = label->property("sorvaneHighlighted");
  if (!applied.isValid() || applied.toBool() != state.highlighted) {
    QPalette p = label->palette();
    const QPalette app = QApplication::palette();
    if (state.highlighted) {
      p.setColor(QPalette::Window, app.color(QPalette::Highlight));
      p.setColor(QPalette::WindowText, app.color(QPalette::HighlightedText));
    } else {
      p.setColor(QPalette::Window, app.color(QPalette::Button));
      p.setColor(QPalette::WindowText, app.color(QPalette::ButtonText));
    }
    label->setPalette(p);
    label->setAutoFillBackground(state.highlighted);
    label->setProperty("sorvaneHighlighted", state.highlighted);
  }
  SetShown(label, state.visible);
}

void RenderAction(QAction* action, const MenuState& state) {
  if (action->isEnabled() != state.enabled) action->setEnabled(state.enabled);
  // Only a marked item is checkable, so unmarked items draw no empty box.
  if (action->isCheckable() != state.checked) action->setCheckable(state.checked);
  if (action->isChecked() != state.checked) action->setChecked(state.checked);
  if (action->isVisible() != state.visible) action->setVisible(state.visible);
}

void RenderOption(QRadioButton* button, const OptionState& state) {
  const QString caption = Q(state.caption);
  if (button->text() != caption) button->setText(caption);
  if (button->isChecked() != state.selected) {
    // An exclusive group refuses to uncheck its checked button directly.
    const bool exclusive = button->autoExclusive();
    button->setAutoExclusive(false);
    button->setChecked(state.selected);
    button->setAutoExclusive(exclusive);
  }
  SetFontStyle(button, state.bold, false);
  if (button->isEnabled() != state.enabled) button->setEnabled(state.enabled);
  SetShown(button, state.visible);
}

void RenderTextBox(QLineEdit* box, const TextBoxState& state) {
  const QString text = Q(state.text);
  if (box->text() != text) box->setText(text);
  if (box->isEnabled() != state.enabled) box->setEnabled(state.enabled);
}

void RenderProgress(QProgressBar* bar, const ProgressState& state) {
  const int min = ClampInt(state.min);
  const int max = std::max(min, ClampInt(state.max));
  if (bar->minimum() != min || bar->maximum() != max) bar->setRange(min, max);
  const int value = std::clamp(ClampInt(state.value), min, max);
  if (bar->value() != value) bar->setValue(value);
  SetShown(bar, state.visible);
}

PointerKeeper::~PointerKeeper() { Apply(kPointerDefault); }

void PointerKeeper::Apply(int pointer) {
  if (pointer == applied_) return;
  if (applied_ != kPointerDefault) QApplication::restoreOverrideCursor();
  if (pointer == kPointerHourglass) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else if (pointer == kPointerArrowHourglass) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
  } else {
    pointer = kPointerDefault;
  }
  applied_ = pointer;
}

}  // namespace sorvane::gui
