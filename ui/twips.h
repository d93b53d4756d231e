// Windows are designed in twips (1/1440 inch); at 96 dots per inch a pixel is
// 15 twips. These helpers put widgets at their designed positions and convert
// window sizes back to twips for the resize rules.
#pragma once

#include <QLabel>
#include <QWidget>
#include <algorithm>

namespace sorvane::gui {

inline constexpr int kTwipsPerPixel = 15;

// The main window and the check window share one designed outer size (10005 x
// 8340 twips, what their resize rules are written for), client area and grid
// left edge; the frame (title bar, menu bar, borders) takes the difference.
inline constexpr int kFormClientWidth = 9915;
inline constexpr int kFormClientHeight = 7680;
inline constexpr int kFormFrameWidth = 10005 - kFormClientWidth;
inline constexpr int kFormFrameHeight = 8340 - kFormClientHeight;
inline constexpr int kFormGridLeft = 225;

inline int Px(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }
inline int Twips(int pixels) { return pixels * kTwipsPerPixel; }

// Places `w` at a designed rectangle (twips). Text controls never get less
// height than one line of their font needs, so a caption is not clipped.
inline void PlaceTwips(QWidget* w, int left, int top, int width, int height) {
  const int min_height = w->fontMetrics().height() + 2;
  int h = Px(height);
  if (h < min_height) h = min_height;
  w->setGeometry(Px(left), Px(top), Px(width), h);
}

// The windows were designed for an 8-point font; their controls use it so the
// captions fit the designed places. Menus keep the desktop's size.
inline void UseDesignFont(QWidget* client) {
  QFont f = client->font();
  f.setPointSizeF(8);
  client->setFont(f);
}

// Sets `label` in the largest type from the design size down that shows its
// whole caption within `max_twips` (never below a legible size) and fits its
// height to it; true when even the smallest type leaves words cut off.
inline bool FitLabelFont(QLabel* label, int max_twips) {
  constexpr double kSmallestPointSize = 6.5;
  const double design_size =
      label->parentWidget() != nullptr ? label->parentWidget()->font().pointSizeF() : 8;
  QFont font = label->font();
  if (font.pointSizeF() != design_size) {
    font.setPointSizeF(design_size);
    label->setFont(font);
  }
  const int limit = Px(max_twips);
  auto wanted = [label] {
    return label->text().isEmpty() ? 0 : label->heightForWidth(label->width());
  };
  for (double size = design_size - 0.5; wanted() > limit && size >= kSmallestPointSize;
       size -= 0.5) {
    font.setPointSizeF(size);
    label->setFont(font);
  }
  const int one_line = label->fontMetrics().height() + 2;
  const int h = std::clamp(wanted(), one_line, std::max(one_line, limit));
  if (label->height() != h) label->resize(label->width(), h);
  return wanted() > limit;
}

// A word-wrapping label grows downwards to show its whole caption, up to
// `max_twips`, and is never lower than one line. A caption that needs more
// room than that is set in a smaller type, as far as it stays legible, rather
// than losing its last words; one cut off even so (a field-name complaint
// listing twenty fields) is whole in the label's tool tip, unless the label
// has a tool tip of its own. Call it after the caption and tool tip are set.
inline void FitLabelHeight(QLabel* label, int max_twips) {
  // Text layout is not free: fit again only when the caption or width changed.
  const QString key = QString::number(label->width()) + (label->font().bold() ? 'b' : 'r') +
                      (label->font().underline() ? 'u' : 'n') + label->text();
  if (label->property("sorvaneFitted").toString() != key) {
    label->setProperty("sorvaneFitted", key);
    label->setProperty("sorvaneClipped", FitLabelFont(label, max_twips));
  }
  if (label->property("sorvaneClipped").toBool() && label->toolTip().isEmpty())
    label->setToolTip(label->text());
}

}  // namespace sorvane::gui
