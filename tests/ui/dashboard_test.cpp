#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

#include <mutex>
#include <sstream>

#include "station/commands.h"
#include "station/link.h"
#include "tests/ui/ui_fixture.h"
#include "ui/dashboard_panel.h"
#include "ui/status_bar_panel.h"
#include "upload/upload_clock.h"
#include "upload/upload_worker.h"

namespace nimbrel::ui::testing {

namespace {

using C = DashboardControl;

// One live text with every field set: channel n holds 18.0 + 0.2 n degrees and 50 + n percent.
const std::string kLiveLine =
    "57 2024-5-6 12:30 23.5 45 -5.3 88 25.4 1.2 10 20.5 191 SSW 1013.2 1009.0 3 1.7 -40 "
    "18.2 51 18.4 52 18.6 53 18.8 54 19.0 55 19.2 56 19.4 57 -7.0 0.3 30.1 80.6";

// A console that sends its live text at connection only: a later one would end a download early.
ConsoleOptions QuietConsole() {
  ConsoleOptions options;
  options.liveLines = std::vector<std::string>{kLiveLine};
  options.periods = {std::chrono::hours(1), std::chrono::hours(1), std::chrono::hours(1),
                     std::chrono::hours(1)};
  options.historyRecords = 30;
  return options;
}

HistoryRecord Record(std::string_view text) {
  HistoryRecord record{};
  std::copy_n(text.data(), std::min(text.size(), record.size() - 1), record.data());
  return record;
}

QString Text(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// "value unit" as the panel draws the area; empty when it draws nothing.
QString Shown(const DashboardPanel& dashboard, C area) {
  const FormattedReading reading = dashboard.ShownReading(area);
  if (!reading.drawn) {
    return {};
  }
  return reading.suffix.empty() ? Text(reading.value)
                                : Text(reading.value) + ' ' + Text(reading.suffix);
}

// Waits for the first live text to reach the readings.
bool LiveDataArrived(Program& program) {
  return QTest::qWaitFor(
      [&program] { return program.readings[kFieldIndoorTemperature].View() == u"23.5"; }, 10000);
}

void Click(QWidget* widget) {
  QVERIFY(widget != nullptr);
  QTest::mouseClick(widget, Qt::LeftButton);
}

// A data row ends in a bare LF; the quoted titles hold CR LF inside them.
int RowCount(const QByteArray& utf16) {
  const QString text =
      QString::fromUtf16(reinterpret_cast<const char16_t*>(utf16.constData()), utf16.size() / 2);
  int rows = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
      ++rows;
    }
  }
  return rows;
}

// A network that accepts every request and answers "success"; it keeps what was sent where.
class RecordingSocket : public UploadSocket {
 public:
  bool Open(std::string_view host, std::uint16_t) override {
    const std::lock_guard lock(mutex_);
    hosts_.append(host).append(" ");
    replied_ = false;
    return true;
  }
  SocketStatus Connect(std::chrono::milliseconds, std::stop_token) override {
    return SocketStatus::kOk;
  }
  bool SetSendTimeout(std::chrono::milliseconds) override { return true; }
  bool SetReceiveTimeout(std::chrono::milliseconds) override { return true; }
  SocketResult Send(std::span<const char> bytes, std::stop_token) override {
    const std::lock_guard lock(mutex_);
    sent_.append(bytes.data(), bytes.size());
    return {SocketStatus::kOk, bytes.size()};
  }
  SocketResult Receive(std::span<char> buffer, std::stop_token) override {
    const std::lock_guard lock(mutex_);
    if (replied_) {
      return {SocketStatus::kClosed, 0};
    }
    replied_ = true;
    const std::string_view reply = "HTTP/1.0 200 OK\r\n\r\nsuccess";
    const std::size_t count = std::min(reply.size(), buffer.size());
    std::copy_n(reply.data(), count, buffer.data());
    return {SocketStatus::kOk, count};
  }
  void Close() override {}

  // Copies made under the lock: the worker writes on.
  QString Hosts() const {
    const std::lock_guard lock(mutex_);
    return QString::fromStdString(hosts_);
  }
  QString Sent() const {
    const std::lock_guard lock(mutex_);
    return QString::fromStdString(sent_);
  }

 private:
  mutable std::mutex mutex_;
  std::string hosts_;
  std::string sent_;
  bool replied_ = false;
};

class NoUploadMessages : public UploadMessages {
 public:
  void UploadAckWu() override {}
  void UploadAckWc() override {}
};

class FixedStationTexts : public StationTexts {
 public:
  StationIdAndKey InForce(ServerIndex) const override { return {u"STATION7", u"SECRET7"}; }
};

ParamBuffer Parameters(std::string_view text) {
  ParamBuffer buffer{};
  std::copy_n(text.data(), std::min(text.size(), buffer.size() - 1), buffer.data());
  return buffer;
}

}  // namespace

class DashboardTest : public QObject {
  Q_OBJECT

 private slots:
  void ShowsTheLiveValuesInTheChosenUnits() {
    ProgramFixture fixture(QuietConsole());
    UnitSettings units;
    units.temperatureUnit = TemperatureUnit::Fahrenheit;
    units.rainUnit = RainUnit::Inch;
    units.pressureUnit = PressureUnit::InHg;
    units.windSpeedUnit = WindSpeedUnit::Mph;
    units.windDirectionFormat = WindDirectionFormat::Degrees360;
    fixture.Settings().WriteUnitSettings(units);
    MainWindow& window = fixture.Open();
    DashboardPanel& dashboard = window.Dashboard();
    Program& program = fixture.Prog();

    // Before the first live text: placeholders.
    QCOMPARE(Shown(dashboard, C::kIndoorTemperature), QStringLiteral("--.- °F"));
    QCOMPARE(Shown(dashboard, C::kDailyRain), QStringLiteral("-.- in"));
    QCOMPARE(dashboard.ShownReading(C::kWindDirection).dialNumber, 0);

    QVERIFY(LiveDataArrived(program));
    QVERIFY(window.StatusBar().LoggerText().contains(QStringLiteral("57")));
    QCOMPARE(Shown(dashboard, C::kIndoorTemperature), QStringLiteral("74.3 °F"));
    QCOMPARE(Shown(dashboard, C::kOutdoorTemperature), QStringLiteral("22.4 °F"));
    QCOMPARE(Shown(dashboard, C::kDewPoint), QStringLiteral("35.0 °F"));
    QCOMPARE(Shown(dashboard, C::kHeatIndex), QStringLiteral("-40.0 °F"));
    QCOMPARE(Shown(dashboard, C::kIndoorHumidity), QStringLiteral("45 %"));
    QCOMPARE(Shown(dashboard, C::kOutdoorHumidity), QStringLiteral("88 %"));
    QCOMPARE(Shown(dashboard, C::kPressure), QStringLiteral("29.92 inHg"));
    QCOMPARE(Shown(dashboard, C::kWindSpeed), QStringLiteral("6.2 mph"));
    QCOMPARE(Shown(dashboard, C::kWindGust), QStringLiteral("12.7 mph"));
    QCOMPARE(Shown(dashboard, C::kDailyRain), QStringLiteral("1.00 in"));
    QCOMPARE(Shown(dashboard, C::kRainRate), QStringLiteral("0.05 in/h"));
    QCOMPARE(Shown(dashboard, C::kUvIndex), QStringLiteral("3"));
    QCOMPARE(Shown(dashboard, C::kChannelTemperature), QStringLiteral("64.7 °F"));
    QCOMPARE(Shown(dashboard, C::kChannelHumidity), QStringLiteral("51 %"));
    QCOMPARE(Shown(dashboard, C::kWindDirection), QStringLiteral("191 °"));
    QCOMPARE(dashboard.ShownReading(C::kWindDirection).dialNumber, 10);

    // A change in the setup panel shows at the next paint: the other pressure, the point name.
    program.units = UnitSettings{};
    program.units.pressureType = PressureType::Absolute;
    QCOMPARE(Shown(dashboard, C::kPressure), QStringLiteral("1009.0 hPa"));
    QCOMPARE(Shown(dashboard, C::kIndoorTemperature), QStringLiteral("23.5 °C"));
    QCOMPARE(Shown(dashboard, C::kWindDirection), QStringLiteral("SSW"));
    QCOMPARE(dashboard.ShownReading(C::kWindDirection).dialNumber, 10);
  }

  void RemovalShowsPlaceholdersAndEndsTheDownload() {
    ProgramFixture fixture(QuietConsole());
    MainWindow& window = fixture.Open();
    Program& program = fixture.Prog();
    QVERIFY(LiveDataArrived(program));
    program.state.downloadActive = true;

    fixture.Console()->Unplug();
    fixture.PollDeviceChanges();

    const DashboardPanel& dashboard = window.Dashboard();
    QVERIFY(!program.state.downloadActive);
    QCOMPARE(Shown(dashboard, C::kIndoorTemperature), QStringLiteral("--.- °C"));
    QCOMPARE(Shown(dashboard, C::kChannelTemperature), QStringLiteral("--.- °C"));
    QCOMPARE(Shown(dashboard, C::kDailyRain), QStringLiteral("-.- mm"));
    QCOMPARE(Shown(dashboard, C::kPressure), QStringLiteral("-- hPa"));
    QCOMPARE(Shown(dashboard, C::kWindSpeed), QStringLiteral("-- km/h"));
    QCOMPARE(Shown(dashboard, C::kUvIndex), QStringLiteral("--"));
    QCOMPARE(Shown(dashboard, C::kWindDirection), QStringLiteral("--"));
    QCOMPARE(dashboard.ShownReading(C::kWindDirection).dialNumber, 0);
    QVERIFY(window.StatusBar().LoggerText().contains(QStringLiteral("--")));
    QVERIFY(!window.StatusBar().LoggerText().contains(QStringLiteral("57")));

    // A live text the reader handed over just before the removal comes too late to be shown.
    window.Dashboard().LiveMessage(Record(kLiveLine));
    QCOMPARE(Shown(dashboard, C::kIndoorTemperature), QStringLiteral("--.- °C"));
  }

  void ChannelArrowsStepFromOneToSevenAndStop() {
    ProgramFixture fixture(QuietConsole());
    MainWindow& window = fixture.Open();
    DashboardPanel& dashboard = window.Dashboard();
    QVERIFY(LiveDataArrived(fixture.Prog()));
    auto* previous = dashboard.findChild<QLabel*>(QStringLiteral("previousChannel"));
    auto* next = dashboard.findChild<QLabel*>(QStringLiteral("nextChannel"));

    Click(previous);
    QCOMPARE(dashboard.SelectedChannel(), 1);
    QCOMPARE(dashboard.CaptionText(C::kChannelHeader), QStringLiteral("CH 1"));

    Click(next);
    QCOMPARE(dashboard.SelectedChannel(), 2);
    QCOMPARE(Shown(dashboard, C::kChannelTemperature), QStringLiteral("18.4 °C"));
    QCOMPARE(Shown(dashboard, C::kChannelHumidity), QStringLiteral("52 %"));

    for (int i = 0; i < 8; ++i) {
      Click(next);
    }
    QCOMPARE(dashboard.SelectedChannel(), 7);
    QCOMPARE(dashboard.CaptionText(C::kChannelHeader), QStringLiteral("CH 7"));
    QCOMPARE(Shown(dashboard, C::kChannelTemperature), QStringLiteral("19.4 °C"));
    QCOMPARE(Shown(dashboard, C::kChannelHumidity), QStringLiteral("57 %"));

    Click(previous);
    QCOMPARE(dashboard.SelectedChannel(), 6);
  }

  void LiveTextIsReadOnlyUpToItsFirst255Bytes() {
    ProgramFixture fixture(std::nullopt);
    MainWindow& window = fixture.Open();
    DashboardPanel& dashboard = window.Dashboard();
    fixture.Prog().state.linkConnected = true;  // as while a console is connected
    // A long logger field, date and time fill the first 255 bytes exactly; the rest of the
    // record, without any zero byte, must be ignored.
    const std::string head = std::string(240, '5') + " 2024-5-6 12:30";
    const std::string tail = " 23.5 45 -5.3 88 25.4 1.2 10 20.5 191 SSW 1013.2 1009.0 3";
    HistoryRecord record{};
    record.fill('7');
    std::copy(head.begin(), head.end(), record.begin());
    std::copy(tail.begin(), tail.end(), record.begin() + static_cast<std::ptrdiff_t>(head.size()));
    dashboard.LiveMessage(record);

    const Program& program = fixture.Prog();
    QCOMPARE(program.readings[kFieldTime].View(), std::u16string_view(u"12:30"));
    QVERIFY(program.readings[kFieldIndoorTemperature].Empty());
    QCOMPARE(Shown(dashboard, C::kIndoorTemperature), QStringLiteral("--.- °C"));
    // Pressure, wind speed and UV index draw nothing at all for a field the text did not reach.
    QCOMPARE(Shown(dashboard, C::kPressure), QString());
    QCOMPARE(Shown(dashboard, C::kWindSpeed), QString());
    QCOMPARE(Shown(dashboard, C::kUvIndex), QString());
    QVERIFY(window.StatusBar().LoggerText().contains(QString(31, '5')));
  }

  void UploadTextsBecomeRequestsForTheServicesSwitchedOn() {
    RecordingSocket socket;
    SteadyUploadClock clock;
    std::ostringstream diagnostics;
    NoUploadMessages messages;
    UploadWorker worker(UploadLink{socket, clock, diagnostics}, messages);
    FixedStationTexts texts;
    ProgramFixture fixture(std::nullopt);
    DashboardPanel& dashboard = fixture.Open().Dashboard();
    Program& program = fixture.Prog();
    dashboard.SetUploads(&worker, &texts);
    program.servers.Service(ServerIndex::Weathercloud).autoUpload = true;

    dashboard.WuMessage(Parameters("tempf=70.1&humidity=40"));
    dashboard.WeathercloudMessage(Parameters("temp=211&hum=41"));
    QTRY_VERIFY(socket.Sent().contains(QStringLiteral("temp=211&hum=41")));
    QVERIFY(socket.Sent().contains(QStringLiteral("STATION7")));
    QVERIFY(socket.Hosts().contains(QStringLiteral("api.weathercloud.net")));
    QVERIFY(!socket.Sent().contains(QStringLiteral("tempf=70.1")));

    program.servers.Service(ServerIndex::WeatherUnderground).autoUpload = true;
    dashboard.WuMessage(Parameters("tempf=70.1&humidity=40"));
    QTRY_VERIFY(socket.Sent().contains(QStringLiteral("tempf=70.1&humidity=40")));
    QVERIFY(socket.Hosts().contains(QStringLiteral("rtupdate.wunderground.com")));
    worker.Stop();
  }

  void ConsoleAskingForTheTimeGetsThePcClock() {
    ConsoleOptions options = QuietConsole();
    options.clock = LocalDateTime{2001, 2, 3, 4, 5, 6};
    ProgramFixture fixture(options);
    fixture.Open();
    // The console asks at every connection.
    QTRY_VERIFY_WITH_TIMEOUT(fixture.Console()->ConsoleDateTime().year == LocalNow().year, 10000);
  }

  void StampUsesTheTwentyFourHourClockWithAmOrPmAndIsStored() {
    ProgramFixture fixture(std::nullopt);
    fixture.Settings().WriteStamp(u"01/ 02/ 2023, 08:00 AM");
    DashboardPanel& dashboard = fixture.Open().Dashboard();
    QCOMPARE(dashboard.StampText(), QStringLiteral("01/ 02/ 2023, 08:00 AM"));

    const struct {
      LocalDateTime time;
      const char16_t* stamp;
    } cases[] = {
        {{2024, 3, 7, 12, 30, 0}, u"03/ 07/ 2024, 12:30 PM"},
        {{2024, 12, 31, 0, 5, 59}, u"12/ 31/ 2024, 00:05 AM"},
        {{2025, 1, 9, 11, 59, 0}, u"01/ 09/ 2025, 11:59 AM"},
        {{2025, 10, 18, 23, 1, 0}, u"10/ 18/ 2025, 23:01 PM"},
    };
    for (const auto& c : cases) {
      dashboard.SetClock([time = c.time] { return time; });
      dashboard.ReadStamp();
      QCOMPARE(dashboard.StampText(), QString::fromUtf16(c.stamp));
      QCOMPARE(fixture.Settings().ReadStamp(), std::u16string(c.stamp));
    }
  }

  void StampShowsPlaceholderUntilDataIsReadOnce() {
    ProgramFixture fixture(std::nullopt);
    DashboardPanel& dashboard = fixture.Open().Dashboard();
    QCOMPARE(dashboard.StampText(), QStringLiteral("--/ --/ ----, --:--"));
    QVERIFY(fixture.Settings().ReadStamp().empty());
  }

  void ExportResultsAndNoticesShowTheirBoxes() {
    ProgramFixture fixture(std::nullopt);
    MainWindow& window = fixture.Open();
    DashboardPanel& dashboard = window.Dashboard();
    Program& program = fixture.Prog();
    window.ShowPanel(2);  // the boxes belong to the main window, shown or hidden dashboard alike

    dashboard.SetClock([] { return LocalDateTime{2024, 6, 1, 9, 15, 0}; });
    dashboard.ExportFinished(kExportEnded);
    QVERIFY(fixture.boxes.boxes.empty());
    QCOMPARE(dashboard.StampText(), QStringLiteral("06/ 01/ 2024, 09:15 AM"));

    dashboard.ExportFinished(kExportFailed);
    QVERIFY(program.state.downloadCancelled);
    dashboard.NoHistory();
    Click(dashboard.findChild<QWidget*>(QStringLiteral("refreshButton")));

    QCOMPARE(fixture.boxes.boxes.size(), std::size_t{3});
    const auto& failed = fixture.boxes.boxes[0];
    QCOMPARE(failed.text, QStringLiteral("write file failed !"));
    QCOMPARE(failed.caption, QStringLiteral("Error"));
    QVERIFY(failed.owner == &window);
    const auto& none = fixture.boxes.boxes[1];
    QCOMPARE(none.text, QStringLiteral("Not history data NOW!"));
    QCOMPARE(none.caption, QStringLiteral("Note"));
    QVERIFY(none.owner == &window);
    // No console: the refresh button says so, from the dashboard.
    const auto& refresh = fixture.boxes.boxes[2];
    QCOMPARE(refresh.text, QStringLiteral("the Usb Device is not ready!"));
    QCOMPARE(refresh.caption, QStringLiteral("Error"));
    QVERIFY(refresh.owner == &dashboard);
  }

  void ConsoleWithoutHistorySaysSo() {
    ConsoleOptions options = QuietConsole();
    options.faults.noHistory = true;
    ProgramFixture fixture(options);
    MainWindow& window = fixture.Open();
    Program& program = fixture.Prog();
    QVERIFY(LiveDataArrived(program));
    QTemporaryDir folder;
    program.state.SetExportFileName((folder.path() + QStringLiteral("/log.csv")).toStdString());
    PrepareHistoryDownload(program.state, program.store);
    QVERIFY(SendCommand(program.device, program.state, CMD_HISTORY));

    QTRY_VERIFY_WITH_TIMEOUT(!fixture.boxes.boxes.empty(), 10000);
    QCOMPARE(fixture.boxes.boxes[0].text, QStringLiteral("Not history data NOW!"));
    QVERIFY(fixture.boxes.boxes[0].owner == &window);
  }

  void RelabelShowsTheChosenPressureInTheCurrentLanguage() {
    ProgramFixture fixture(std::nullopt);
    DashboardPanel& dashboard = fixture.Open().Dashboard();
    Program& program = fixture.Prog();
    QCOMPARE(dashboard.CaptionText(C::kPressureLabel), QStringLiteral("Relative Pressure"));
    QCOMPARE(dashboard.CaptionText(C::kIndoorHeader), QStringLiteral("INDOOR"));

    program.units.pressureType = PressureType::Absolute;
    program.language = LanguageIndex::kGerman;
    dashboard.Relabel();
    QCOMPARE(dashboard.CaptionText(C::kPressureLabel), program.Text(19));
    QVERIFY(program.Text(19) != program.Text(18));
    QCOMPARE(dashboard.CaptionText(C::kIndoorHeader), program.Text(6));
    QCOMPARE(dashboard.CaptionText(C::kStampCaption), program.Text(58));
    QVERIFY(dashboard.CaptionText(C::kStampCaption) != QStringLiteral("Last data read at"));
  }

  void CompletedHistoryDownloadWritesTheExportFile() {
    ProgramFixture fixture(QuietConsole());
    MainWindow& window = fixture.Open();
    Program& program = fixture.Prog();
    int stamps = 0;
    window.Dashboard().SetClock([&stamps] {
      ++stamps;
      return LocalDateTime{2024, 6, 1, 17, 45, 0};
    });
    // The live texts at connection and in answer to the greeting's refresh: a live text ends a
    // download, so none may come once it has started.
    QTRY_COMPARE_WITH_TIMEOUT(stamps, 2, 10000);

    QTemporaryDir folder;
    const QString path = folder.path() + QStringLiteral("/history.csv");
    program.state.SetExportFileName(path.toStdString());
    program.exportRequest.wholePeriod = true;
    program.exportRequest.dataSets.fill(true);
    PrepareHistoryDownload(program.state, program.store);
    QVERIFY(SendCommand(program.device, program.state, CMD_HISTORY));

    // The download raises DownloadActive and the export lowers it once its result is handled.
    QTRY_VERIFY_WITH_TIMEOUT(program.state.historyReady && !program.state.downloadActive, 20000);
    QVERIFY(fixture.boxes.boxes.empty());
    QCOMPARE(stamps, 3);  // the finished export renewed the stamp
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith(QByteArray("\xFF\xFE", 2)));
    // Title row, unit row and one row per record.
    QCOMPARE(RowCount(bytes.mid(2)), 2 + 30);
  }

  // Renders the window for the README (into $NIMBREL_SCREENSHOT_DIR when set): the dashboard with
  // live data in English and in German, and the window without a console.
  void RendersTheWindow() {
    const QString folder = qEnvironmentVariable("NIMBREL_SCREENSHOT_DIR");
    const auto save = [&folder](QWidget& window, const QString& name) {
      const QImage image = window.grab().toImage();
      QCOMPARE(image.size(), QSize(900, 600));
      if (!folder.isEmpty()) {
        QVERIFY(image.save(folder + '/' + name));
      }
    };
    // A summer afternoon, the same in every picture.
    const LocalDateTime afternoon{2025, 7, 14, 15, 30, 0};
    for (const int language : {0, 1}) {
      ConsoleOptions console;
      console.clock = afternoon;
      ProgramFixture fixture(console);
      fixture.Settings().WriteLanguageAndService({language, ServerIndex::WeatherUnderground});
      MainWindow& window = fixture.Open();
      window.Dashboard().SetClock([afternoon] { return afternoon; });
      QTRY_VERIFY_WITH_TIMEOUT(
          !IsMissingTemperature(fixture.Prog().readings[kFieldIndoorTemperature].View()), 10000);
      save(window,
           language == 0 ? QStringLiteral("dashboard-en.png") : QStringLiteral("dashboard-de.png"));
    }
    ProgramFixture fixture(std::nullopt);
    save(fixture.Open(), QStringLiteral("no-console.png"));
  }
};

}  // namespace nimbrel::ui::testing

QTEST_MAIN(nimbrel::ui::testing::DashboardTest)
#include "dashboard_test.moc"
