// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

#include "export/export_thread.h"
#include "export/history_store.h"
#include "readings/reading_format.h"
#include "settings/server_settings.h"
#include "station/link.h"
#include "station/messages.h"
#include "ui/dashboard_layout.h"

class QAbstractButton;
class QLabel;

namespace nimbrel {
class UploadWorker;
class StationTexts;
class ComposedUploads;
}  // namespace nimbrel

namespace nimbrel::ui {

struct Program;
class StatusBarPanel;
class DashboardArt;
class DashboardCaptionTexts;
class ArchiveKeeper;
struct MergeReport;

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
  // The archive that keeps live samples and every download; none until the window has one.
  void SetArchive(ArchiveKeeper* archive) { archive_ = archive; }
  // The weather services each live text is offered to; nothing for none.
  void SetServices(ComposedUploads* services) { services_ = services; }
  // A merge ended: the user is told what went wrong or what was missing, and an archive-only
  // download is over.
  void ArchiveMerged(const MergeReport& report);

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
  // The console ended a download early: the progress goes and the user is told once.
  void HistoryEndedEarly(int recordsArrived, int recordCount);

  // Waits for a running export to end (at shutdown).
  void JoinExport();

  int SelectedChannel() const { return selectedChannel_; }
  QString StampText() const;

  // What a value area shows now (value, unit, whether drawn, dial marker), as the painting draws
  // it; and the text a caption shows.
  FormattedReading ShownReading(DashboardControl area) const;
  QString CaptionText(DashboardControl caption) const;

  // Where the stamp's local time comes from (the PC's clock unless replaced).
  void SetClock(std::function<LocalDateTime()> clock);

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class ExportBridge;
  class RefreshButton;

  void Refresh();
  void PreviousChannel();
  void NextChannel();
  void ChannelChanged();
  void InvalidateValues();
  void PostUpload(ServerIndex service, const ParamBuffer& text);
  QLabel* MakeChannelArrow(bool next);

  Program& program_;
  StatusBarPanel& statusBar_;
  QWidget* mainWindow_;
  UploadWorker* uploadWorker_ = nullptr;
  const StationTexts* stationTexts_ = nullptr;
  ArchiveKeeper* archive_ = nullptr;
  ComposedUploads* services_ = nullptr;
  int selectedChannel_ = 1;
  QString stamp_;
  std::function<LocalDateTime()> clock_;
  std::unique_ptr<DashboardArt> art_;
  std::unique_ptr<DashboardCaptionTexts> captions_;
  QAbstractButton* refreshButton_ = nullptr;
  QLabel* previousChannel_ = nullptr;
  QLabel* nextChannel_ = nullptr;
  std::unique_ptr<ExportBridge> exportBridge_;
  std::unique_ptr<ExportThread> exportThread_;
};

}  // namespace nimbrel::ui
