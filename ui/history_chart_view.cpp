// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/history_chart_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <utility>

#include "ui/look.h"

namespace nimbrel::ui {

namespace {

const QColor kPointerLine{0x05, 0x5D, 0xA0, 140};
const QColor kMarkFace{255, 255, 255, 225};

}  // namespace

HistoryChartView::HistoryChartView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("historyChart"));
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void HistoryChartView::SetTexts(const ChartTexts& texts) {
  texts_ = texts;
  update();
}

void HistoryChartView::ShowChart(std::shared_ptr<const ChartData> chart) {
  data_ = std::move(chart);
  note_.clear();
  update();
}

void HistoryChartView::ShowNote(const QString& note) {
  data_.reset();
  note_ = note;
  update();
}

void HistoryChartView::SetReading(const QString& mark) {
  readingMark_ = mark;
  update();
}

std::optional<RecordTimePoint> HistoryChartView::PointerTime() const {
  if (!data_ || !pointerX_) {
    return std::nullopt;
  }
  const ChartFrame frame = FrameOf(QRectF(rect()), *data_);
  if (*pointerX_ < frame.plot.left() || *pointerX_ > frame.plot.right()) {
    return std::nullopt;
  }
  return TimeAtX(frame, *pointerX_);
}

std::chrono::seconds HistoryChartView::ColumnReach() const {
  if (!data_) {
    return std::chrono::seconds(0);
  }
  const ChartFrame frame = FrameOf(QRectF(rect()), *data_);
  const auto span = frame.window.end - frame.window.begin;
  // A few columns either side, so that a thin line is easy to meet.
  const double columns = std::max(1.0, frame.plot.width() / 4);
  return std::chrono::seconds(
      static_cast<std::int64_t>(static_cast<double>(span.count()) / columns));
}

void HistoryChartView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  painter.setRenderHint(QPainter::Antialiasing);
  if (data_) {
    PaintChart(painter, QRectF(rect()), *data_, texts_);
    if (const std::optional<RecordTimePoint> time = PointerTime()) {
      const ChartFrame frame = FrameOf(QRectF(rect()), *data_);
      const double x = XOfTime(frame, *time);
      painter.setPen(QPen(kPointerLine, 1, Qt::DashLine));
      painter.drawLine(QPointF(x, frame.plot.top()), QPointF(x, frame.plot.bottom()));
    }
  }
  painter.setPen(kGreyText);
  painter.setFont(font());
  if (!note_.isEmpty()) {
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, note_);
  }
  if (readingMark_.isEmpty()) {
    return;
  }
  if (!data_ && note_.isEmpty()) {
    painter.drawText(rect(), Qt::AlignCenter, readingMark_);
    return;
  }
  // Over the chart shown so far: a small label in its top right corner.
  const QFontMetrics metrics(font());
  const QRect mark(width() - metrics.horizontalAdvance(readingMark_) - 24, 6,
                   metrics.horizontalAdvance(readingMark_) + 16, metrics.height() + 6);
  painter.setBrush(kMarkFace);
  painter.setPen(QPen(kGreyText, 1));
  painter.drawRoundedRect(mark, 4, 4);
  painter.drawText(mark, Qt::AlignCenter, readingMark_);
}

void HistoryChartView::mouseMoveEvent(QMouseEvent* event) {
  pointerX_ = event->position().x();
  update();
  emit PointerMoved();
}

void HistoryChartView::leaveEvent(QEvent*) {
  pointerX_.reset();
  update();
  emit PointerMoved();
}

}  // namespace nimbrel::ui
