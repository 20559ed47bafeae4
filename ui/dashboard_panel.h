#pragma once

#include <QString>
#include <QWidget>
#include <memory>

#include "export/export_thread.h"
#include "export/history_store.h"
#include "station/messages.h"

namespace nimbrel {
class UploadWorker;
class StationTexts;
}  // namespace nimbrel

namespace nimbrel::ui {

struct Program;
class StatusBarPanel;

// The six tiles of current readings, the compass dial, the "Last data read at" stamp, the refresh
// button and the channel arrows; also where the reader's and the export's messages arrive.
class DashboardPanel : public QWidget {
  Q_OBJECT

 public:
  // `mainWindow` owns the message boxes the dashboard shows for the program as a whole.
  DashboardPanel(Program& program, StatusBarPanel& statusBar, QWidget* mainWindow, QWidget* parent);
  ~DashboardPanel() override;

  // Where the upload requests go, and the ID and key in force; set once the setup panel and the
  // worker exist.
  void SetUploads(UploadWorker* worker, const StationTexts* texts);

  void LiveMessage(const HistoryRecord& text);        // WM_LIVE_MESSAGE
  void LinkLost();                                    // WM_LINK_LOST
  void ExportFinished(int result);                    // WM_EXPORT_FINISHED
  void ReadStamp();                                   // WM_READ_STAMP
  void HistoryComplete();                             // WM_HISTORY_COMPLETE
  void WuMessage(const ParamBuffer& text);            // WM_WU_MESSAGE
  void WeathercloudMessage(const ParamBuffer& text);  // WM_WEATHERCLOUD_MESSAGE
  void NoHistory();                                   // WM_NO_HISTORY
  void TimeRequest();                                 // WM_TIME_REQUEST
  void Relabel();                                     // WM_RELABEL_DASHBOARD

  // Waits for a running export to end (at shutdown).
  void JoinExport();

  int SelectedChannel() const { return selectedChannel_; }
  QString StampText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class ExportBridge;
  class Captions;

  void Refresh();
  void PreviousChannel();
  void NextChannel();

  Program& program_;
  StatusBarPanel& statusBar_;
  QWidget* mainWindow_;
  UploadWorker* uploadWorker_ = nullptr;
  const StationTexts* stationTexts_ = nullptr;
  int selectedChannel_ = 1;
  std::unique_ptr<Captions> captions_;
  std::unique_ptr<ExportBridge> exportBridge_;
  std::unique_ptr<ExportThread> exportThread_;
};

}  // namespace nimbrel::ui
