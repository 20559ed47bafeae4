// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QRect>

class QPainter;

namespace nimbrel::ui {

// The separator lines inside a frame, at the height of the frame's middle plus 16 pixels.
enum class FrameSeparators {
  kNone,    // the setup panel's groups
  kAcross,  // from 16 pixels inside the left edge to 16 inside the right
  kWind,    // from 16 pixels inside the left edge to two fifths of the width
  kIndex,   // two lines: one under the left half, one under the right
};

// A tile frame: a 1-pixel rounded rectangle (corner ellipse 8 x 8) in `color`, no fill. A frame of
// the bottom row (`reachBottom`) reaches down to one pixel above `clientBottom`, unless its own
// bottom is already within 2 pixels of that; the separators stay at the control's own height.
void DrawFrame(QPainter& painter, const QRect& rect, const QColor& color,
               FrameSeparators separators, bool reachBottom, int clientBottom);

}  // namespace nimbrel::ui
