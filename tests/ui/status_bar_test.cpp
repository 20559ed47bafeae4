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

// A console that never speaks and keeps every command it is sent.
class SilentConsole : public StationTransport {
 public:
  ReadResult ReadFrame(StationFrame&, std::chrono::milliseconds timeout) override {
    std::this_thread::sleep_for(std::min<std::chrono::milliseconds>(timeout, 10ms));
    return ReadResult::kTimeout;
  }
  bool WriteCommand(const StationCommand& command) override {
    std::lock_guard lock(mutex_);
    commands_.push_back(command);
    return true;
  }
  bool IsValid() const override { return true; }

  long Count(const StationCommand& command) const {
    std::lock_guard lock(mutex_);
    return std::count(commands_.begin(), commands_.end(), command);
  }
  std::size_t Total() const {
    std::lock_guard lock(mutex_);
    return commands_.size();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<StationCommand> commands_;
};

// Opens handles onto the one silent console.
class SilentConsoleBackend : public HidBackend {
 public:
  explicit SilentConsoleBackend(SilentConsole& console) : console_(console) {}
  std::vector<HidInterfaceInfo> Enumerate() override {
    return {{"silent", kStationVendorId, kStationProductId, kStationUsagePage, kStationUsage}};
  }
  std::unique_ptr<StationTransport> Open(const std::string&) override {
    return std::make_unique<Handle>(console_);
  }

 private:
  class Handle : public StationTransport {
   public:
    explicit Handle(SilentConsole& console) : console_(console) {}
    ReadResult ReadFrame(StationFrame& frame, std::chrono::milliseconds timeout) override {
      return console_.ReadFrame(frame, timeout);
    }
    bool WriteCommand(const StationCommand& command) override {
      return console_.WriteCommand(command);
    }
    bool IsValid() const override { return true; }

   private:
    SilentConsole& console_;
  };
  SilentConsole& console_;
};

// The window on a connected console that sends nothing, so that only the test drives the status
// bar and every command the program sends can be counted.
class SilentConsoleWindow {
 public:
  SilentConsoleWindow()
      : program_(std::make_unique<Program>(
            std::make_unique<SilentConsoleBackend>(console),
            std::make_unique<FileSettingsBackend>(folder_.path().toStdString()), boxes_, dialogs_)),
        window_(std::make_unique<MainWindow>(*program_)) {
    window_->show();
    window_->Start();
  }
  ~SilentConsoleWindow() {
    window_.reset();
    program_.reset();
  }

  Program& Prog() { return *program_; }
  MainWindow& Window() { return *window_; }
  StatusBarPanel& Status() { return window_->StatusBar(); }

  SilentConsole console;

 private:
  QTemporaryDir folder_;
  RecordingMessageBoxes boxes_;
  ScriptedFileDialogs dialogs_;
  std::unique_ptr<Program> program_;
  std::unique_ptr<MainWindow> window_;
};

QWidget* Child(StatusBarPanel& status, const char* name) {
  return status.findChild<QWidget*>(QString::fromLatin1(name));
}

// Pixels that are not the panel's background inside `area` of the status bar's picture: text.
int InkIn(StatusBarPanel& status, const QRect& area, const QColor& background) {
  const QImage picture = status.grab().toImage();
  int ink = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      ink += picture.pixelColor(x, y) != background ? 1 : 0;
    }
  }
  return ink;
}

// Where the progress text is drawn: from the strip's left edge to the cancel button.
QRect ProgressArea(StatusBarPanel& status) {
  return QRect(0, 0, Child(status, "cancelButton")->x(), status.height());
}

}  // namespace

class StatusBarTest : public QObject {
  Q_OBJECT

 private slots:
  void DownloadProgressShowsTruncatedPercent() {
    SilentConsoleWindow shell;
    StatusBarPanel& status = shell.Status();
    QVERIFY(!status.CancelShown());
    QVERIFY(status.ProgressText().isEmpty());

    status.HistoryStart(3);
    QVERIFY(status.CancelShown());
    status.HistoryProgress(1);
    QCOMPARE(status.ProgressText(), QStringLiteral("Exporting 33% ...."));
    status.HistoryProgress(2);
    QCOMPARE(status.ProgressText(), QStringLiteral("Exporting 66% ...."));
    shell.Prog().language = LanguageIndex::kGerman;
    status.HistoryProgress(3);
    QCOMPARE(status.ProgressText(), QStringLiteral("Exportieren 100% ...."));
    QVERIFY(InkIn(status, ProgressArea(status), shell.Prog().look->PanelColor()) > 0);

    status.ProgressClear();
    QVERIFY(!status.CancelShown());
    QVERIFY(status.ProgressText().isEmpty());
    QCOMPARE(InkIn(status, ProgressArea(status), shell.Prog().look->PanelColor()), 0);
  }

  void CancelSendsOneCancelAndSilencesLaterProgress() {
    SilentConsoleWindow shell;
    Program& program = shell.Prog();
    StatusBarPanel& status = shell.Status();
    // The greeting: CMD_CANCEL, then CMD_REFRESH a moment later.
    QTRY_COMPARE_WITH_TIMEOUT(shell.console.Count(CMD_REFRESH), 1L, 5000);
    QCOMPARE(shell.console.Count(CMD_CANCEL), 1L);
    const std::size_t greeting = shell.console.Total();

    program.state.downloadActive = true;
    status.HistoryStart(10);
    status.HistoryProgress(4);
    QCOMPARE(status.ProgressText(), QStringLiteral("Exporting 40% ...."));

    QTest::mouseClick(Child(status, "cancelButton"), Qt::LeftButton);
    QCOMPARE(shell.console.Count(CMD_CANCEL), 2L);
    QCOMPARE(shell.console.Total(), greeting + 1);
    QVERIFY(!status.CancelShown());
    QVERIFY(status.ProgressText().isEmpty());
    QVERIFY(program.state.downloadCancelled);
    QVERIFY(!program.state.downloadActive);
    QCOMPARE(InkIn(status, ProgressArea(status), program.look->PanelColor()), 0);

    // The console may still report records already on their way: they show nothing.
    status.HistoryProgress(5);
    QVERIFY(status.ProgressText().isEmpty());
    QCOMPARE(InkIn(status, ProgressArea(status), program.look->PanelColor()), 0);
  }

  void LoggerLevelGetsItsPercentSign() {
    SilentConsoleWindow shell;
    StatusBarPanel& status = shell.Status();
    status.SetLoggerText(QStringLiteral("57"));
    QCOMPARE(status.LoggerText(), QStringLiteral("57%"));
    // Only the first 32 characters of a value are kept.
    status.SetLoggerText(QString(40, QLatin1Char('9')));
    QCOMPARE(status.LoggerText(), QString(32, QLatin1Char('9')) + QLatin1Char('%'));

    status.SetLoggerText(QStringLiteral("57"));
    shell.Window().LinkState(LinkStateSink::kGone);
    QTRY_COMPARE(status.LoggerText(), QStringLiteral("--%"));
  }

  void ConnectionTextAndPictureFollowTheLink() {
    SilentConsoleWindow shell;
    StatusBarPanel& status = shell.Status();
    auto* icon = static_cast<QLabel*>(Child(status, "connectionIcon"));
    QCOMPARE(status.ConnectionText(), QStringLiteral("USB connected"));
    QCOMPARE(status.findChild<QLabel*>(QStringLiteral("loggerLabel"))->text(),
             QStringLiteral("Logger"));
    QCOMPARE(status.LoggerText(), QStringLiteral("Logger --%"));
    const QImage connectedPicture = icon->pixmap().toImage();

    shell.Prog().state.downloadCancelled = false;
    status.HistoryStart(2);
    status.HistoryProgress(1);
    shell.Window().LinkState(LinkStateSink::kGone);
    QCOMPARE(status.ConnectionText(), QStringLiteral("No connection"));
    QVERIFY(icon->pixmap().toImage() != connectedPicture);
    // Unplugged in the middle of a download: the progress and its button go.
    QVERIFY(!status.CancelShown());
    QVERIFY(status.ProgressText().isEmpty());

    shell.Window().LinkState(LinkStateSink::kConnected);
    QCOMPARE(status.ConnectionText(), QStringLiteral("USB connected"));
    QCOMPARE(icon->pixmap().toImage(), connectedPicture);
  }
};

}  // namespace nimbrel::ui::testing

QTEST_MAIN(nimbrel::ui::testing::StatusBarTest)
#include "status_bar_test.moc"
