// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

class QLabel;

namespace nimbrel::ui {

struct Program;

// The strip at the bottom: download progress with its cancel button, the logger level and the
// connection state.
class StatusBarPanel : public QWidget {
  Q_OBJECT

 public:
  StatusBarPanel(Program& program, QWidget* parent);

  void SetLoggerText(const QString& value);  // WM_LOGGER_TEXT: the value, "%" is added
  void HistoryStart(int total);              // WM_HISTORY_START
  void HistoryProgress(int accounted);       // WM_HISTORY_PROGRESS
  void ProgressClear();                      // WM_PROGRESS_CLEAR
  void Relabel();                            // WM_RELABEL_STATUS
  // The connection text and icon, after WM_LINK_STATE.
  void SetConnected(bool connected);
  // A note where the download progress shows, until the next progress.
  void ShowNote(const QString& text);

  QString ProgressText() const { return progressText_; }
  QString LoggerText() const { return loggerText_; }
  QString ConnectionText() const;
  bool CancelShown() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CancelDownload();
  void HideProgress();
  void ShowConnectionPicture();

  Program& program_;
  QString progressText_;
  QString loggerText_;
  int downloadTotal_ = 0;
  bool connected_ = false;
  QRect progressRect_;
  QRect loggerRect_;
  QLabel* loggerLabel_;
  QLabel* connectionText_;
  QLabel* connectionIcon_;
  QWidget* cancelButton_;
};

}  // namespace nimbrel::ui
