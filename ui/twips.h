// Windows are designed in twips (1/1440 inch); at 96 dots per inch a pixel is
// 15 twips. These helpers put widgets at their designed positions and convert
// window sizes back to twips for the resize rules.
#pragma once

#include <QWidget>

namespace sorvane::gui {

inline constexpr int kTwipsPerPixel = 15;

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

}  // namespace sorvane::gui
