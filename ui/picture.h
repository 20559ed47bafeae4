// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>
#include <QSize>
#include <functional>

class QPainter;

namespace nimbrel::ui {

// A picture of `size` panel pixels, transparent wherever `draw` leaves it, drawn antialiased at
// `pixelRatio` device pixels per panel pixel so that it stays sharp on dense screens. `draw` works
// in panel pixels.
QPixmap TransparentPicture(QSize size, qreal pixelRatio,
                           const std::function<void(QPainter&)>& draw);

}  // namespace nimbrel::ui
