// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main_window.h"

#include <QCloseEvent>
#include <QTimer>
#include <iostream>

#include "archive/past_readings.h"
#include "platform/hidapi_backend.h"
#include "platform/service_senders.h"
#include "platform/upload_socket_factory.h"
#include "service/composed_uploads.h"
#include "station/commands.h"
#include "station/link.h"
#include "ui/archive_keeper.h"
#include "ui/bridges.h"
#include "ui/dashboard_panel.h"
#include "ui/header_bar_panel.h"
#include "ui/history_panel.h"
#include "ui/program.h"
#include "ui/records_panel.h"
#include "ui/setup_panel.h"
#include "ui/shell_art.h"
#include "ui/status_bar_panel.h"
#include "upload/service_runner.h"
#include "upload/upload_clock.h"
#include "upload/upload_worker.h"

namespace nimbrel::ui {

namespace {

// The pause between the two commands that greet the console.
constexpr int kGreetingPauseMs = 100;

QString ServiceTitle(std::size_t outcome) {
  if (outcome == kWuOutcome || outcome == kWcOutcome) {
    return outcome == kWuOutcome ? QStringLiteral("Weather Underground")
                                 : QStringLiteral("Weathercloud");
  }
  const std::string_view title = WeatherServiceTitle(static_cast<WeatherService>(outcome));
  return QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()));
}

}  // namespace

MainWindow::MainWindow(Program& program) : program_(program) {
  setWindowTitle(QStringLiteral("NIMBREL"));
  setFixedSize(kWindowWidth, kWindowHeight);
  // The header bar makes the shared look first: every other panel paints with it.
  program_.look = std::make_unique<PanelLook>();
  setPalette(program_.look->WindowPalette());
  setWindowIcon(ProgramIcon());
  headerBar_ = new HeaderBarPanel(program_, this);
  dashboard_ =
      new DashboardPanel(program_, *(statusBar_ = new StatusBarPanel(program_, this)), this, this);
  setup_ = new SetupPanel(program_, this, this);

  const int header = DialogY(kHeaderBarUnits);
  const int status = DialogY(kStatusBarUnits);
  headerBar_->setGeometry(0, 0, kWindowWidth, header);
  dashboard_->setGeometry(0, header, kWindowWidth, kWindowHeight - header - status);
  setup_->setGeometry(dashboard_->geometry());
  statusBar_->setGeometry(0, kWindowHeight - status, kWindowWidth, status);
  setup_->hide();

  readerBridge_ = std::make_unique<ReaderBridge>(program_, *dashboard_, *statusBar_);
  uploadBridge_ = std::make_unique<UploadBridge>(*setup_, shuttingDown_);

  connect(headerBar_, &HeaderBarPanel::ShowPanelRequested, this, &MainWindow::ShowPanel);
  connect(headerBar_, &HeaderBarPanel::LanguageChanged, this, &MainWindow::RelabelAll);
  connect(setup_, &SetupPanel::UnitsChanged, dashboard_, qOverload<>(&QWidget::update));
  connect(setup_, &SetupPanel::UnitsChanged, this, [this] {
    if (history_ != nullptr) {
      history_->UnitsChanged();
    }
    if (records_ != nullptr) {
      records_->UnitsChanged();
    }
  });
  // New settings take effect at once for a console held now.
  connect(setup_, &SetupPanel::ServicesChanged, this, [this] {
    if (services_) {
      StartServices();
    }
  });
  // The console's services' successes are kept with the others', for the dialog.
  connect(setup_, &SetupPanel::UploadAcknowledged, this, [this](ServerIndex service) {
    if (services_) {
      services_->RecordConsoleUpload(
          service == ServerIndex::Weathercloud ? kWcOutcome : kWuOutcome, true, {},
          std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()));
    }
  });
  connect(setup_, &SetupPanel::RainSeasonChanged, this, [this] {
    if (records_ != nullptr) {
      records_->SeasonChanged();
    }
  });
}

HistoryPanel& MainWindow::History() {
  if (history_ == nullptr) {
    history_ = new HistoryPanel(program_, this, this);
    history_->setGeometry(dashboard_->geometry());
    history_->hide();
    if (archive_) {
      history_->SetArchive(archive_.get());
    }
  }
  return *history_;
}

RecordsPanel& MainWindow::Records() {
  if (records_ == nullptr) {
    records_ = new RecordsPanel(program_, this);
    records_->setGeometry(dashboard_->geometry());
    records_->hide();
    if (archive_) {
      records_->SetArchive(archive_.get());
    }
  }
  return *records_;
}

MainWindow::~MainWindow() {
  Shutdown();
}

void MainWindow::Start() {
  serviceWeb_ = MakeWebSender();
  serviceAprs_ = MakeAprsSender();
  serviceClock_ = std::make_unique<SystemServiceClock>();
  LinkState(program_.device.FindStation() ? kConnected : kGone);
  uploadSocket_ = MakeUploadSocket();
  weathercloudSocket_ = MakeUploadSocket();
  uploadClock_ = std::make_unique<SteadyUploadClock>();
  // A socket for each service, so that neither ever waits for the other.
  uploadWorker_ = std::make_unique<UploadWorker>(
      UploadLink{*uploadSocket_, *uploadClock_, std::cout},
      UploadLink{*weathercloudSocket_, *uploadClock_, std::cout}, *uploadBridge_);
  dashboard_->SetUploads(uploadWorker_.get(), setup_);
}

void MainWindow::UseArchive(const ArchiveOptions& options) {
  archive_ = std::make_unique<ArchiveKeeper>(program_.store, program_.state);
  connect(archive_.get(), &ArchiveKeeper::Fault, this, [this](const QString& message) {
    program_.messageBoxes.Show(this, message, QStringLiteral("Error"), MessageBoxes::Icon::kError);
  });
  connect(archive_.get(), &ArchiveKeeper::MergeFinished, dashboard_,
          &DashboardPanel::ArchiveMerged);
  dashboard_->SetArchive(archive_.get());
  setup_->SetArchive(archive_.get());
  if (history_ != nullptr) {
    history_->SetArchive(archive_.get());
  }
  if (records_ != nullptr) {
    records_->SetArchive(archive_.get());
  }
  archive_->Open(options);
  pastReadings_ = std::make_unique<ArchivePastReadings>(options);
}

void MainWindow::ShowPanel(int panel) {
  shownPanel_ = panel;
  if (panel == 3) {
    History();
  }
  if (panel == 4) {
    Records();
  }
  QWidget* const panels[] = {dashboard_, setup_, history_, records_};
  if (panel >= 1 && panel <= 4) {
    // The shown one first, so that the middle never stands empty for a frame.
    QWidget* const shown = panels[panel - 1];
    shown->show();
    for (QWidget* other : panels) {
      if (other != nullptr && other != shown) {
        other->hide();
      }
    }
  }
  headerBar_->SetShownPanel(panel);
}

void MainWindow::LinkState(int state) {
  if (state == kConnected) {
    Connect();
  } else if (state == kGone) {
    Disconnect();
  }
}

void MainWindow::Connect() {
  if (program_.device.LastOpenFailure() == OpenFailure::kBusy) {
    Disconnect();  // as for a console that is away: the window shows the archive meanwhile
    TellConsoleOwner(QString::fromStdString(program_.device.HeldBy()));
    return;
  }
  if (program_.device.LastOpenFailure() == OpenFailure::kPermission && !permissionTold_) {
    permissionTold_ = true;
    // Shown from the event loop: the box's own loop must not run inside the connection sequence.
    QTimer::singleShot(0, this, [this] {
      program_.messageBoxes.Show(this, QString::fromUtf8(kNoPermissionText),
                                 QStringLiteral("Error"), MessageBoxes::Icon::kError);
    });
  }
  SharedState& state = program_.state;
  state.linkConnected = true;
  state.downloadCancelled = false;
  statusBar_->SetConnected(true);
  // Start() waits for a previous reader to end first, so two never read at once.
  StartServices();  // before the console's first live text
  program_.reader.Start(
      {program_.device, state, program_.counters, &program_.store, *readerBridge_});
  setup_->LinkChanged();
  SendCommand(program_.device, state, CMD_CANCEL);
  QTimer::singleShot(kGreetingPauseMs, this,
                     [this] { SendCommand(program_.device, program_.state, CMD_REFRESH); });
}

void MainWindow::Disconnect() {
  SharedState& state = program_.state;
  const bool downloading = state.downloadActive && !state.historyReady;
  state.readerStop = true;
  state.downloadCancelled = true;
  statusBar_->SetConnected(false);
  SetNoDataPlaceholders(program_.readings);
  dashboard_->LinkLost();
  state.linkConnected = false;
  statusBar_->ProgressClear();
  setup_->LinkChanged();
  StopServices();
  if (downloading && archive_) {
    // What arrived is kept, once the reader (whose hand-offs give up now) no longer writes it.
    program_.reader.Join();
    archive_->Merge(DownloadEnd::kUnplugged, !state.archiveOnly, state.historyTotal);
  }
}

void MainWindow::DeviceChanged(DeviceEvent event, const std::string& path) {
  OnDeviceChange(event, path, program_.device, *this);
}

void MainWindow::TellConsoleOwner(const QString& owner) {
  const QString text = QStringLiteral("The console is in use by %1.").arg(owner);
  statusBar_->ShowNote(text);
  if (!ownerTold_) {
    ownerTold_ = true;
    // From the event loop, as the permission message: not inside the connection sequence.
    QTimer::singleShot(0, this, [this, text] {
      program_.messageBoxes.Show(
          this,
          text + QStringLiteral(" The window shows the archive meanwhile; end that program "
                                "to use the console here."),
          QStringLiteral("Error"), MessageBoxes::Icon::kError);
    });
  }
}

void MainWindow::RelabelAll() {
  headerBar_->Relabel();
  dashboard_->Relabel();
  setup_->Relabel();
  if (history_ != nullptr) {
    history_->Relabel();
  }
  if (records_ != nullptr) {
    records_->Relabel();
  }
  statusBar_->Relabel();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  Shutdown();
  event->accept();
}

void MainWindow::Shutdown() {
  if (shutDown_) {
    return;
  }
  shutDown_ = true;
  // Every hand-off still waiting gives up now, so no thread below can wait for this one.
  shuttingDown_ = true;
  program_.state.readerStop = true;
  program_.reader.Join();
  if (uploadWorker_) {
    uploadWorker_->Stop();
  }
  StopServices();
  dashboard_->JoinExport();
  if (archive_) {
    archive_->Finish();  // a merge under way ends first
  }
  program_.device.CloseStation();
  SaveSettings();
}

void MainWindow::SaveSettings() {
  SettingsStore& settings = program_.settings;
  settings.WriteStationIdAndKey(program_.servers.serverIndex, setup_->EditTexts());
  settings.WriteLanguageAndService(
      {static_cast<int>(program_.language), program_.servers.serverIndex});
  settings.WriteUnitSettings(program_.units);
  settings.WriteRainSeasonStart(program_.rainSeasonStart);
}

// Made anew with the stored settings and outcomes, so that a service catches up from its last
// success; the old uploads end first, so no reading goes out twice.
void MainWindow::StartServices() {
  StopServices();
  if (!serviceClock_) {
    return;  // not started
  }
  SettingsBackend& backend = *program_.settingsBackend;
  const ServicesSettings settings = LoadServicesSettings(backend);
  services_ = std::make_unique<ComposedUploads>(
      settings, ComposedUploadsParts{
                    serviceWeb_.get(), serviceAprs_.get(), pastReadings_.get(), serviceClock_.get(),
                    NIMBREL_VERSION, LoadServiceOutcomes(backend),
                    [&backend](const ServiceOutcomes& outcomes) {
                      return SaveServiceOutcomes(backend, outcomes);
                    },
                    [this](const UploadNews& news) {
                      QMetaObject::invokeMethod(
                          this, [this, news] { TellServiceNews(news); }, Qt::QueuedConnection);
                    }});
  dashboard_->SetServices(services_.get());
  for (const WeatherService service : kWeatherServices) {
    if (settings.Of(service).on && !services_->Running(service)) {
      statusBar_->ShowNote(QStringLiteral("Not uploading to %1: %2")
                               .arg(ServiceTitle(static_cast<std::size_t>(service)),
                                    QString::fromStdString(services_->WhyNot(service))));
    }
  }
}

void MainWindow::StopServices() {
  dashboard_->SetServices(nullptr);
  if (services_) {
    services_->Stop();
    services_.reset();
  }
}

// A service that starts failing, or works again, is said in the status bar once, not at every
// try; the dialog shows the rest.
void MainWindow::TellServiceNews(const UploadNews& news) {
  if (news.unsaved && !unsavedTold_) {
    unsavedTold_ = true;
    program_.messageBoxes.Show(
        this, QStringLiteral("The weather services' last successes and errors could not be saved."),
        QStringLiteral("Error"), MessageBoxes::Icon::kError);
  }
  if (news.startedFailing) {
    statusBar_->ShowNote(QStringLiteral("%1: upload failed: %2")
                             .arg(ServiceTitle(news.index), QString::fromStdString(news.reason)));
  } else if (news.recovered) {
    statusBar_->ShowNote(QStringLiteral("%1: uploads work again").arg(ServiceTitle(news.index)));
  }
}

}  // namespace nimbrel::ui
