// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <functional>
#include <optional>

#include "record/record_time.h"
#include "ui/records_texts.h"

class QTimer;

namespace nimbrel::ui {

struct Program;
class ArchiveKeeper;
struct FiguresReply;
class RefreshPacer;

// The Records tab: the highs and lows with their times and the rain totals of today, yesterday,
// this month, this year, this rain season and all time. The figures are read on the archive's
// thread, so the panel never waits for the disk, and follow merges and live samples.
class RecordsPanel : public QWidget {
  Q_OBJECT

 public:
  RecordsPanel(Program& program, QWidget* parent);
  ~RecordsPanel() override;

  void SetArchive(ArchiveKeeper* archive);
  // Where "today" comes from (the PC's clock unless replaced).
  void SetClock(std::function<RecordTimePoint()> clock);

  void Relabel();        // the language changed
  void UnitsChanged();   // the figures are shown in the new units
  void SeasonChanged();  // the rain season's first month changed: read again

  // Reads the figures, superseding any read under way.
  void Request();
  bool Reading() const { return reading_; }
  const RecordsTable& Table() const { return table_; }
  // What stands in place of the figures: no archive, a read under way, or why a read failed.
  QString Note() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void FiguresArrived(const FiguresReply& reply);
  void ShowTable();
  std::chrono::local_days Today() const;

  Program& program_;
  ArchiveKeeper* archive_ = nullptr;
  std::function<RecordTimePoint()> clock_;
  std::optional<RecordsFigures> figures_;
  RecordsTable table_;
  int noteKey_ = 0;                    // an own text shown in place of the figures, or 0
  QString fault_;                      // why the last read failed, shown in place of the figures
  std::chrono::local_days readDay_{};  // the day the shown figures take for today

  bool reading_ = false;
  RefreshPacer* pacer_;
  QTimer* dayTimer_;  // a new day moves every period
};

}  // namespace nimbrel::ui
