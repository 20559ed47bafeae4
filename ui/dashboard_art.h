// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>
#include <array>

#include "ui/dashboard_layout.h"

namespace nimbrel::ui {

// The dashboard's pictures, each drawn when first asked for and then kept; of the compass dial
// only the picture last asked for is kept, as the wind turns seldom and each is a 160-pixel
// square. Everything outside a picture's shape is transparent, so the panel shows through.
class DashboardArt {
 public:
  // Pictures 0 to 16 of the compass dial.
  static constexpr int kCompassPictures = 17;
  // The refresh button's picture, normal and pressed.
  static constexpr int kRefreshWidth = 14;
  static constexpr int kRefreshHeight = 16;
  static constexpr int kArrowSize = 16;

  // `pixelRatio`: device pixels per panel pixel, so the pictures stay sharp on dense screens.
  explicit DashboardArt(qreal pixelRatio = 1.0);

  // The dial without a marker (0), or with the marker at compass point 1 to 16 ("N" to "NNW").
  // Any other number gives an empty picture, which draws nothing. Valid until the next call.
  const QPixmap& Compass(int number) const;
  const QPixmap& Refresh(bool pressed) const;
  // The channel arrows: previous (pointing left) or next (pointing right).
  const QPixmap& ChannelArrow(bool next) const;
  const QPixmap& Icon(TileIcon icon) const;

 private:
  qreal pixelRatio_;
  mutable QPixmap compass_;
  mutable int compassNumber_ = -1;
  mutable std::array<QPixmap, 2> refresh_;
  mutable std::array<QPixmap, 2> arrows_;
  mutable std::array<QPixmap, 4> icons_;
  QPixmap none_;
};

}  // namespace nimbrel::ui
