// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/commands.h"
#include "tests/ui/ui_fixture.h"

namespace nimbrel::ui::testing {

namespace {

using C = DashboardControl;
constexpr auto Box = &RecordingMessageBoxes::Box;

// "value unit" as the panel draws the area; empty when it draws nothing.
QString Shown(const DashboardPanel& dashboard, C area) {
  const FormattedReading shown = dashboard.ShownReading(area);
  const std::u16string unit = shown.suffix.empty() ? u"" : u" " + std::u16string(shown.suffix);
  return shown.drawn ? QString::fromStdU16String(shown.value + unit) : QString();
}

}  // namespace

class DashboardTest : public QObject {
  Q_OBJECT

 private slots:
  // One run: the live values in the chosen units, a unit change, the channel arrows, then the
  // console's removal and return. The console also asks for the time and is given the PC's clock.
  void ShowsTheLiveValuesAndFollowsTheConsole() {
    ConsoleOptions options = QuietConsole();
    options.clock = LocalDateTime{2001, 2, 3, 4, 5, 6};
    ProgramFixture fixture(options);
    MainWindow& window = fixture.Open();
    DashboardPanel& dashboard = window.Dashboard();
    Program& program = fixture.Prog();
    program.units = {TemperatureUnit::Fahrenheit, RainUnit::Inch,
                     PressureUnit::InHg,          WindSpeedUnit::Mph,
                     PressureType::Relative,      WindDirectionFormat::Degrees360};
    QTRY_VERIFY_WITH_TIMEOUT(program.readings[kFieldIndoorTemperature].View() == u"23.5", 10000);
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
    // A change in the setup panel shows at the next paint: the other pressure, the point name.
    program.units = UnitSettings{};
    program.units.pressureType = PressureType::Absolute;
    QCOMPARE(Shown(dashboard, C::kPressure), "1009.0 hPa");
    QCOMPARE(Shown(dashboard, C::kWindDirection), "SSW");

    // The arrows step from channel 1 to 7 and stop there; channel n holds 18.0 + 0.2 n degrees.
    int channel = 1;
    for (const QChar arrow : QStringLiteral("<>>>>>>>>><")) {
      QTest::mouseClick(Find<QLabel>(dashboard, arrow == '>' ? "nextChannel" : "previousChannel"),
                        Qt::LeftButton);
      channel = std::clamp(channel + (arrow == '>' ? 1 : -1), 1, 7);
      QCOMPARE(dashboard.CaptionText(C::kChannelHeader), QStringLiteral("CH %1").arg(channel));
      QCOMPARE(Shown(dashboard, C::kChannelTemperature) + Shown(dashboard, C::kChannelHumidity),
               QStringLiteral("%1 °C%2 %").arg(18.0 + 0.2 * channel, 0, 'f', 1).arg(50 + channel));
    }
    QTRY_VERIFY_WITH_TIMEOUT(fixture.Console()->ConsoleDateTime().year == LocalNow().year, 10000);

    // The removal ends a download and shows placeholders; a live text the reader handed over
    // just before it comes too late to be shown.
    program.state.downloadActive = true;
    window.StatusBar().HistoryStart(2);
    window.StatusBar().HistoryProgress(1);
    fixture.Console()->Unplug();
    fixture.PollDeviceChanges();
    QVERIFY(!program.state.linkConnected && program.state.downloadCancelled &&
            !program.state.downloadActive);
    QStringList placeholders;
    for (const C area : {C::kIndoorTemperature, C::kChannelTemperature, C::kDailyRain, C::kPressure,
                         C::kWindSpeed, C::kUvIndex, C::kWindDirection}) {
      placeholders << Shown(dashboard, area);
    }
    QCOMPARE(placeholders,
             (QStringList{"--.- °C", "--.- °C", "-.- mm", "-- hPa", "-- km/h", "--", "--"}));
    QVERIFY(window.StatusBar().ProgressText().isEmpty() && !window.StatusBar().CancelShown());
    QCOMPARE(window.StatusBar().LoggerText(), "--%");
    HistoryRecord late{};
    std::string_view(kLiveLine).copy(late.data(), late.size() - 1);
    dashboard.LiveMessage(late);
    QCOMPARE(Shown(dashboard, C::kIndoorTemperature), "--.- °C");

    fixture.Console()->Plug();
    fixture.PollDeviceChanges();
    QVERIFY(program.reader.Running());
    QTRY_COMPARE_WITH_TIMEOUT(Shown(dashboard, C::kIndoorTemperature), "23.5 °C", 10000);
  }

  // Without a console: the saved stamp, then stamps on the 24-hour clock with AM or PM, each
  // stored. The boxes belong to the main window, the refresh button's own box to the dashboard.
  void StampsNoticesAndAShortLiveText() {
    ProgramFixture fixture(std::nullopt);
    fixture.Settings().WriteStamp(u"01/ 02/ 2023, 08:00 AM");
    MainWindow& window = fixture.Open();
    DashboardPanel& dashboard = window.Dashboard();
    window.ShowPanel(2);
    QCOMPARE(dashboard.StampText(), "01/ 02/ 2023, 08:00 AM");
    const std::pair<LocalDateTime, std::u16string> cases[] = {
        {{2024, 3, 7, 12, 30, 0}, u"03/ 07/ 2024, 12:30 PM"},
        {{2024, 12, 31, 0, 5, 59}, u"12/ 31/ 2024, 00:05 AM"},
        {{2025, 10, 18, 23, 1, 0}, u"10/ 18/ 2025, 23:01 PM"}};
    for (const auto& [time, stamp] : cases) {
      dashboard.SetClock([time] { return time; });
      // A finished export renews the stamp as reading it does.
      &stamp == &cases[0].second ? dashboard.ExportFinished(kExportEnded) : dashboard.ReadStamp();
      QCOMPARE(dashboard.StampText(), QString::fromStdU16String(stamp));
      QCOMPARE(fixture.Settings().ReadStamp(), stamp);
    }

    dashboard.ExportFinished(kExportFailed);
    QVERIFY(fixture.Prog().state.downloadCancelled);
    dashboard.NoHistory();
    QTest::mouseClick(Find<QWidget>(dashboard, "refreshButton"), Qt::LeftButton);
    QCOMPARE(fixture.boxes.boxes,
             (QStringList{Box(&window, "write file failed !", "Error", {}),
                          Box(&window, "Not history data NOW!", "Note", {}),
                          Box(&dashboard, "the Usb Device is not ready!", "Error", {})}));

    // Pressure, wind speed and UV index draw nothing at all for a field the text did not reach.
    fixture.Prog().state.linkConnected = true;  // as while a console is connected
    HistoryRecord record{};
    std::string_view("57 2024-5-6 12:30 23.5").copy(record.data(), record.size());
    dashboard.LiveMessage(record);
    QCOMPARE(Shown(dashboard, C::kIndoorTemperature), "23.5 °C");
    for (const C area : {C::kPressure, C::kWindSpeed, C::kUvIndex}) {
      QCOMPARE(Shown(dashboard, area), QString());
    }
  }

  // On a console that says nothing, so that only the test drives the strip: the percentage is
  // truncated, in the current language; cancel sends one CMD_CANCEL and silences the progress
  // still on its way. Then the logger level and the connection follow the link.
  void FollowsTheDownloadAndTheLink() {
    nimbrel::testing::FakeTransport console;
    ProgramFixture fixture(ScriptedConsole{&console});
    MainWindow& window = fixture.Open();
    Program& program = fixture.Prog();
    StatusBarPanel& status = window.StatusBar();
    // The greeting: CMD_CANCEL, then CMD_REFRESH a moment later.
    QTRY_COMPARE_WITH_TIMEOUT(console.Written().size(), std::size_t{2}, 5000);
    QVERIFY(console.Written().back() == CMD_REFRESH);
    status.HistoryStart(3);
    QVERIFY(status.CancelShown());
    status.HistoryProgress(2);
    QCOMPARE(status.ProgressText(), "Exporting 66% ....");
    program.language = LanguageIndex::kGerman;
    status.HistoryProgress(3);
    QCOMPARE(status.ProgressText(), "Exportieren 100% ....");
    program.state.archiveOnly = true;
    status.HistoryProgress(3);
    QCOMPARE(status.ProgressText(), "Herunterladen 100% ....");
    program.state.archiveOnly = false;
    status.ProgressClear();
    QVERIFY(!status.CancelShown() && status.ProgressText().isEmpty());

    program.language = LanguageIndex::kEnglish;
    program.state.downloadActive = true;
    status.HistoryStart(10);
    status.HistoryProgress(4);
    QTest::mouseClick(Find<QWidget>(status, "cancelButton"), Qt::LeftButton);
    QCOMPARE(console.Written().size(), std::size_t{3});
    QVERIFY(console.Written().back() == CMD_CANCEL);
    QVERIFY(!status.CancelShown());
    QVERIFY(program.state.downloadCancelled && !program.state.downloadActive);
    status.HistoryProgress(5);
    QVERIFY(status.ProgressText().isEmpty());

    // Only the first 32 characters of a logger value are kept.
    status.SetLoggerText(QString(40, QLatin1Char('9')));
    QCOMPARE(status.LoggerText(), QString(32, QLatin1Char('9')) + QLatin1Char('%'));
    // The connection's text and picture follow the link.
    auto* icon = Find<QLabel>(status, "connectionIcon");
    const QImage connectedPicture = icon->pixmap().toImage();
    window.LinkState(LinkStateSink::kGone);
    QCOMPARE(status.ConnectionText(), "No connection");
    QVERIFY(icon->pixmap().toImage() != connectedPicture);
    window.LinkState(LinkStateSink::kConnected);
    QCOMPARE(status.ConnectionText(), "USB connected");
    QCOMPARE(icon->pixmap().toImage(), connectedPicture);
  }
};

}  // namespace nimbrel::ui::testing

QTEST_MAIN(nimbrel::ui::testing::DashboardTest)
#include "dashboard_test.moc"
