#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/settings_files.h"
#include "station/commands.h"
#include "tests/ui/ui_fixture.h"
#include "ui/status_bar_panel.h"

namespace nimbrel::ui::testing {

namespace {

using namespace std::chrono_literals;

// Every command the program sends to the silent console.
struct CommandLog {
  std::vector<StationCommand> Sent() {
    std::lock_guard lock(mutex);
    return sent;
  }
  long Count(const StationCommand& command) {
    const auto copy = Sent();
    return std::count(copy.begin(), copy.end(), command);
  }
  std::mutex mutex;
  std::vector<StationCommand> sent;
};

// A console that never speaks and logs every command it is sent.
class SilentConsoleBackend : public HidBackend {
 public:
  explicit SilentConsoleBackend(CommandLog& log) : log_(log) {}
  std::vector<HidInterfaceInfo> Enumerate() override {
    return {{"silent", kStationVendorId, kStationProductId, kStationUsagePage, kStationUsage}};
  }
  std::unique_ptr<StationTransport> Open(const std::string&) override {
    return std::make_unique<Handle>(log_);
  }

 private:
  struct Handle : StationTransport {
    explicit Handle(CommandLog& log) : log_(log) {}
    ReadResult ReadFrame(StationFrame&, std::chrono::milliseconds timeout) override {
      std::this_thread::sleep_for(std::min<std::chrono::milliseconds>(timeout, 10ms));
      return ReadResult::kTimeout;
    }
    bool WriteCommand(const StationCommand& command) override {
      std::lock_guard lock(log_.mutex);
      log_.sent.push_back(command);
      return true;
    }
    bool IsValid() const override { return true; }
    CommandLog& log_;
  };
  CommandLog& log_;
};

// The window on a connected console that sends nothing, so that only the test drives the status
// bar and every command the program sends can be counted.
class SilentConsoleWindow {
 public:
  SilentConsoleWindow()
      : program_(std::make_unique<Program>(
            std::make_unique<SilentConsoleBackend>(log),
            std::make_unique<FileSettingsBackend>(folder_.path().toStdString()), boxes_, dialogs_)),
        window_(std::make_unique<MainWindow>(*program_)) {
    window_->show();
    window_->Start();
  }
  Program& Prog() { return *program_; }
  MainWindow& Window() { return *window_; }
  StatusBarPanel& Status() { return window_->StatusBar(); }
  // Whether any text is drawn left of the cancel button.
  bool ProgressDrawn() {
    const QImage picture = Status().grab().toImage();
    const int right = Status().findChild<QWidget*>(QStringLiteral("cancelButton"))->x();
    for (int y = 0; y < picture.height(); ++y) {
      for (int x = 0; x < right; ++x) {
        if (picture.pixelColor(x, y) != program_->look->PanelColor()) {
          return true;
        }
      }
    }
    return false;
  }

  CommandLog log;  // declared first, so the window and the program go before it

 private:
  QTemporaryDir folder_;
  RecordingMessageBoxes boxes_;
  ScriptedFileDialogs dialogs_;
  std::unique_ptr<Program> program_;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace

class StatusBarTest : public QObject {
  Q_OBJECT

 private slots:
  // The percentage is truncated; cancel sends one CMD_CANCEL and silences later progress.
  void DownloadProgressAndCancel() {
    SilentConsoleWindow shell;
    Program& program = shell.Prog();
    StatusBarPanel& status = shell.Status();
    QVERIFY(!status.CancelShown());
    // The greeting: CMD_CANCEL, then CMD_REFRESH a moment later.
    QTRY_COMPARE_WITH_TIMEOUT(shell.log.Count(CMD_REFRESH), 1L, 5000);
    const std::size_t greeting = shell.log.Sent().size();

    status.HistoryStart(3);
    QVERIFY(status.CancelShown());
    status.HistoryProgress(2);
    QCOMPARE(status.ProgressText(), QStringLiteral("Exporting 66% ...."));
    program.language = LanguageIndex::kGerman;
    status.HistoryProgress(3);
    QCOMPARE(status.ProgressText(), QStringLiteral("Exportieren 100% ...."));
    QVERIFY(shell.ProgressDrawn());
    status.ProgressClear();
    QVERIFY(!status.CancelShown());
    QVERIFY(!shell.ProgressDrawn());

    program.language = LanguageIndex::kEnglish;
    program.state.downloadActive = true;
    status.HistoryStart(10);
    status.HistoryProgress(4);
    QCOMPARE(status.ProgressText(), QStringLiteral("Exporting 40% ...."));
    QTest::mouseClick(status.findChild<QWidget*>(QStringLiteral("cancelButton")), Qt::LeftButton);
    QCOMPARE(shell.log.Sent().size(), greeting + 1);
    QVERIFY(shell.log.Sent().back() == CMD_CANCEL);
    QVERIFY(!status.CancelShown());
    QVERIFY(program.state.downloadCancelled);
    QVERIFY(!program.state.downloadActive);
    // The console may still report records already on their way: they show nothing.
    status.HistoryProgress(5);
    QVERIFY(status.ProgressText().isEmpty());
    QVERIFY(!shell.ProgressDrawn());
  }

  // The logger level, the connection text and picture, and a download cut off by the removal.
  void LoggerAndConnectionFollowTheLink() {
    SilentConsoleWindow shell;
    StatusBarPanel& status = shell.Status();
    auto* icon = status.findChild<QLabel*>(QStringLiteral("connectionIcon"));
    QCOMPARE(status.ConnectionText(), QStringLiteral("USB connected"));
    QCOMPARE(status.LoggerText(), QStringLiteral("Logger --%"));
    const QImage connectedPicture = icon->pixmap().toImage();
    // Only the first 32 characters of a value are kept.
    status.SetLoggerText(QString(40, QLatin1Char('9')));
    QCOMPARE(status.LoggerText(), QString(32, QLatin1Char('9')) + QLatin1Char('%'));

    status.HistoryStart(2);
    status.HistoryProgress(1);
    shell.Window().LinkState(LinkStateSink::kGone);
    QCOMPARE(status.ConnectionText(), QStringLiteral("No connection"));
    QVERIFY(icon->pixmap().toImage() != connectedPicture);
    QVERIFY(!status.CancelShown());
    QVERIFY(status.ProgressText().isEmpty());
    QTRY_COMPARE(status.LoggerText(), QStringLiteral("--%"));

    shell.Window().LinkState(LinkStateSink::kConnected);
    QCOMPARE(status.ConnectionText(), QStringLiteral("USB connected"));
    QCOMPARE(icon->pixmap().toImage(), connectedPicture);
  }
};

}  // namespace nimbrel::ui::testing

QTEST_MAIN(nimbrel::ui::testing::StatusBarTest)
#include "status_bar_test.moc"
