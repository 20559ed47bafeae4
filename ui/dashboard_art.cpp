// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dashboard_art.h"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include "ui/picture.h"

namespace nimbrel::ui {

namespace {

const QColor kBlue{0x05, 0x5D, 0xA0};
const QColor kDarkBlue{0x03, 0x45, 0x78};
const QColor kOrange{0xD1, 0x71, 0x2A};
const QColor kSteel{0x8A, 0x94, 0x9C};
const QColor kLightSteel{0xB4, 0xBD, 0xC5};
const QColor kRed{0xE0, 0x53, 0x3D};
const QColor kSky{0x3A, 0x8D, 0xDE};

// The point at `radius` from the dial's centre in the direction of compass point `point`
// (1 north, clockwise in steps of 22.5 degrees).
QPointF OnDial(int point, qreal radius) {
  constexpr qreal kCentre = kDialSize / 2.0;
  const qreal angle = qDegreesToRadians((point - 1) * 22.5);
  return {kCentre + radius * qSin(angle), kCentre - radius * qCos(angle)};
}

bool IsCardinal(int point) {
  return (point - 1) % 4 == 0;
}

// The ring with its sixteen ticks and the four cardinal letters; its middle stays clear for the
// direction text.
void DrawDial(QPainter& painter) {
  constexpr qreal kCentre = kDialSize / 2.0;
  constexpr qreal kOuter = 76;
  constexpr qreal kInner = 58;
  const QPointF centre(kCentre, kCentre);

  QPainterPath ring;
  ring.addEllipse(centre, kOuter, kOuter);
  ring.addEllipse(centre, kInner, kInner);
  QRadialGradient shade(centre, kOuter);
  shade.setColorAt(kInner / kOuter, QColor(0xF7, 0xF9, 0xFB));
  shade.setColorAt(1.0, QColor(0xE6, 0xEB, 0xEF));
  painter.setPen(Qt::NoPen);
  painter.setBrush(shade);
  painter.drawPath(ring);

  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(QColor(0xC4, 0xCC, 0xD3), 1.5));
  painter.drawEllipse(centre, kOuter, kOuter);
  painter.setPen(QPen(QColor(0xDD, 0xE2, 0xE7), 1.0));
  painter.drawEllipse(centre, kInner, kInner);

  for (int point = 1; point <= 16; ++point) {
    const bool cardinal = IsCardinal(point);
    const bool between = point % 2 == 1;  // N, NE, E, ... carry the longer ticks
    painter.setPen(
        QPen(cardinal ? kSteel : kLightSteel, cardinal ? 2.0 : 1.2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(OnDial(point, between ? 62 : 65), OnDial(point, 72));
  }

  QFont letters(QStringLiteral("Arial"));
  letters.setStyleHint(QFont::SansSerif);
  letters.setPixelSize(12);
  letters.setBold(true);
  painter.setFont(letters);
  const char* const names[] = {"N", "E", "S", "W"};
  for (int i = 0; i < 4; ++i) {
    const QPointF at = OnDial(1 + 4 * i, 47);
    painter.setPen(i == 0 ? kOrange : kSteel);
    painter.drawText(QRectF(at.x() - 10, at.y() - 9, 20, 18), Qt::AlignCenter,
                     QString::fromLatin1(names[i]));
  }
}

// An arrowhead in the ring at compass point `point`, pointing at the centre.
void DrawMarker(QPainter& painter, int point) {
  const qreal angle = qDegreesToRadians((point - 1) * 22.5);
  const QPointF across(6.5 * qCos(angle), 6.5 * qSin(angle));
  const QPointF tip = OnDial(point, 54);
  const QPointF base = OnDial(point, 78);
  QPainterPath head;
  head.moveTo(tip);
  head.lineTo(base + across);
  head.quadTo(OnDial(point, 74), base - across);
  head.closeSubpath();
  painter.setPen(QPen(kDarkBlue, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.setBrush(kBlue);
  painter.drawPath(head);
}

void DrawRefresh(QPainter& painter, bool pressed) {
  if (pressed) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xD6, 0xE2, 0xEE));
    painter.drawRoundedRect(QRectF(0, 1, DashboardArt::kRefreshWidth, DashboardArt::kRefreshWidth),
                            3, 3);
    painter.translate(0.5, 0.5);
  }
  const QColor color = pressed ? kDarkBlue : kBlue;
  const QRectF circle(2.5, 3.5, 9, 9);
  painter.setPen(QPen(color, 1.8, Qt::SolidLine, Qt::RoundCap));
  painter.setBrush(Qt::NoBrush);
  // Qt's angles run counter-clockwise from three o'clock, in sixteenths of a degree.
  painter.drawArc(circle, 80 * 16, -290 * 16);
  QPainterPath head;
  head.moveTo(8.6, 0.9);
  head.lineTo(8.6, 6.3);
  head.lineTo(4.8, 3.8);
  head.closeSubpath();
  painter.setPen(Qt::NoPen);
  painter.setBrush(color);
  painter.drawPath(head);
}

void DrawArrow(QPainter& painter, bool next) {
  if (!next) {
    painter.translate(DashboardArt::kArrowSize, 0);
    painter.scale(-1, 1);
  }
  QPainterPath head;
  head.moveTo(5, 3);
  head.lineTo(12.5, 8);
  head.lineTo(5, 13);
  head.closeSubpath();
  painter.setPen(QPen(kOrange, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.setBrush(kOrange);
  painter.drawPath(head);
}

void DrawThermometer(QPainter& painter) {
  painter.setPen(QPen(kSteel, 1.5));
  painter.setBrush(Qt::white);
  QPainterPath body;
  body.setFillRule(Qt::WindingFill);
  body.addRoundedRect(QRectF(10.5, 2, 7, 19), 3.5, 3.5);
  body.addEllipse(QPointF(14, 21.5), 5, 5);
  painter.drawPath(body.simplified());
  painter.setPen(Qt::NoPen);
  painter.setBrush(kRed);
  painter.drawEllipse(QPointF(14, 21.5), 3.2, 3.2);
  painter.drawRoundedRect(QRectF(12.6, 8, 2.8, 12), 1.4, 1.4);
  painter.setPen(QPen(kSteel, 1.0));
  for (const qreal y : {6.0, 10.0, 14.0}) {
    painter.drawLine(QPointF(20, y), QPointF(22.5, y));
  }
}

void DrawWind(QPainter& painter) {
  painter.setPen(QPen(QColor(0x4A, 0x90, 0xC8), 2.0, Qt::SolidLine, Qt::RoundCap));
  painter.setBrush(Qt::NoBrush);
  QPainterPath upper;
  upper.moveTo(3, 10);
  upper.lineTo(17, 10);
  upper.cubicTo(22, 10, 22, 3.5, 17.5, 4);
  QPainterPath middle;
  middle.moveTo(3, 15);
  middle.lineTo(22, 15);
  middle.cubicTo(27, 15, 27, 21.5, 22.5, 21);
  QPainterPath lower;
  lower.moveTo(6, 20);
  lower.lineTo(14, 20);
  lower.cubicTo(18, 20, 18, 25.5, 14.5, 25);
  painter.drawPath(upper);
  painter.drawPath(middle);
  painter.drawPath(lower);
}

void DrawRain(QPainter& painter) {
  QPainterPath cloud;
  cloud.setFillRule(Qt::WindingFill);
  cloud.addEllipse(QPointF(10, 12), 5, 5);
  cloud.addEllipse(QPointF(15.5, 9), 6.5, 6.5);
  cloud.addEllipse(QPointF(21, 12.5), 4.5, 4.5);
  cloud.addRoundedRect(QRectF(5, 11, 20.5, 6), 3, 3);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0xA7, 0xB4, 0xC0));
  painter.drawPath(cloud.simplified());
  painter.setBrush(kSky);
  for (const QPointF at : {QPointF(9, 20), QPointF(15, 22), QPointF(21, 20)}) {
    QPainterPath drop;
    drop.moveTo(at.x(), at.y());
    drop.cubicTo(at.x() + 2.8, at.y() + 3.5, at.x() + 1.5, at.y() + 5.5, at.x(), at.y() + 5.5);
    drop.cubicTo(at.x() - 1.5, at.y() + 5.5, at.x() - 2.8, at.y() + 3.5, at.x(), at.y());
    painter.drawPath(drop);
  }
}

void DrawGauge(QPainter& painter) {
  const QRectF dial(3, 5, 22, 22);
  painter.setBrush(Qt::NoBrush);
  const struct {
    QColor color;
    int start;
  } bands[] = {{QColor(0x4C, 0xAF, 0x50), 200}, {QColor(0xF2, 0xC0, 0x37), 127}, {kRed, 53}};
  for (const auto& band : bands) {
    painter.setPen(QPen(band.color, 3.0, Qt::SolidLine, Qt::FlatCap));
    painter.drawArc(dial, band.start * 16, -73 * 16);
  }
  const QPointF centre = dial.center();
  const qreal angle = qDegreesToRadians(135.0);
  painter.setPen(QPen(kBlue, 2.0, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(centre, centre + QPointF(8 * qCos(angle), -8 * qSin(angle)));
  painter.setPen(Qt::NoPen);
  painter.setBrush(kBlue);
  painter.drawEllipse(centre, 2.2, 2.2);
}

}  // namespace

DashboardArt::DashboardArt(qreal pixelRatio) : pixelRatio_(pixelRatio) {}

const QPixmap& DashboardArt::Compass(int number) const {
  if (number < 0 || number >= kCompassPictures) {
    return none_;
  }
  if (number != compassNumber_) {
    compass_ = QPixmap();  // gone before the next is drawn, so the two are never held at once
    compass_ = TransparentPicture({kDialSize, kDialSize}, pixelRatio_, [number](QPainter& painter) {
      DrawDial(painter);
      if (number > 0) {
        DrawMarker(painter, number);
      }
    });
    compassNumber_ = number;
  }
  return compass_;
}

const QPixmap& DashboardArt::Refresh(bool pressed) const {
  QPixmap& picture = refresh_[pressed ? 1 : 0];
  if (picture.isNull()) {
    picture = TransparentPicture({kRefreshWidth, kRefreshHeight}, pixelRatio_,
                                 [pressed](QPainter& p) { DrawRefresh(p, pressed); });
  }
  return picture;
}

const QPixmap& DashboardArt::ChannelArrow(bool next) const {
  QPixmap& picture = arrows_[next ? 1 : 0];
  if (picture.isNull()) {
    picture = TransparentPicture({kArrowSize, kArrowSize}, pixelRatio_,
                                 [next](QPainter& p) { DrawArrow(p, next); });
  }
  return picture;
}

const QPixmap& DashboardArt::Icon(TileIcon icon) const {
  QPixmap& picture = icons_.at(static_cast<std::size_t>(icon));
  if (picture.isNull()) {
    // In TileIcon order.
    void (*const draw[])(QPainter&) = {DrawThermometer, DrawWind, DrawRain, DrawGauge};
    picture = TransparentPicture({kTileIconSize, kTileIconSize}, pixelRatio_,
                                 draw[static_cast<std::size_t>(icon)]);
  }
  return picture;
}

}  // namespace nimbrel::ui
