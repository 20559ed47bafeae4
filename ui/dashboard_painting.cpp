// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dashboard_painting.h"

#include <QFontMetrics>
#include <QPainter>

#include "ui/dashboard_art.h"
#include "ui/dashboard_layout.h"
#include "ui/dashboard_texts.h"
#include "ui/frames.h"
#include "ui/look.h"

namespace nimbrel::ui {

namespace {

// Room between a value and its unit.
constexpr int kUnitGap = 8;
// Room between the stamp's caption and the stamp.
constexpr int kStampGap = 6;
// A long translation first shrinks, down to this share of its font's size, and is narrowed, down
// to this share of its width; only what still does not fit is cut short.
constexpr int kSmallestFontPercent = 75;
constexpr qreal kNarrowest = 0.86;

struct FittedText {
  QFont font;
  qreal narrowing = 1.0;  // horizontal scale of the drawn text
  QString text;
  int width = 0;  // drawn width in pixels
};

// The caption's text fitted to `width`, so that it never runs into a neighbouring caption or
// frame.
FittedText FitText(QFont font, const QString& text, int width) {
  const int smallest = font.pixelSize() * kSmallestFontPercent / 100;
  for (;;) {
    const int natural = QFontMetrics(font).horizontalAdvance(text);
    if (natural <= width) {
      return {font, 1.0, text, natural};
    }
    if (natural * kNarrowest <= width) {
      return {font, static_cast<qreal>(width) / natural, text, width};
    }
    if (font.pixelSize() <= smallest) {
      break;
    }
    font.setPixelSize(font.pixelSize() - 1);
  }
  const QFontMetrics metrics(font);
  const QString cut =
      metrics.elidedText(text, Qt::ElideRight, static_cast<int>(width / kNarrowest));
  return {font, kNarrowest, cut, static_cast<int>(metrics.horizontalAdvance(cut) * kNarrowest)};
}

Qt::Alignment HorizontalAlignment(CaptionAlignment alignment) {
  switch (alignment) {
    case CaptionAlignment::kCentre:
      return Qt::AlignHCenter;
    case CaptionAlignment::kRight:
      return Qt::AlignRight;
    case CaptionAlignment::kLeft:
      break;
  }
  return Qt::AlignLeft;
}

QFont CaptionFont(const PanelLook& look, CaptionRole role) {
  switch (role) {
    case CaptionRole::kHeader:
      return look.Font(PanelLook::kHeaderFont);
    case CaptionRole::kLabel:
      return look.Font(PanelLook::kLabelFont);
    case CaptionRole::kStamp:
      break;
  }
  return look.DialogFont();
}

QColor CaptionColor(CaptionRole role) {
  switch (role) {
    case CaptionRole::kHeader:
      return kHeaderText;
    case CaptionRole::kLabel:
      return kLabelText;
    case CaptionRole::kStamp:
      break;
  }
  return kGreyText;
}

// Draws a caption's text in its box, vertically centred; returns where the text starts.
int DrawCaption(QPainter& painter, const PanelLook& look, const DashboardCaption& caption,
                const QRect& box, const QString& text) {
  const FittedText fitted = FitText(CaptionFont(look, caption.role), text, box.width());
  const Qt::Alignment alignment = HorizontalAlignment(caption.alignment);
  painter.save();
  painter.setFont(fitted.font);
  painter.setPen(CaptionColor(caption.role));
  painter.translate(box.topLeft());
  painter.scale(fitted.narrowing, 1.0);
  painter.drawText(QRectF(0, 0, box.width() / fitted.narrowing, box.height()),
                   static_cast<int>(alignment | Qt::AlignVCenter | Qt::TextSingleLine),
                   fitted.text);
  painter.restore();
  if (alignment == Qt::AlignRight) {
    return box.left() + box.width() - fitted.width;
  }
  if (alignment == Qt::AlignHCenter) {
    return box.left() + (box.width() - fitted.width) / 2;
  }
  return box.left();
}

void DrawFrames(QPainter& painter, const DashboardScene& scene) {
  for (const DashboardTile& tile : Tiles()) {
    DrawFrame(painter, PanelRect(tile.box), QColor::fromRgb(tile.frameColor), tile.separators,
              tile.bottomRow, scene.clientBottom);
    painter.drawPixmap(TileIconRect(tile).topLeft(), scene.art.Icon(tile.icon));
  }
}

void DrawCaptions(QPainter& painter, const DashboardScene& scene) {
  for (const DashboardCaption& caption : Captions()) {
    if (caption.role == CaptionRole::kStamp) {
      continue;
    }
    DrawCaption(painter, scene.look, caption, PanelRect(caption.box),
                scene.captions.Text(caption.control, scene.units, scene.channel, scene.stamp));
  }
}

// The stamp right-aligned in its box, and its caption right-aligned just left of it.
void DrawStamp(QPainter& painter, const DashboardScene& scene) {
  const DashboardCaption* stamp = FindCaption(DashboardControl::kStamp);
  const DashboardCaption* caption = FindCaption(DashboardControl::kStampCaption);
  const int stampLeft =
      DrawCaption(painter, scene.look, *stamp, PanelRect(stamp->box), scene.stamp);
  QRect captionBox = PanelRect(caption->box);
  captionBox.setRight(stampLeft - kStampGap - 1);
  DrawCaption(painter, scene.look, *caption, captionBox,
              scene.captions.Text(caption->control, scene.units, scene.channel, scene.stamp));
}

// A value left-aligned at the top of its area, and its unit after it in the smaller font.
void DrawValue(QPainter& painter, const PanelLook& look, const QRect& area,
               const FormattedReading& reading) {
  if (!reading.drawn) {
    return;
  }
  const QString value = ToQString(reading.value);
  const QFont& valueFont = look.Font(PanelLook::kValueFont);
  painter.setFont(valueFont);
  painter.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, value);
  const QFontMetrics metrics(valueFont);
  const int width = metrics.horizontalAdvance(value);
  const int height = metrics.height();
  painter.setFont(look.Font(PanelLook::kUnitFont));
  const QRect unitBox(area.left() + width + kUnitGap, area.top() + height / 4, area.width(),
                      height);
  painter.drawText(unitBox, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                   ToQString(reading.suffix));
}

void DrawUvIndex(QPainter& painter, const PanelLook& look, const QRect& area,
                 const FormattedReading& reading) {
  if (!reading.drawn) {
    return;
  }
  painter.setFont(look.Font(PanelLook::kValueFont));
  painter.drawText(area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine,
                   ToQString(reading.value));
}

// The dial with the direction's marker, the direction in its middle and, for degrees, the degree
// sign after the number.
void DrawWindDirection(QPainter& painter, const DashboardScene& scene, const QRect& area,
                       const FormattedReading& reading) {
  painter.drawPixmap(DialRect().topLeft(), scene.art.Compass(reading.dialNumber));
  const QFont& font = scene.look.Font(PanelLook::kDirectionFont);
  const QString text = ToQString(reading.value);
  painter.setFont(font);
  painter.drawText(area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, text);
  if (reading.suffix.empty()) {
    return;
  }
  const int width = QFontMetrics(font).horizontalAdvance(text);
  const int x = area.left() + area.width() / 2 + width / 2 + 2;
  painter.setFont(scene.look.Font(PanelLook::kUnitFont));
  painter.drawText(QRect(x, area.top(), area.width(), area.height()),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, ToQString(reading.suffix));
}

void DrawValues(QPainter& painter, const DashboardScene& scene) {
  painter.setPen(kGreyText);
  for (const DashboardValueArea& area : ValueAreas()) {
    const FormattedReading reading = AreaReading(area, scene.readings, scene.units, scene.channel);
    const QRect box = PanelRect(area.box);
    switch (area.kind) {
      case ReadingKind::WindDirection:
        DrawWindDirection(painter, scene, box, reading);
        break;
      case ReadingKind::UvIndex:
        DrawUvIndex(painter, scene.look, box, reading);
        break;
      default:
        DrawValue(painter, scene.look, box, reading);
        break;
    }
  }
}

}  // namespace

void PaintDashboard(QPainter& painter, const DashboardScene& scene) {
  painter.fillRect(painter.viewport(), scene.look.PanelColor());
  painter.setRenderHint(QPainter::TextAntialiasing);
  DrawFrames(painter, scene);
  DrawCaptions(painter, scene);
  DrawValues(painter, scene);
  DrawStamp(painter, scene);
}

}  // namespace nimbrel::ui
