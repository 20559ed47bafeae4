#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

#include "station/commands.h"
#include "station/link.h"
#include "tests/ui/ui_fixture.h"
#include "ui/dashboard_panel.h"
#include "ui/status_bar_panel.h"

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
    DashboardPanel& dashboard = fixture.Open().Dashboard();
    Program& program = fixture.Prog();
    // Before the first live text: placeholders.
    QCOMPARE(Shown(dashboard, C::kIndoorTemperature), QStringLiteral("--.- °F"));
    QCOMPARE(Shown(dashboard, C::kDailyRain), QStringLiteral("-.- in"));

    QVERIFY(LiveDataArrived(program));
    const std::pair<C, const char*> shown[] = {
        {C::kIndoorTemperature, "74.3 °F"},  {C::kOutdoorTemperature, "22.4 °F"},
        {C::kDewPoint, "35.0 °F"},           {C::kHeatIndex, "-40.0 °F"},
        {C::kIndoorHumidity, "45 %"},        {C::kOutdoorHumidity, "88 %"},
        {C::kPressure, "29.92 inHg"},        {C::kWindSpeed, "6.2 mph"},
        {C::kWindGust, "12.7 mph"},          {C::kDailyRain, "1.00 in"},
        {C::kRainRate, "0.05 in/h"},         {C::kUvIndex, "3"},
        {C::kChannelTemperature, "64.7 °F"}, {C::kChannelHumidity, "51 %"},
        {C::kWindDirection, "191 °"}};
    for (const auto& [area, text] : shown) {
      QCOMPARE(Shown(dashboard, area), QString::fromUtf8(text));
    }
    QCOMPARE(dashboard.ShownReading(C::kWindDirection).dialNumber, 10);

    // A change in the setup panel shows at the next paint: the other pressure, the point name.
    program.units = UnitSettings{};
    program.units.pressureType = PressureType::Absolute;
    QCOMPARE(Shown(dashboard, C::kPressure), QStringLiteral("1009.0 hPa"));
    QCOMPARE(Shown(dashboard, C::kWindDirection), QStringLiteral("SSW"));
  }

  void RemovalShowsPlaceholdersAndArrivalReadsAgain() {
    ProgramFixture fixture(QuietConsole());
    MainWindow& window = fixture.Open();
    DashboardPanel& dashboard = window.Dashboard();
    Program& program = fixture.Prog();
    QVERIFY(LiveDataArrived(program));
    program.state.downloadActive = true;

    fixture.Console()->Unplug();
    fixture.PollDeviceChanges();
    QVERIFY(!program.state.downloadActive);
    const std::pair<C, const char*> placeholders[] = {
        {C::kIndoorTemperature, "--.- °C"}, {C::kChannelTemperature, "--.- °C"},
        {C::kDailyRain, "-.- mm"},          {C::kPressure, "-- hPa"},
        {C::kWindSpeed, "-- km/h"},         {C::kUvIndex, "--"},
        {C::kWindDirection, "--"}};
    for (const auto& [area, text] : placeholders) {
      QCOMPARE(Shown(dashboard, area), QString::fromUtf8(text));
    }
    QCOMPARE(dashboard.ShownReading(C::kWindDirection).dialNumber, 0);
    QCOMPARE(window.StatusBar().ConnectionText(), QStringLiteral("No connection"));
    QVERIFY(!window.StatusBar().LoggerText().contains(QStringLiteral("57")));
    // A live text the reader handed over just before the removal comes too late to be shown.
    dashboard.LiveMessage(Record(kLiveLine));
    QCOMPARE(Shown(dashboard, C::kIndoorTemperature), QStringLiteral("--.- °C"));

    fixture.Console()->Plug();
    fixture.PollDeviceChanges();
    QCOMPARE(window.StatusBar().ConnectionText(), QStringLiteral("USB connected"));
    QTRY_COMPARE_WITH_TIMEOUT(Shown(dashboard, C::kIndoorTemperature), QStringLiteral("23.5 °C"),
                              10000);
  }

  // The console also asks for the time at connection and is given the PC's clock.
  void ChannelArrowsStepFromOneToSevenAndStop() {
    ConsoleOptions options = QuietConsole();
    options.clock = LocalDateTime{2001, 2, 3, 4, 5, 6};
    ProgramFixture fixture(options);
    DashboardPanel& dashboard = fixture.Open().Dashboard();
    QVERIFY(LiveDataArrived(fixture.Prog()));
    auto* previous = dashboard.findChild<QLabel*>(QStringLiteral("previousChannel"));
    auto* next = dashboard.findChild<QLabel*>(QStringLiteral("nextChannel"));
    // Channel n holds 18.0 + 0.2 n degrees and 50 + n percent.
    const struct {
      QLabel* arrow;
      int clicks, channel;
      const char* temperature;
    } steps[] = {{previous, 1, 1, "18.2 °C"},
                 {next, 1, 2, "18.4 °C"},
                 {next, 8, 7, "19.4 °C"},
                 {previous, 1, 6, "19.2 °C"}};
    for (const auto& step : steps) {
      for (int i = 0; i < step.clicks; ++i) {
        QTest::mouseClick(step.arrow, Qt::LeftButton);
      }
      QCOMPARE(dashboard.SelectedChannel(), step.channel);
      QCOMPARE(dashboard.CaptionText(C::kChannelHeader), QStringLiteral("CH %1").arg(step.channel));
      QCOMPARE(Shown(dashboard, C::kChannelTemperature), QString::fromUtf8(step.temperature));
      QCOMPARE(Shown(dashboard, C::kChannelHumidity),
               QStringLiteral("%1 %").arg(50 + step.channel));
    }
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

  // The boxes belong to the main window, shown or hidden dashboard alike; the refresh button's
  // own box to the dashboard. A finished export renews the stamp, a placeholder until then.
  void ExportResultsNoticesAndALongLiveText() {
    ProgramFixture fixture(std::nullopt);
    MainWindow& window = fixture.Open();
    DashboardPanel& dashboard = window.Dashboard();
    window.ShowPanel(2);
    QCOMPARE(dashboard.StampText(), QStringLiteral("--/ --/ ----, --:--"));
    dashboard.SetClock([] { return LocalDateTime{2024, 6, 1, 9, 15, 0}; });
    dashboard.ExportFinished(kExportEnded);
    QVERIFY(fixture.boxes.boxes.empty());
    QCOMPARE(dashboard.StampText(), QStringLiteral("06/ 01/ 2024, 09:15 AM"));

    dashboard.ExportFinished(kExportFailed);
    QVERIFY(fixture.Prog().state.downloadCancelled);
    dashboard.NoHistory();
    QTest::mouseClick(dashboard.findChild<QWidget*>(QStringLiteral("refreshButton")),
                      Qt::LeftButton);
    const struct {
      const char* text;
      const char* caption;
      QWidget* owner;
    } expected[] = {{"write file failed !", "Error", &window},
                    {"Not history data NOW!", "Note", &window},
                    {"the Usb Device is not ready!", "Error", &dashboard}};
    QCOMPARE(fixture.boxes.boxes.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
      QCOMPARE(fixture.boxes.boxes[i].text, QString::fromLatin1(expected[i].text));
      QCOMPARE(fixture.boxes.boxes[i].caption, QString::fromLatin1(expected[i].caption));
      QVERIFY(fixture.boxes.boxes[i].owner == expected[i].owner);
    }

    // A live text is read up to its first 255 bytes only: here a long logger field, the date and
    // the time fill them, and the rest of the record, without any zero byte, is ignored.
    fixture.Prog().state.linkConnected = true;  // as while a console is connected
    const std::string head = std::string(240, '5') + " 2024-5-6 12:30";
    HistoryRecord record{};
    record.fill('7');
    std::copy(head.begin(), head.end(), record.begin());
    const std::string tail = " 23.5 45 -5.3 88 25.4 1.2 10 20.5 191 SSW 1013.2 1009.0 3";
    std::copy(tail.begin(), tail.end(), record.begin() + static_cast<std::ptrdiff_t>(head.size()));
    dashboard.LiveMessage(record);
    QCOMPARE(fixture.Prog().readings[kFieldTime].View(), std::u16string_view(u"12:30"));
    QCOMPARE(Shown(dashboard, C::kIndoorTemperature), QStringLiteral("--.- °C"));
    // Pressure, wind speed and UV index draw nothing at all for a field the text did not reach.
    for (const C area : {C::kPressure, C::kWindSpeed, C::kUvIndex}) {
      QCOMPARE(Shown(dashboard, area), QString());
    }
    QVERIFY(window.StatusBar().LoggerText().contains(QString(31, '5')));
  }

  // History that cannot be exported is told once, in a box of the main window: the console has
  // none, or it ended the download early (its last record given up, then live data).
  void HistoryThatCannotBeExportedIsToldOnce() {
    const struct {
      const char* faults;
      QString text, caption;
    } cases[] = {{"no-history", QStringLiteral("Not history data NOW!"), QStringLiteral("Note")},
                 {"bad-crc=4:10",
                  QStringLiteral("The console ended the download early: 3 of 4 records arrived. "
                                 "No file was written; please export again."),
                  QStringLiteral("Error")}};
    for (const auto& c : cases) {
      ConsoleOptions options = QuietConsole();
      options.historyRecords = 4;
      QCOMPARE(ParseConsoleFaults(c.faults, options.faults), std::string());
      ProgramFixture fixture(options);
      MainWindow& window = fixture.Open();
      Program& program = fixture.Prog();
      QVERIFY(LiveDataArrived(program));
      QTemporaryDir folder;
      program.state.SetExportFileName((folder.path() + QStringLiteral("/log.csv")).toStdString());
      PrepareHistoryDownload(program.state, program.store);
      QVERIFY(SendCommand(program.device, program.state, CMD_HISTORY));
      QTRY_VERIFY_WITH_TIMEOUT(!fixture.boxes.boxes.empty() || program.store.Slot(2)[0] != 0,
                               10000);
      for (int refresh = 0; refresh < 2; ++refresh) {
        SetNoDataPlaceholders(program.readings);
        QVERIFY(SendCommand(program.device, program.state, CMD_REFRESH));
        QVERIFY(LiveDataArrived(program));
      }
      QTRY_COMPARE(fixture.boxes.boxes.size(), std::size_t{1});
      QCOMPARE(fixture.boxes.boxes[0].text, c.text);
      QCOMPARE(fixture.boxes.boxes[0].caption, c.caption);
      QVERIFY(fixture.boxes.boxes[0].owner == &window);
      QVERIFY(window.StatusBar().ProgressText().isEmpty() && !window.StatusBar().CancelShown());
      QVERIFY(!program.state.downloadActive);
    }
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
