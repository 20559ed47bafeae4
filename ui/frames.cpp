// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/frames.h"

#include <QPainter>

namespace nimbrel::ui {

void DrawFrame(QPainter& painter, const QRect& rect, const QColor& color,
               FrameSeparators separators, bool reachBottom, int clientBottom) {
  const int left = rect.left();
  const int top = rect.top();
  const int right = rect.left() + rect.width();
  const int ownBottom = rect.top() + rect.height();
  const int bottom =
      reachBottom && clientBottom - 1 - ownBottom >= 2 ? clientBottom - 1 : ownBottom;

  painter.save();
  painter.setPen(QPen(color, 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRoundedRect(QRect(left, top, right - left - 1, bottom - top - 1), 4, 4);

  const int width = right - left;
  const int y = top + (ownBottom - top) / 2 + 16;
  switch (separators) {
    case FrameSeparators::kNone:
      break;
    case FrameSeparators::kAcross:
      painter.drawLine(left + 16, y, right - 16, y);
      break;
    case FrameSeparators::kWind:
      painter.drawLine(left + 16, y, left + 2 * width / 5, y);
      break;
    case FrameSeparators::kIndex:
      painter.drawLine(left + 16, y, left + 2 * width / 5 + 40, y);
      painter.drawLine(left + 3 * width / 5 - 16, y, right - 30, y);
      break;
  }
  painter.restore();
}

}  // namespace nimbrel::ui
