// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/picture.h"

#include <QImage>
#include <QPainter>
#include <QtMath>

namespace nimbrel::ui {

QPixmap TransparentPicture(QSize size, qreal pixelRatio,
                           const std::function<void(QPainter&)>& draw) {
  QImage image(qCeil(size.width() * pixelRatio), qCeil(size.height() * pixelRatio),
               QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(pixelRatio);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  draw(painter);
  painter.end();
  return QPixmap::fromImage(image);
}

}  // namespace nimbrel::ui
