// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/setup_art.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "ui/picture.h"

namespace nimbrel::ui {

namespace {

struct CloudColours {
  QColor top;
  QColor bottom;
  QColor outline;
};

const CloudColours kConfirmedCloud{{0x6B, 0xCB, 0x77}, {0x2E, 0x93, 0x44}, {0x23, 0x72, 0x35}};
const CloudColours kFailedCloud{{0xFF, 0xBE, 0x5C}, {0xE8, 0x7A, 0x1A}, {0xB8, 0x5C, 0x10}};

// A cloud filling most of an s x s square: three puffs on a rounded base.
QPainterPath CloudOutline(qreal s) {
  QPainterPath puffs;
  puffs.setFillRule(Qt::WindingFill);
  puffs.addEllipse(QPointF(0.30 * s, 0.57 * s), 0.19 * s, 0.19 * s);
  puffs.addEllipse(QPointF(0.53 * s, 0.43 * s), 0.26 * s, 0.26 * s);
  puffs.addEllipse(QPointF(0.76 * s, 0.58 * s), 0.18 * s, 0.18 * s);
  puffs.addRoundedRect(QRectF(0.08 * s, 0.55 * s, 0.86 * s, 0.26 * s), 0.13 * s, 0.13 * s);
  return puffs.simplified();
}

// An arrow pointing up through the middle of the cloud.
QPainterPath UpArrow(qreal s) {
  QPainterPath arrow;
  arrow.moveTo(0.52 * s, 0.29 * s);
  arrow.lineTo(0.69 * s, 0.50 * s);
  arrow.lineTo(0.58 * s, 0.50 * s);
  arrow.lineTo(0.58 * s, 0.72 * s);
  arrow.lineTo(0.46 * s, 0.72 * s);
  arrow.lineTo(0.46 * s, 0.50 * s);
  arrow.lineTo(0.35 * s, 0.50 * s);
  arrow.closeSubpath();
  return arrow;
}

QPainterPath ExclamationMark(qreal s) {
  QPainterPath mark;
  mark.addRoundedRect(QRectF(0.475 * s, 0.30 * s, 0.10 * s, 0.30 * s), 0.04 * s, 0.04 * s);
  mark.addEllipse(QPointF(0.525 * s, 0.69 * s), 0.06 * s, 0.06 * s);
  return mark;
}

// The caption's font: the button's own when the caption fits, else the same in normal weight,
// else that a pixel or two smaller, so that long captions stay readable.
QFont FittedFont(QFont font, const QString& text, int width) {
  const auto fits = [&](const QFont& candidate) {
    return QFontMetrics(candidate).horizontalAdvance(text) <= width;
  };
  if (fits(font)) {
    return font;
  }
  font.setWeight(QFont::Normal);
  while (font.pixelSize() > 8 && !fits(font)) {
    font.setPixelSize(font.pixelSize() - 1);
  }
  return font;
}

}  // namespace

QPixmap UploadIndicatorPicture(UploadStatus status, QSize size, qreal pixelRatio) {
  if (status == UploadStatus::Hidden || size.isEmpty()) {
    return {};
  }
  const qreal s = std::min(size.width(), size.height());
  const CloudColours& colours = status == UploadStatus::Confirmed ? kConfirmedCloud : kFailedCloud;
  return TransparentPicture(size, pixelRatio, [s, status, &colours](QPainter& painter) {
    QLinearGradient fill(0, 0.17 * s, 0, 0.81 * s);
    fill.setColorAt(0, colours.top);
    fill.setColorAt(1, colours.bottom);
    painter.setPen(QPen(colours.outline, std::max<qreal>(1.0, s / 32)));
    painter.setBrush(fill);
    painter.drawPath(CloudOutline(s));

    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPath(status == UploadStatus::Confirmed ? UpArrow(s) : ExclamationMark(s));
  });
}

SetupButton::SetupButton(QWidget* parent) : QAbstractButton(parent) {
  setAttribute(Qt::WA_Hover);
  setCursor(Qt::PointingHandCursor);
  // A disabled caption dark enough to read on the grey face.
  QPalette colours = palette();
  colours.setColor(QPalette::Disabled, QPalette::Text, QColor(95, 95, 95));
  setPalette(colours);
}

void SetupButton::paintEvent(QPaintEvent*) {
  const bool pressed = isDown();
  const QRectF face = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);

  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QLinearGradient fill(0, 0, 0, height());
  QColor border(0x03, 0x3F, 0x6E);
  if (!isEnabled()) {
    // Flat and grey while it can do nothing, like the panel's disabled boxes.
    fill.setColorAt(0, palette().color(QPalette::Disabled, QPalette::Base));
    fill.setColorAt(1, palette().color(QPalette::Disabled, QPalette::Base));
    border = palette().color(QPalette::Disabled, QPalette::Mid);
  } else if (pressed) {
    fill.setColorAt(0, QColor(0x03, 0x3F, 0x6E));
    fill.setColorAt(1, QColor(0x04, 0x50, 0x8A));
  } else {
    const bool hover = underMouse();
    fill.setColorAt(0, hover ? QColor(0x52, 0xA0, 0xE0) : QColor(0x3C, 0x8F, 0xD4));
    fill.setColorAt(1, hover ? QColor(0x0A, 0x68, 0xB0) : QColor(0x05, 0x5D, 0xA0));
  }
  painter.setPen(QPen(border, 1));
  painter.setBrush(fill);
  painter.drawRoundedRect(face, 5, 5);

  if (hasFocus()) {
    painter.setPen(QPen(QColor(255, 255, 255, 150), 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(face.adjusted(2, 2, -2, -2), 3, 3);
  }

  // The caption sinks by a pixel while the button is held, as a pressed key would.
  const QRect textArea = rect().adjusted(4, 0, -4, 0).translated(pressed ? 1 : 0, pressed ? 1 : 0);
  painter.setFont(FittedFont(font(), text(), textArea.width()));
  painter.setPen(isEnabled() ? QColor(Qt::white)
                             : palette().color(QPalette::Disabled, QPalette::Text));
  painter.drawText(textArea, Qt::AlignCenter | Qt::TextSingleLine, text());
}

}  // namespace nimbrel::ui
