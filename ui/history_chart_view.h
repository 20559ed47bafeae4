// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <memory>
#include <optional>

#include "chart/chart_data.h"
#include "ui/chart/chart_painter.h"

namespace nimbrel::ui {

// The chart of the History panel: the shown chart, or a line that says why there is none, with a
// mark while a newer chart is read and a vertical line under the pointer. Painting only reads
// what the setters gave it.
class HistoryChartView : public QWidget {
  Q_OBJECT

 public:
  explicit HistoryChartView(QWidget* parent);

  void SetTexts(const ChartTexts& texts);
  // A chart to show; the note goes.
  void ShowChart(std::shared_ptr<const ChartData> chart);
  // A line in the middle instead of a chart (no archive in use).
  void ShowNote(const QString& note);
  // While a read runs, `mark` is written over the chart shown so far, or alone.
  void SetReading(const QString& mark);

  const ChartData* Chart() const { return data_.get(); }
  const QString& Note() const { return note_; }
  const ChartTexts& Texts() const { return texts_; }
  // The time under the pointer and how far one pixel column reaches; nothing off the plot.
  std::optional<RecordTimePoint> PointerTime() const;
  std::chrono::seconds ColumnReach() const;

 signals:
  // The pointer moved over the chart, or left it.
  void PointerMoved();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  ChartTexts texts_;
  std::shared_ptr<const ChartData> data_;
  QString note_;
  QString readingMark_;
  std::optional<double> pointerX_;
};

}  // namespace nimbrel::ui
