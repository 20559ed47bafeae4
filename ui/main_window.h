// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "archive/archive.h"
#include "station/device.h"

namespace nimbrel {
class UploadWorker;
class UploadSocket;
class UploadClock;
class ComposedUploads;
class WebSender;
class AprsSender;
class PastReadings;
class SystemServiceClock;
struct UploadNews;
}  // namespace nimbrel

namespace nimbrel::ui {

struct Program;
class HeaderBarPanel;
class DashboardPanel;
class SetupPanel;
class HistoryPanel;
class RecordsPanel;
class StatusBarPanel;
class ReaderBridge;
class UploadBridge;
class ArchiveKeeper;

// The program's one window, 900 x 600, titled "NIMBREL": the header bar, the dashboard, the setup
// panel, the history or the records in the middle, and the status bar. It owns the connection
// state: it follows the console's arrival and removal, starts and stops the reader, and saves the
// settings at the end.
class MainWindow : public QWidget, public LinkStateSink {
  Q_OBJECT

 public:
  explicit MainWindow(Program& program);
  ~MainWindow() override;

  // Looks for the console (WM_LINK_STATE 4 or 5) and starts the upload worker.
  void Start();

  // Opens the weather archive (on its own thread) for live samples and every download. Without
  // this call the window runs without an archive.
  void UseArchive(const ArchiveOptions& options);

  // WM_SHOW_PANEL: 1 shows the dashboard, 2 the setup panel, 3 the history, 4 the records; any
  // other value is only stored.
  void ShowPanel(int panel);
  int ShownPanel() const { return shownPanel_; }

  // WM_LINK_STATE: 4 runs the connection sequence, 5 the disconnection sequence.
  void LinkState(int state) override;

  // A device arrived or went (the device watcher, or the simulated console's plug).
  void DeviceChanged(DeviceEvent event, const std::string& path);

  // Stops the threads, releases the console and saves what is saved at exit. Runs once, when the
  // window closes; safe to call again.
  void Shutdown();

  HeaderBarPanel& HeaderBar() { return *headerBar_; }
  DashboardPanel& Dashboard() { return *dashboard_; }
  SetupPanel& Setup() { return *setup_; }
  // Made when first asked for (the History tab, or a caller): until then its widgets and their
  // memory are not needed.
  HistoryPanel& History();
  // The same for the Records tab.
  RecordsPanel& Records();
  StatusBarPanel& StatusBar() { return *statusBar_; }
  // The uploads to the weather services the program composes readings for: running while the
  // window holds the console (so that serve, which holds it otherwise, never uploads at once),
  // nothing meanwhile.
  ComposedUploads* Services() { return services_.get(); }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // Another program holds the console: said in the status bar each time, in a box once.
  void TellConsoleOwner(const QString& owner);
  void Connect();
  void Disconnect();
  void RelabelAll();
  void SaveSettings();
  void StartServices();
  void StopServices();
  void TellServiceNews(const UploadNews& news);

  Program& program_;
  int shownPanel_ = 1;
  HeaderBarPanel* headerBar_;
  DashboardPanel* dashboard_;
  SetupPanel* setup_;
  HistoryPanel* history_ = nullptr;
  RecordsPanel* records_ = nullptr;
  StatusBarPanel* statusBar_;
  std::atomic<bool> shuttingDown_{false};
  bool shutDown_ = false;
  bool permissionTold_ = false;  // the missing USB permission is told once a run
  bool ownerTold_ = false;       // so is another program's hold on the console
  bool unsavedTold_ = false;     // and outcomes of the weather services that could not be saved
  std::unique_ptr<ReaderBridge> readerBridge_;
  std::unique_ptr<UploadBridge> uploadBridge_;
  std::unique_ptr<UploadSocket> uploadSocket_;        // Weather Underground's
  std::unique_ptr<UploadSocket> weathercloudSocket_;  // Weathercloud's
  std::unique_ptr<UploadClock> uploadClock_;
  std::unique_ptr<UploadWorker> uploadWorker_;
  std::unique_ptr<ArchiveKeeper> archive_;
  // The weather services' network, past readings and clock outlive their uploads.
  std::unique_ptr<WebSender> serviceWeb_;
  std::unique_ptr<AprsSender> serviceAprs_;
  std::unique_ptr<PastReadings> pastReadings_;
  std::unique_ptr<SystemServiceClock> serviceClock_;
  std::unique_ptr<ComposedUploads> services_;
};

}  // namespace nimbrel::ui
