// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/shell_art.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>
#include <algorithm>

#include "ui/picture.h"

namespace nimbrel::ui {

namespace {

// Every picture is designed on a square grid of this many units and scaled to its size.
constexpr qreal kGrid = 24.0;

const QColor kHelpBlue{0x05, 0x5D, 0xA0};
const QColor kHelpBluePressed{0x03, 0x3E, 0x6B};
const QColor kPlugGreen{0x2E, 0x9E, 0x4F};
const QColor kPlugGrey{0x9A, 0x9A, 0x9A};
const QColor kSocketGrey{0x6E, 0x6E, 0x6E};
const QColor kAlarmRed{0xD0, 0x3B, 0x36};
const QColor kDrumBlue{0x6C, 0x8E, 0xAE};

// Maps the design grid onto the middle of `size`, keeping it square.
void FitGrid(QPainter& painter, QSize size) {
  const qreal side = std::min(size.width(), size.height());
  painter.translate((size.width() - side) / 2.0, (size.height() - side) / 2.0);
  painter.scale(side / kGrid, side / kGrid);
}

QPen RoundPen(const QColor& color, qreal width) {
  return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void DrawQuestionMark(QPainter& painter, qreal drop) {
  QPainterPath hook;
  hook.moveTo(8.2, 9.0 + drop);
  hook.arcTo(QRectF(8.2, 4.6 + drop, 7.6, 7.6), 180.0, -250.0);
  hook.lineTo(12.0, 15.0 + drop);
  painter.setPen(RoundPen(Qt::white, 2.8));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(hook);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::white);
  painter.drawEllipse(QPointF(12.0, 19.0 + drop), 1.7, 1.7);
}

void DrawSocket(QPainter& painter) {
  painter.setPen(Qt::NoPen);
  painter.setBrush(kSocketGrey);
  painter.drawRoundedRect(QRectF(15.0, 4.0, 7.5, 16.0), 1.8, 1.8);
  painter.setBrush(Qt::white);
  painter.drawRect(QRectF(15.0, 7.5, 2.5, 9.0));
}

// The plug with its cable and two prongs, the prongs' tips at `front`.
void DrawPlug(QPainter& painter, qreal front, const QColor& color) {
  const qreal body = front - 9.0;
  painter.setPen(RoundPen(color, 2.4));
  painter.drawLine(QPointF(0.5, 12.0), QPointF(std::max(body, 0.5), 12.0));
  painter.setPen(Qt::NoPen);
  painter.setBrush(color);
  painter.drawRoundedRect(QRectF(body, 6.5, 7.0, 11.0), 1.8, 1.8);
  painter.drawRect(QRectF(front - 2.5, 8.5, 2.5, 2.2));
  painter.drawRect(QRectF(front - 2.5, 13.3, 2.5, 2.2));
}

void DrawCross(QPainter& painter, QPointF centre, qreal half, const QColor& color, qreal width) {
  painter.setPen(RoundPen(color, width));
  painter.drawLine(centre + QPointF(-half, -half), centre + QPointF(half, half));
  painter.drawLine(centre + QPointF(-half, half), centre + QPointF(half, -half));
}

// A small data drum: its body, the bands where its layers meet, and its lit lid.
void DrawDrum(QPainter& painter) {
  const QRectF body(5.0, 4.0, 14.0, 16.0);
  const qreal lid = 4.0;
  painter.setPen(Qt::NoPen);
  painter.setBrush(kDrumBlue);
  painter.drawRect(QRectF(body.left(), body.top() + lid / 2, body.width(), body.height() - lid));
  painter.drawEllipse(QRectF(body.left(), body.bottom() - lid, body.width(), lid));
  painter.setPen(QPen(Qt::white, 1.2));
  painter.setBrush(Qt::NoBrush);
  for (const qreal y : {9.5, 14.5}) {
    painter.drawArc(QRectF(body.left(), y - lid / 2, body.width(), lid), 180 * 16, 180 * 16);
  }
  painter.setPen(QPen(kDrumBlue.darker(115), 1.0));
  painter.setBrush(kDrumBlue.lighter(140));
  painter.drawEllipse(QRectF(body.left(), body.top(), body.width(), lid));
}

}  // namespace

QPixmap HelpButtonPicture(QSize size, bool pressed, qreal pixelRatio) {
  return TransparentPicture(size, pixelRatio, [size, pressed](QPainter& painter) {
    FitGrid(painter, size);
    painter.setPen(Qt::NoPen);
    painter.setBrush(pressed ? kHelpBluePressed : kHelpBlue);
    painter.drawEllipse(QRectF(0.5, 0.5, 23.0, 23.0));
    DrawQuestionMark(painter, pressed ? 1.0 : 0.0);
  });
}

QPixmap ConnectionPicture(QSize size, bool connected, qreal pixelRatio) {
  return TransparentPicture(size, pixelRatio, [size, connected](QPainter& painter) {
    FitGrid(painter, size);
    DrawSocket(painter);
    if (connected) {
      DrawPlug(painter, 17.5, kPlugGreen);
    } else {
      DrawPlug(painter, 10.0, kPlugGrey);
      DrawCross(painter, QPointF(12.5, 12.0), 1.8, kAlarmRed, 2.0);
    }
  });
}

QPixmap LoggerPicture(QSize size, qreal pixelRatio) {
  return TransparentPicture(size, pixelRatio, [size](QPainter& painter) {
    FitGrid(painter, size);
    DrawDrum(painter);
  });
}

QPixmap CancelPicture(QSize size, qreal pixelRatio) {
  return TransparentPicture(size, pixelRatio, [size](QPainter& painter) {
    FitGrid(painter, size);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kAlarmRed);
    painter.drawEllipse(QRectF(1.0, 1.0, 22.0, 22.0));
    DrawCross(painter, QPointF(12.0, 12.0), 5.0, Qt::white, 3.0);
  });
}

namespace {

// The program's picture, drawn from its SVG at the size asked for whenever one is asked for: a
// window icon is fetched once, when the window is shown (never on the offscreen platform), so
// keeping every size would hold a third of a megabyte for nothing.
class ProgramIconEngine : public QIconEngine {
 public:
  void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
    QSvgRenderer(QStringLiteral(":/nimbrel.svg")).render(painter, QRectF(rect));
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return TransparentPicture(size, 1.0, [&](QPainter& painter) {
      paint(&painter, QRect(QPoint(0, 0), size), mode, state);
    });
  }
  QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
    QList<QSize> sizes;
    for (const int side : {16, 24, 32, 48, 64, 128, 256}) {
      sizes << QSize(side, side);
    }
    return sizes;
  }
  QIconEngine* clone() const override { return new ProgramIconEngine; }
  QString key() const override { return QStringLiteral("nimbrel"); }
};

}  // namespace

QIcon ProgramIcon() {
  return QIcon(new ProgramIconEngine);
}

}  // namespace nimbrel::ui
