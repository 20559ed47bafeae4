// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "chart/chart_data.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QDateEdit;
class QLabel;
class QTimer;

namespace nimbrel::ui {

struct Program;
class ArchiveKeeper;
struct ChartReply;
class HistoryChartView;
class RefreshPacer;
class SetupButton;

// The History panel: charts of the weather archive. The user picks what (temperature, humidity,
// pressure, wind, rain, UV), the period and the channels; the chart is read on the archive's
// thread, so the panel never waits for the disk, and is drawn in the user's units and language.
class HistoryPanel : public QWidget {
  Q_OBJECT

 public:
  // How long a read runs before "Reading …" shows over the chart it will replace.
  static constexpr int kReadingMarkDelayMs = 150;

  HistoryPanel(Program& program, QWidget* mainWindow, QWidget* parent);
  ~HistoryPanel() override;

  // The archive to chart; none until the window has one.
  void SetArchive(ArchiveKeeper* archive);
  // Where "now" comes from for the periods up to now (the PC's clock unless replaced).
  void SetClock(std::function<RecordTimePoint()> clock);

  void Relabel();       // the language changed
  void UnitsChanged();  // a unit changed: the chart is read again in the new one

  // Reads the chart of what the controls choose, superseding any read under way.
  void Request();
  ChartRequest CurrentRequest() const;
  bool Reading() const { return reading_; }
  const HistoryChartView& View() const { return *view_; }

  // "Save as PNG …" / "Save as SVG …": asks for the file and writes the shown chart.
  void SaveAs(bool svg);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void BuildChoices();
  void BuildChartArea();
  QLabel* AddTitle(const char* name, const QRect& units);
  void ChoiceChanged();
  void SetDatesToLastWeek();
  void ChartArrived(const ChartReply& reply);
  void ShowTexts();
  void ShowPointer();

  Program& program_;
  QWidget* mainWindow_;
  ArchiveKeeper* archive_ = nullptr;
  std::function<RecordTimePoint()> clock_;

  std::array<QLabel*, 3> titles_{};  // readings, period, channels
  QButtonGroup* kinds_;
  QButtonGroup* periods_;
  std::array<QLabel*, 2> dateLabels_{};
  std::array<QDateEdit*, 2> dates_{};  // from, to
  std::array<QCheckBox*, kChartChannels> channels_{};
  HistoryChartView* view_ = nullptr;
  QLabel* readout_ = nullptr;
  std::array<SetupButton*, 2> saveButtons_{};  // PNG, SVG

  bool reading_ = false;
  bool faultTold_ = false;
  RefreshPacer* pacer_;
  QTimer* readingMarkTimer_;
};

}  // namespace nimbrel::ui
