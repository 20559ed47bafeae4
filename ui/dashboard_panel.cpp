// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dashboard_panel.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <utility>

#include "service/composed_uploads.h"
#include "station/commands.h"
#include "ui/archive_keeper.h"
#include "ui/dashboard_art.h"
#include "ui/dashboard_painting.h"
#include "ui/dashboard_texts.h"
#include "ui/gui_thread.h"
#include "ui/program.h"
#include "ui/status_bar_panel.h"
#include "upload/upload_worker.h"

namespace nimbrel::ui {

// The export thread's result, carried to the dashboard on the GUI thread. The hand-off gives up
// while the GUI thread itself waits for the export (a new export, or shutdown); the result then
// still arrives later, unless the dashboard is gone by then.
class DashboardPanel::ExportBridge : public ExportFinishedSink {
 public:
  explicit ExportBridge(DashboardPanel& dashboard) : dashboard_(dashboard) {}

  void ExportFinished(int result) override {
    CallOnGuiThread(
        &dashboard_, [d = &dashboard_, result] { d->ExportFinished(result); },
        [this] { return guiWaits.load(); });
  }

  std::atomic<bool> guiWaits{false};
  bool shutDown = false;

 private:
  DashboardPanel& dashboard_;
};

namespace {

QString EarlyEndText(int recordsArrived, int recordCount) {
  return QStringLiteral("The console ended the download early: %1 of %2 records arrived.")
      .arg(recordsArrived)
      .arg(recordCount);
}

const QString kNoFileText = QStringLiteral(" No file was written; please export again.");

// What the user is told after a merge; nothing when all went well. Without an archive in use
// only a download the console ended early is told, as it always was.
QString MergeMessage(const MergeReport& report) {
  const auto arrived = static_cast<int>(report.arrived);
  QString text;
  if (report.end == DownloadEnd::kEndedEarly) {
    text = EarlyEndText(arrived, report.recordCount);
  } else if (!report.archived) {
    return {};
  } else if (report.end == DownloadEnd::kUnplugged) {
    text = QStringLiteral(
               "The console was unplugged during the download: %1 of %2 records "
               "arrived.")
               .arg(arrived)
               .arg(report.recordCount);
  } else if (report.arrived < static_cast<std::size_t>(report.recordCount)) {
    text = QStringLiteral("%1 of the download's %2 records arrived; the others could not be read.")
               .arg(arrived)
               .arg(report.recordCount);
  }
  if (report.toFile && report.end != DownloadEnd::kComplete) {
    text += kNoFileText;
  }
  if (report.fault) {
    return (text.isEmpty() ? text : text + QLatin1Char(' ')) +
           QString::fromStdString(report.fault->message);
  }
  if (!text.isEmpty() && report.archived) {
    text += QStringLiteral(" The records that arrived were added to the archive.");
  }
  return text;
}

}  // namespace

// The owner-drawn refresh button: its picture, or the pressed picture while held down,
// stretched over the button.
class DashboardPanel::RefreshButton : public QAbstractButton {
 public:
  RefreshButton(const DashboardArt& art, QWidget* parent) : QAbstractButton(parent), art_(art) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), art_.Refresh(isDown()));
  }

 private:
  const DashboardArt& art_;
};

DashboardPanel::DashboardPanel(Program& program, StatusBarPanel& statusBar, QWidget* mainWindow,
                               QWidget* parent)
    : QWidget(parent),
      program_(program),
      statusBar_(statusBar),
      mainWindow_(mainWindow),
      clock_(LocalNow),
      art_(std::make_unique<DashboardArt>(devicePixelRatioF())),
      captions_(std::make_unique<DashboardCaptionTexts>()),
      exportBridge_(std::make_unique<ExportBridge>(*this)),
      exportThread_(std::make_unique<ExportThread>(*exportBridge_)) {
  // Every pixel is painted on each pass, so nothing needs erasing first.
  setAttribute(Qt::WA_OpaquePaintEvent);

  refreshButton_ = new RefreshButton(*art_, this);
  refreshButton_->setObjectName(QStringLiteral("refreshButton"));
  refreshButton_->setGeometry(ControlRect(DashboardControl::kRefreshButton));
  refreshButton_->setCursor(Qt::PointingHandCursor);
  connect(refreshButton_, &QAbstractButton::clicked, this, &DashboardPanel::Refresh);
  previousChannel_ = MakeChannelArrow(false);
  nextChannel_ = MakeChannelArrow(true);

  // The first picture shows placeholders, and the stamp of the last run.
  SetNoDataPlaceholders(program_.readings);
  const std::u16string stored = program_.settings.ReadStamp();
  stamp_ = stored.empty() ? StampPlaceholder() : ToQString(stored);
  Relabel();
}

DashboardPanel::~DashboardPanel() {
  JoinExport();
}

QLabel* DashboardPanel::MakeChannelArrow(bool next) {
  auto* arrow = new QLabel(this);
  arrow->setObjectName(next ? QStringLiteral("nextChannel") : QStringLiteral("previousChannel"));
  arrow->setPixmap(art_->ChannelArrow(next));
  arrow->setAlignment(Qt::AlignCenter);
  arrow->setGeometry(
      ControlRect(next ? DashboardControl::kNextChannel : DashboardControl::kPreviousChannel));
  arrow->setCursor(Qt::PointingHandCursor);
  arrow->installEventFilter(this);
  return arrow;
}

void DashboardPanel::SetUploads(UploadWorker* worker, const StationTexts* texts) {
  uploadWorker_ = worker;
  stationTexts_ = texts;
}

void DashboardPanel::SetClock(std::function<LocalDateTime()> clock) {
  clock_ = std::move(clock);
}

void DashboardPanel::LiveMessage(const HistoryRecord& text) {
  // A live text handed over just before the console went arrives late: it is no longer current.
  if (!program_.state.linkConnected) {
    return;
  }
  DecodeLiveText(RecordText(text).substr(0, kLiveTextMaxLength), program_.readings);
  const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
  if (archive_ != nullptr) {
    archive_->AddLiveSample(RecordText(text), now);
  }
  if (services_ != nullptr) {
    services_->Offer(RecordText(text), now);
  }
  statusBar_.SetLoggerText(ToQString(program_.readings[kFieldLoggerPercent].View()));
  InvalidateValues();
  ReadStamp();
}

void DashboardPanel::LinkLost() {
  // The main window has already put the placeholders in.
  statusBar_.SetLoggerText(ToQString(program_.readings[kFieldLoggerPercent].View()));
  program_.state.downloadActive = false;
  InvalidateValues();
}

void DashboardPanel::ExportFinished(int result) {
  if (result == kExportFailed) {
    program_.state.downloadCancelled = true;
    statusBar_.ProgressClear();
    program_.messageBoxes.Show(mainWindow_, QStringLiteral("write file failed !"),
                               QStringLiteral("Error"), MessageBoxes::Icon::kNone);
  } else if (result == kExportEnded) {
    ReadStamp();
    statusBar_.ProgressClear();
  }
}

void DashboardPanel::ReadStamp() {
  stamp_ = FormatStamp(clock_());
  program_.settings.WriteStamp(stamp_.toStdU16String());
  update(
      ControlRect(DashboardControl::kStampCaption).united(ControlRect(DashboardControl::kStamp)));
}

void DashboardPanel::HistoryComplete() {
  if (exportBridge_->shutDown) {
    return;
  }
  // The merge reads the store beside the export, each on a thread of its own.
  const bool toFile = !program_.state.archiveOnly;
  if (archive_ != nullptr) {
    archive_->Merge(DownloadEnd::kComplete, toFile, program_.state.historyTotal);
  }
  if (!toFile) {
    if (archive_ == nullptr) {
      ArchiveMerged({});
    }
    return;  // the merge's end ends the download
  }
  // A previous export that still hands its result over must not wait for this thread while this
  // thread waits for it.
  exportBridge_->guiWaits = true;
  exportThread_->Join();
  exportBridge_->guiWaits = false;
  exportThread_->Start(
      MakeExportJob(program_.store, program_.state, program_.exportRequest, program_.units));
}

void DashboardPanel::HistoryEndedEarly(int recordsArrived, int recordCount) {
  statusBar_.ProgressClear();
  if (archive_ != nullptr) {
    // What arrived is kept; the user hears of both at the merge's end.
    archive_->Merge(DownloadEnd::kEndedEarly, !program_.state.archiveOnly, recordCount);
    return;
  }
  const QString text = EarlyEndText(recordsArrived, recordCount) + kNoFileText;
  // Shown from the event loop, so the reader goes on with the live data while the box is open.
  QTimer::singleShot(0, this, [this, text] {
    program_.messageBoxes.Show(mainWindow_, text, QStringLiteral("Error"),
                               MessageBoxes::Icon::kNone);
  });
}

void DashboardPanel::ArchiveMerged(const MergeReport& report) {
  if (!report.toFile && report.end == DownloadEnd::kComplete) {
    program_.state.downloadActive = false;
    statusBar_.ProgressClear();
    ReadStamp();
  }
  if (const QString text = MergeMessage(report); !text.isEmpty()) {
    program_.messageBoxes.Show(mainWindow_, text, QStringLiteral("Error"),
                               MessageBoxes::Icon::kNone);
  }
}

void DashboardPanel::JoinExport() {
  exportBridge_->shutDown = true;
  exportBridge_->guiWaits = true;
  exportThread_->Join();
}

void DashboardPanel::WuMessage(const ParamBuffer& text) {
  PostUpload(ServerIndex::WeatherUnderground, text);
}

void DashboardPanel::WeathercloudMessage(const ParamBuffer& text) {
  PostUpload(ServerIndex::Weathercloud, text);
}

void DashboardPanel::PostUpload(ServerIndex service, const ParamBuffer& text) {
  if (uploadWorker_ == nullptr || stationTexts_ == nullptr) {
    return;
  }
  std::optional<UploadRequest> request = BuildUploadRequest(
      service, ParameterText(text), program_.servers, *stationTexts_, program_.endpoints);
  if (request) {
    uploadWorker_->Post(std::move(*request));
  }
}

void DashboardPanel::NoHistory() {
  program_.messageBoxes.Show(mainWindow_, QStringLiteral("Not history data NOW!"),
                             QStringLiteral("Note"), MessageBoxes::Icon::kNone);
}

void DashboardPanel::TimeRequest() {
  SendDateTime(program_.device, program_.state);
}

void DashboardPanel::Relabel() {
  captions_->Relabel([this](int key) { return program_.Text(key); });
  update();
}

QString DashboardPanel::StampText() const {
  return stamp_;
}

FormattedReading DashboardPanel::ShownReading(DashboardControl area) const {
  const DashboardValueArea* found = FindValueArea(area);
  if (found == nullptr) {
    return {{}, {}, false, 0};
  }
  return AreaReading(*found, program_.readings, program_.units, selectedChannel_);
}

QString DashboardPanel::CaptionText(DashboardControl caption) const {
  return captions_->Text(caption, program_.units, selectedChannel_, stamp_);
}

void DashboardPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintDashboard(painter, {*program_.look, *art_, *captions_, program_.readings, program_.units,
                           selectedChannel_, stamp_, height()});
}

bool DashboardPanel::eventFilter(QObject* watched, QEvent* event) {
  // The arrows answer every click, a double click included, as one step each.
  const bool click =
      event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
  if (click && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    if (watched == previousChannel_) {
      PreviousChannel();
      return true;
    }
    if (watched == nextChannel_) {
      NextChannel();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void DashboardPanel::Refresh() {
  if (!program_.state.linkConnected) {
    program_.messageBoxes.Show(this, QStringLiteral("the Usb Device is not ready!"),
                               QStringLiteral("Error"), MessageBoxes::Icon::kNone);
    return;
  }
  if (!SendCommand(program_.device, program_.state, CMD_REFRESH)) {
    program_.messageBoxes.Show(this, QStringLiteral(" Send command Failed! "),
                               QStringLiteral("Error"), MessageBoxes::Icon::kNone);
  }
}

void DashboardPanel::PreviousChannel() {
  if (selectedChannel_ > kFirstChannel) {
    --selectedChannel_;
    ChannelChanged();
  }
}

void DashboardPanel::NextChannel() {
  if (selectedChannel_ < kLastChannel) {
    ++selectedChannel_;
    ChannelChanged();
  }
}

void DashboardPanel::ChannelChanged() {
  update(ControlRect(DashboardControl::kChannelHeader));
  update(ControlRect(DashboardControl::kChannelTemperature));
  update(ControlRect(DashboardControl::kChannelHumidity));
}

void DashboardPanel::InvalidateValues() {
  // A unit may reach past its value area, so the whole panel is painted again: that is cheap,
  // and no old text can linger beside a new one.
  update();
}

}  // namespace nimbrel::ui
