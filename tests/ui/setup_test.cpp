#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "simulator/weather_model.h"
#include "tests/ui/ui_fixture.h"
#include "tests/upload/local_http_server.h"
#include "ui/dashboard_layout.h"
#include "ui/dashboard_panel.h"
#include "ui/header_bar_panel.h"
#include "ui/setup_panel.h"
#include "ui/status_bar_panel.h"

namespace nimbrel::ui::testing {

namespace {

using Icon = MessageBoxes::Icon;

// The simulated console without its upload texts, so no test ever talks to a real server.
ConsoleOptions QuietConsole() {
  ConsoleOptions options;
  options.periods.wu = std::chrono::seconds(0);
  options.periods.weathercloud = std::chrono::seconds(0);
  return options;
}

template <typename Widget>
Widget* Find(SetupPanel& panel, const char* name) {
  auto* widget = panel.findChild<Widget*>(QString::fromLatin1(name));
  if (widget == nullptr) {
    qFatal("the setup panel has no %s", name);
  }
  return widget;
}

QString ShownText(SetupPanel& panel, const char* name) {
  return Find<QLabel>(panel, name)->text();
}

bool Shown(SetupPanel& panel, const char* name) {
  return Find<QWidget>(panel, name)->isVisibleTo(&panel);
}

void TypeStation(SetupPanel& panel, const QString& id, const QString& key) {
  Find<QLineEdit>(panel, "stationId")->setText(id);
  Find<QLineEdit>(panel, "stationKey")->setText(key);
}

void ChooseService(SetupPanel& panel, ServerIndex service) {
  Find<QComboBox>(panel, "serviceList")->setCurrentIndex(static_cast<int>(service));
}

void SetDates(SetupPanel& panel, const QStringList& dates) {
  const char* names[] = {"startYear", "startMonth", "startDay", "endYear", "endMonth", "endDay"};
  for (int box = 0; box < 6; ++box) {
    Find<QLineEdit>(panel, names[box])->setText(dates.value(box));
  }
}

void PressExport(SetupPanel& panel) {
  QTest::mouseClick(Find<QWidget>(panel, "export"), Qt::LeftButton);
}

QString DateText(const LocalDateTime& when) {
  return QStringLiteral("%1-%2-%3").arg(when.year).arg(when.month).arg(when.day);
}

// Whether `text` fits the width of `widget` less `mark` pixels (a check box's square).
bool TextFits(const QWidget& widget, const QString& text, int mark) {
  return QFontMetrics(widget.font()).horizontalAdvance(text) + mark <= widget.width();
}

QByteArray FileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class SetupTest : public QObject {
  Q_OBJECT

 private slots:
  void FirstStartShowsTheDefaults() {
    ProgramFixture fixture(std::nullopt);
    SetupPanel& panel = fixture.Open().Setup();

    const std::pair<const char*, QString> lists[] = {
        {"temperatureList", QStringLiteral("\u00B0C")},
        {"rainList", QStringLiteral("mm")},
        {"pressureList", QStringLiteral("hPa")},
        {"windSpeedList", QStringLiteral("km/h")},
        {"pressureTypeList", QStringLiteral("Rel")},
        {"windDirectionList", QStringLiteral("16")},
        {"serviceList", QStringLiteral("Weather Underground")}};
    for (const auto& [name, shown] : lists) {
      QCOMPARE(Find<QComboBox>(panel, name)->currentText(), shown);
    }
    QCOMPARE(Find<QComboBox>(panel, "windDirectionList")->itemText(1), QStringLiteral("360\u00B0"));
    QCOMPARE(ShownText(panel, "stationIdLabel"), QStringLiteral("Station ID"));
    QCOMPARE(ShownText(panel, "stationKeyLabel"), QStringLiteral("Station key"));
    QVERIFY(!ShownText(panel, "version").isEmpty());
    // "&&" of the pack shows as one "&".
    QCOMPARE(Find<QCheckBox>(panel, "dataSet1")->text(),
             QStringLiteral("Indoor temperature && humidity"));
    QCOMPARE(ShownText(panel, "channelRowLabel"),
             QStringLiteral("Outdoor channel temperature & humidity"));
    QCOMPARE(Find<QCheckBox>(panel, "dataSet14")->text(), QStringLiteral("CH7"));
    QVERIFY(Find<QLineEdit>(panel, "stationId")->text().isEmpty());
    QVERIFY(!Find<QCheckBox>(panel, "autoUpload")->isChecked());
    QVERIFY(!Shown(panel, "uploadText"));
    QVERIFY(!Shown(panel, "uploadIcon"));
  }

  void StartsFromTheSavedChoicesAndSavesTheUnitsAtTheEnd() {
    ProgramFixture fixture(std::nullopt);
    UnitSettings saved;
    saved.temperatureUnit = TemperatureUnit::Fahrenheit;
    saved.pressureUnit = PressureUnit::InHg;
    saved.windSpeedUnit = WindSpeedUnit::Knots;
    saved.windDirectionFormat = WindDirectionFormat::Degrees360;
    fixture.Settings().WriteUnitSettings(saved);
    fixture.Settings().WriteLanguageAndService({0, ServerIndex::Weathercloud});
    fixture.Settings().WriteStationIdAndKey(ServerIndex::Weathercloud, {u"wc-id", u"wc-key"});
    MainWindow& window = fixture.Open();
    SetupPanel& panel = window.Setup();

    QCOMPARE(Find<QComboBox>(panel, "temperatureList")->currentText(), QStringLiteral("\u00B0F"));
    QCOMPARE(Find<QComboBox>(panel, "pressureList")->currentText(), QStringLiteral("inHg"));
    QCOMPARE(Find<QComboBox>(panel, "windSpeedList")->currentText(), QStringLiteral("knots"));
    QCOMPARE(Find<QComboBox>(panel, "windDirectionList")->currentIndex(), 1);
    QCOMPARE(Find<QComboBox>(panel, "serviceList")->currentText(), QStringLiteral("Weathercloud"));
    QCOMPARE(ShownText(panel, "stationIdLabel"), QStringLiteral("ID"));
    QCOMPARE(ShownText(panel, "stationKeyLabel"), QStringLiteral("Key"));
    QCOMPARE(Find<QLineEdit>(panel, "stationId")->text(), QStringLiteral("wc-id"));
    QCOMPARE(Find<QLineEdit>(panel, "stationKey")->text(), QStringLiteral("wc-key"));

    // A change applies at once and is stored at shutdown.
    QSignalSpy changed(&panel, &SetupPanel::UnitsChanged);
    Find<QComboBox>(panel, "rainList")->setCurrentIndex(1);
    Find<QComboBox>(panel, "pressureTypeList")->setCurrentIndex(0);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(fixture.Prog().units.rainUnit, RainUnit::Inch);
    QCOMPARE(fixture.Prog().units.pressureType, PressureType::Absolute);
    window.Shutdown();
    saved.rainUnit = RainUnit::Inch;
    saved.pressureType = PressureType::Absolute;
    QCOMPARE(fixture.Settings().ReadUnitSettings(), saved);
  }

  void PressureTypeNamesTheDashboardCaptionInTheLanguage() {
    ProgramFixture fixture(std::nullopt);
    fixture.Settings().WriteLanguageAndService({1, ServerIndex::WeatherUnderground});
    MainWindow& window = fixture.Open();
    Find<QComboBox>(window.Setup(), "pressureTypeList")->setCurrentIndex(0);
    QCOMPARE(window.Dashboard().CaptionText(DashboardControl::kPressureLabel),
             QStringLiteral("Absoluter Luftdruck"));
    Find<QComboBox>(window.Setup(), "pressureTypeList")->setCurrentIndex(1);
    QCOMPARE(window.Dashboard().CaptionText(DashboardControl::kPressureLabel),
             QStringLiteral("Relativer Luftdruck"));
  }

  void AutoUploadNeedsAnIdAndAKey() {
    ProgramFixture fixture(QuietConsole());
    SetupPanel& panel = fixture.Open().Setup();
    auto* autoUpload = Find<QCheckBox>(panel, "autoUpload");

    TypeStation(panel, QStringLiteral("KSTATION1"), QString());
    autoUpload->click();
    QVERIFY(!autoUpload->isChecked());
    QVERIFY(!fixture.Prog().servers.Selected().autoUpload);
    QVERIFY(!panel.UploadCheckRunning(ServerIndex::WeatherUnderground));
    QVERIFY(Find<QLineEdit>(panel, "stationId")->isEnabled());
    QVERIFY(fixture.Settings().ReadStationIdAndKey(ServerIndex::WeatherUnderground).id.empty());

    // What is typed is what is kept: 63 characters.
    Find<QLineEdit>(panel, "stationKey")->clear();
    QTest::keyClicks(Find<QLineEdit>(panel, "stationKey"), QString(70, QLatin1Char('k')));
    QCOMPARE(Find<QLineEdit>(panel, "stationKey")->text().size(), 63);

    autoUpload->click();
    QVERIFY(autoUpload->isChecked());
    QVERIFY(fixture.Prog().servers.Selected().autoUpload);
    QVERIFY(panel.UploadCheckRunning(ServerIndex::WeatherUnderground));
    QVERIFY(!Find<QLineEdit>(panel, "stationId")->isEnabled());
    QVERIFY(!Find<QLineEdit>(panel, "stationKey")->isEnabled());
    const StationIdAndKey stored =
        fixture.Settings().ReadStationIdAndKey(ServerIndex::WeatherUnderground);
    QCOMPARE(stored.id, std::u16string(u"KSTATION1"));
    QCOMPARE(stored.key, std::u16string(63, u'k'));

    autoUpload->click();
    QVERIFY(!fixture.Prog().servers.Selected().autoUpload);
    QVERIFY(!panel.UploadCheckRunning(ServerIndex::WeatherUnderground));
    QVERIFY(Find<QLineEdit>(panel, "stationId")->isEnabled());
  }

  void AutoUploadWithoutAConsoleStartsNoTimer() {
    ProgramFixture fixture(std::nullopt);
    SetupPanel& panel = fixture.Open().Setup();
    TypeStation(panel, QStringLiteral("id"), QStringLiteral("key"));
    Find<QCheckBox>(panel, "autoUpload")->click();
    QVERIFY(fixture.Prog().servers.Selected().autoUpload);
    QVERIFY(!Find<QLineEdit>(panel, "stationKey")->isEnabled());
    QVERIFY(!panel.UploadCheckRunning(ServerIndex::WeatherUnderground));
    // An acknowledgement still shows, once; the check is ignored without a console.
    panel.UploadAckWu();
    QCOMPARE(panel.IndicatorShown(), UploadStatus::Confirmed);
    panel.UploadCheck(ServerIndex::WeatherUnderground);
    QCOMPARE(fixture.Prog().servers.Selected().successCount, 1);
  }

  void ServicesAreIndependent() {
    ProgramFixture fixture(QuietConsole());
    fixture.Settings().WriteStationIdAndKey(ServerIndex::Weathercloud, {u"cloud", u"secret"});
    SetupPanel& panel = fixture.Open().Setup();
    auto* autoUpload = Find<QCheckBox>(panel, "autoUpload");
    TypeStation(panel, QStringLiteral("wu-id"), QStringLiteral("wu-key"));
    autoUpload->click();
    panel.UploadAckWu();

    ChooseService(panel, ServerIndex::Weathercloud);
    QCOMPARE(fixture.Prog().servers.serverIndex, ServerIndex::Weathercloud);
    QVERIFY(!autoUpload->isChecked());
    QVERIFY(Find<QLineEdit>(panel, "stationId")->isEnabled());
    QCOMPARE(Find<QLineEdit>(panel, "stationId")->text(), QStringLiteral("cloud"));
    QCOMPARE(Find<QLineEdit>(panel, "stationKey")->text(), QStringLiteral("secret"));
    QCOMPARE(ShownText(panel, "stationIdLabel"), QStringLiteral("ID"));
    QCOMPARE(panel.IndicatorShown(), UploadStatus::Hidden);
    QVERIFY(panel.UploadCheckRunning(ServerIndex::WeatherUnderground));
    // The uploads take the boxes for the shown service and the stored texts for the other.
    QCOMPARE(panel.InForce(ServerIndex::WeatherUnderground),
             (StationIdAndKey{u"wu-id", u"wu-key"}));
    Find<QLineEdit>(panel, "stationKey")->setText(QStringLiteral("typed"));
    QCOMPARE(panel.InForce(ServerIndex::Weathercloud), (StationIdAndKey{u"cloud", u"typed"}));

    // Acknowledgements of the service not shown are counted without showing.
    panel.UploadAckWu();
    QCOMPARE(fixture.Prog().servers.Service(ServerIndex::WeatherUnderground).successCount, 2);
    QCOMPARE(panel.IndicatorShown(), UploadStatus::Hidden);

    ChooseService(panel, ServerIndex::WeatherUnderground);
    QVERIFY(autoUpload->isChecked());
    QVERIFY(!Find<QLineEdit>(panel, "stationId")->isEnabled());
    QCOMPARE(Find<QLineEdit>(panel, "stationId")->text(), QStringLiteral("wu-id"));
    QCOMPARE(ShownText(panel, "stationIdLabel"), QStringLiteral("Station ID"));
    QCOMPARE(panel.IndicatorShown(), UploadStatus::Confirmed);
    QCOMPARE(ShownText(panel, "uploadText"), QStringLiteral("UPLOAD"));
  }

  void IndicatorFollowsAcknowledgementsAndChecks() {
    ProgramFixture fixture(QuietConsole());
    SetupPanel& panel = fixture.Open().Setup();
    ServiceSettings& wu = fixture.Prog().servers.Service(ServerIndex::WeatherUnderground);
    TypeStation(panel, QStringLiteral("id"), QStringLiteral("key"));
    Find<QCheckBox>(panel, "autoUpload")->click();
    QCOMPARE(panel.IndicatorShown(), UploadStatus::Hidden);

    panel.UploadAckWu();
    QCOMPARE(panel.IndicatorShown(), UploadStatus::Confirmed);
    QVERIFY(Shown(panel, "uploadText"));
    QVERIFY(Shown(panel, "uploadIcon"));
    QVERIFY(!Find<QLabel>(panel, "uploadIcon")->pixmap().isNull());
    QCOMPARE(ShownText(panel, "uploadText"), QStringLiteral("UPLOAD"));
    panel.UploadAckWu();
    panel.UploadAckWu();
    QCOMPARE(wu.successCount, 3);

    panel.UploadCheck(ServerIndex::WeatherUnderground);  // the period had acknowledgements
    QCOMPARE(panel.IndicatorShown(), UploadStatus::Confirmed);
    QCOMPARE(wu.successCount, 0);
    panel.UploadCheck(ServerIndex::WeatherUnderground);  // this one had none
    QCOMPARE(panel.IndicatorShown(), UploadStatus::Failed);
    QCOMPARE(ShownText(panel, "uploadText"), QStringLiteral("FAIL"));
    QVERIFY(Shown(panel, "uploadIcon"));

    // The indicator speaks the current language.
    fixture.Prog().language = LanguageIndex::kGerman;
    panel.Relabel();
    QCOMPARE(ShownText(panel, "uploadText"), QStringLiteral("FEHLGESCHLAGEN"));
    panel.UploadAckWu();
    QCOMPARE(ShownText(panel, "uploadText"), QStringLiteral("UPLOAD"));

    // The other service's check fails on its own, without touching what is shown.
    panel.UploadCheck(ServerIndex::Weathercloud);
    QCOMPARE(fixture.Prog().servers.Service(ServerIndex::Weathercloud).uploadStatus,
             UploadStatus::Failed);
    QCOMPARE(panel.IndicatorShown(), UploadStatus::Confirmed);
  }

  void TheTimerRunsTheCheck() {
    ProgramFixture fixture(QuietConsole());
    SetupPanel& panel = fixture.Open().Setup();
    TypeStation(panel, QStringLiteral("id"), QStringLiteral("key"));
    Find<QCheckBox>(panel, "autoUpload")->click();
    // The period is ten minutes; the test shortens the running timer rather than wait.
    auto timers = panel.findChildren<QTimer*>();
    QTimer* running = nullptr;
    for (QTimer* timer : timers) {
      if (timer->isActive() && timer->interval() == SetupPanel::kUploadCheckPeriodMs) {
        running = timer;
      }
    }
    QVERIFY(running != nullptr);
    running->start(10);
    QTRY_COMPARE(panel.IndicatorShown(), UploadStatus::Failed);
  }

  // Both services at once, through the dashboard and the upload worker to a local server.
  void UploadsOfBothServicesShowOnTheIndicator() {
    nimbrel::testing::LocalHttpServer server;
    ConsoleOptions options;
    options.periods.wu = std::chrono::seconds(1);
    options.periods.weathercloud = std::chrono::seconds(1);
    ProgramFixture fixture(options);
    SetupPanel& panel = fixture.Open().Setup();
    const UploadEndpoint local{"127.0.0.1", server.Port()};
    fixture.Prog().endpoints = UploadEndpoints{local, local};

    TypeStation(panel, QStringLiteral("KWUSTATION"), QStringLiteral("wukey"));
    Find<QCheckBox>(panel, "autoUpload")->click();
    ChooseService(panel, ServerIndex::Weathercloud);
    TypeStation(panel, QStringLiteral("cloudstation"), QStringLiteral("cloudkey"));
    Find<QCheckBox>(panel, "autoUpload")->click();

    const ServerSettings& servers = fixture.Prog().servers;
    QTRY_COMPARE_WITH_TIMEOUT(servers.Service(ServerIndex::Weathercloud).uploadStatus,
                              UploadStatus::Confirmed, 15000);
    QCOMPARE(panel.IndicatorShown(), UploadStatus::Confirmed);
    QTRY_COMPARE_WITH_TIMEOUT(servers.Service(ServerIndex::WeatherUnderground).uploadStatus,
                              UploadStatus::Confirmed, 15000);
    bool wu = false, weathercloud = false;
    for (const std::string& request : server.WaitForRequests(2, std::chrono::milliseconds(0))) {
      wu = wu || request.find("KWUSTATION") != std::string::npos;
      weathercloud = weathercloud || request.find("cloudstation") != std::string::npos;
    }
    QVERIFY(wu);
    QVERIFY(weathercloud);
  }

  void ConsoleGoneResetsTheUploads() {
    ProgramFixture fixture(QuietConsole());
    SetupPanel& panel = fixture.Open().Setup();
    fixture.Settings().WriteStationIdAndKey(ServerIndex::Weathercloud, {u"cloud", u"secret"});
    ChooseService(panel, ServerIndex::Weathercloud);
    Find<QCheckBox>(panel, "autoUpload")->click();
    ChooseService(panel, ServerIndex::WeatherUnderground);
    TypeStation(panel, QStringLiteral("id"), QStringLiteral("key"));
    Find<QCheckBox>(panel, "autoUpload")->click();
    panel.UploadAckWu();
    QVERIFY(panel.UploadCheckRunning(ServerIndex::Weathercloud));

    fixture.Console()->Unplug();
    fixture.PollDeviceChanges();
    QVERIFY(!fixture.Prog().state.linkConnected);
    QVERIFY(!Find<QCheckBox>(panel, "autoUpload")->isChecked());
    QCOMPARE(panel.IndicatorShown(), UploadStatus::Hidden);
    QVERIFY(!Shown(panel, "uploadText"));
    for (const ServerIndex service : {ServerIndex::WeatherUnderground, ServerIndex::Weathercloud}) {
      const ServiceSettings& settings = fixture.Prog().servers.Service(service);
      QVERIFY(!panel.UploadCheckRunning(service));
      QVERIFY(!settings.autoUpload);
      QCOMPARE(settings.successCount, 0);
      QCOMPARE(settings.uploadStatus, UploadStatus::Hidden);
    }
    // The boxes can be edited again.
    QVERIFY(Find<QLineEdit>(panel, "stationId")->isEnabled());
    QVERIFY(Find<QLineEdit>(panel, "stationKey")->isEnabled());

    // Coming back does not start any upload by itself.
    fixture.Console()->Plug();
    fixture.PollDeviceChanges();
    QVERIFY(fixture.Prog().state.linkConnected);
    QVERIFY(!panel.UploadCheckRunning(ServerIndex::WeatherUnderground));
  }

  void DateBoxesTakeDigitsOnly() {
    ProgramFixture fixture(std::nullopt);
    SetupPanel& panel = fixture.Open().Setup();
    auto* year = Find<QLineEdit>(panel, "startYear");
    QTest::keyClicks(year, QStringLiteral("2a0-1 8 9"));
    QCOMPARE(year->text(), QStringLiteral("2018"));
    auto* day = Find<QLineEdit>(panel, "endDay");
    QTest::keyClicks(day, QStringLiteral("123"));
    QCOMPARE(day->text(), QStringLiteral("12"));
  }

  void ValidationErrors_data() {
    QTest::addColumn<QStringList>("dates");
    QTest::addColumn<QString>("error");
    const QString year = QStringLiteral("Year input error !");
    const QString month = QStringLiteral("Month input error !");
    const QString day = QStringLiteral("Day input error !");
    using L = QStringList;
    QTest::newRow("start year of three digits") << L{"201", "1", "1", "2018", "1", "1"} << year;
    QTest::newRow("start month 13") << L{"2018", "13", "1", "2018", "1", "1"} << month;
    QTest::newRow("start day 0") << L{"2018", "1", "0", "2018", "1", "1"} << day;
    QTest::newRow("end year 2016") << L{"2018", "1", "1", "2016", "1", "1"} << year;
    QTest::newRow("end month 0") << L{"2018", "1", "1", "2018", "0", "1"} << month;
    QTest::newRow("empty end day") << L{"2018", "1", "1", "2018", "1", ""} << day;
    QTest::newRow("start 0001, end Feb 31") << L{"0001", "2", "1", "2018", "2", "31"} << QString();
  }

  void ValidationErrors() {
    QFETCH(QStringList, dates);
    QFETCH(QString, error);
    ProgramFixture fixture(QuietConsole());
    SetupPanel& panel = fixture.Open().Setup();
    SetDates(panel, dates);
    PressExport(panel);
    if (error.isEmpty()) {
      QVERIFY(fixture.boxes.boxes.empty());
      QCOMPARE(fixture.dialogs.calls, 1);  // cancelled: nothing more happens
      QCOMPARE(fixture.Prog().exportRequest.endDate, std::u16string(u"2018-2-31"));
      QVERIFY(!fixture.Prog().state.HasExportFileName());
      return;
    }
    QCOMPARE(fixture.boxes.boxes.size(), std::size_t{1});
    const RecordingMessageBoxes::Box& box = fixture.boxes.boxes.front();
    QCOMPARE(box.text, error);
    QCOMPARE(box.caption, QStringLiteral("Error"));
    QCOMPARE(box.icon, Icon::kError);
    QCOMPARE(box.owner, static_cast<QWidget*>(&panel));
    QCOMPARE(fixture.dialogs.calls, 0);
  }

  void FileNameIsChecked() {
    ProgramFixture fixture(QuietConsole());
    SetupPanel& panel = fixture.Open().Setup();
    Find<QCheckBox>(panel, "wholePeriod")->setChecked(true);
    fixture.dialogs.answer = QStringLiteral("/tmp/report.txt");
    PressExport(panel);
    QCOMPARE(fixture.dialogs.lastFilters, (QStringList{"(*.csv)", "(*.xls)"}));
    QCOMPARE(fixture.dialogs.lastSuffix, QStringLiteral("csv"));
    QCOMPARE(fixture.boxes.boxes.size(), std::size_t{1});
    QCOMPARE(fixture.boxes.boxes[0].text, QStringLiteral("File name error!"));
    QCOMPARE(fixture.boxes.boxes[0].caption, QStringLiteral("ERROR"));
    QCOMPARE(fixture.boxes.boxes[0].icon, Icon::kNone);
    QCOMPARE(fixture.boxes.boxes[0].owner, static_cast<QWidget*>(&panel));
    QVERIFY(!fixture.Prog().state.HasExportFileName());

    // Any case of the extension will do. With the console gone unnoticed the command fails.
    fixture.dialogs.answer = QStringLiteral("/tmp/Report.CSV");
    fixture.Console()->Unplug();
    PressExport(panel);
    QCOMPARE(fixture.Prog().state.ExportFileName(), std::string("/tmp/Report.CSV"));
    QCOMPARE(fixture.boxes.boxes.size(), std::size_t{2});
    QCOMPARE(fixture.boxes.boxes[1].text, QStringLiteral("Command send failed !"));
    QCOMPARE(fixture.boxes.boxes[1].caption, QStringLiteral("Error"));
    QCOMPARE(fixture.boxes.boxes[1].owner, static_cast<QWidget*>(&fixture.Window()));
  }

  void WholePeriodEmptiesTheDates() {
    ProgramFixture fixture(QuietConsole());
    SetupPanel& panel = fixture.Open().Setup();
    SetDates(panel, {"2018", "1", "1", "2018", "12", "31"});
    QTest::mouseClick(Find<QWidget>(panel, "selectAll"), Qt::LeftButton);
    PressExport(panel);  // accepted, file dialog cancelled
    ExportRequest& request = fixture.Prog().exportRequest;
    QCOMPARE(request.startDate, std::u16string(u"2018-1-1"));

    auto* whole = Find<QCheckBox>(panel, "wholePeriod");
    whole->click();
    for (const char* name :
         {"startYear", "startMonth", "startDay", "endYear", "endMonth", "endDay"}) {
      QVERIFY(!Find<QLineEdit>(panel, name)->isEnabled());
      QVERIFY(Find<QLineEdit>(panel, name)->text().isEmpty());
    }
    QTest::mouseClick(Find<QWidget>(panel, "clearAll"), Qt::LeftButton);
    Find<QCheckBox>(panel, "dataSet5")->setChecked(true);
    PressExport(panel);
    QVERIFY(fixture.boxes.boxes.empty());
    QVERIFY(request.wholePeriod);
    QCOMPARE(request.startDate, std::u16string(u"2018-1-1"));  // kept, unused
    QCOMPARE(request.endDate, std::u16string(u"2018-12-31"));
    for (std::size_t set = 0; set < kDataSetCount; ++set) {
      QCOMPARE(request.dataSets[set], set == static_cast<std::size_t>(DataSet::WindData));
    }

    whole->click();
    QVERIFY(Find<QLineEdit>(panel, "startYear")->isEnabled());
    QVERIFY(Find<QLineEdit>(panel, "startYear")->text().isEmpty());
  }

  void ExportWaitsForAConsoleAndForTheRunningDownload() {
    ProgramFixture absent(std::nullopt);
    SetupPanel& alone = absent.Open().Setup();
    Find<QCheckBox>(alone, "wholePeriod")->setChecked(true);
    PressExport(alone);
    QCOMPARE(absent.dialogs.calls, 0);

    ProgramFixture busy(QuietConsole());
    SetupPanel& panel = busy.Open().Setup();
    // The console's greeting is a live text, which ends any download: let it pass first.
    QTRY_VERIFY(!busy.Prog().readings[kFieldDate].Empty());
    busy.Prog().state.downloadActive = true;
    PressExport(panel);  // the dates are empty, yet no box: nothing is checked
    QVERIFY(busy.boxes.boxes.empty());
    QCOMPARE(busy.dialogs.calls, 0);
    busy.Prog().state.downloadActive = false;
  }

  // The whole road: panel, reader, dashboard and export writer give the very file that
  // nimbrel-cli writes for the same console, period, data set and units.
  void ExportWritesWhatTheCommandLineWrites() {
#ifndef NIMBREL_CLI
    QSKIP("nimbrel-cli was not built with this test");
#else
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    ProgramFixture fixture(QuietConsole());
    MainWindow& window = fixture.Open();
    window.ShowPanel(2);
    SetupPanel& panel = window.Setup();
    Program& program = fixture.Prog();
    // The console's answer to the greeting comes first; a live message would end a download.
    QTRY_VERIFY_WITH_TIMEOUT(!window.Dashboard().StampText().isEmpty(), 10000);

    const std::pair<const char*, int> choices[] = {
        {"temperatureList", 1}, {"rainList", 1},         {"pressureList", 2},
        {"windSpeedList", 3},   {"pressureTypeList", 0}, {"windDirectionList", 1}};
    for (const auto& [name, index] : choices) {
      Find<QComboBox>(panel, name)->setCurrentIndex(index);
    }
    // The log's second day, typed without leading zeros.
    const auto second =
        FromConsoleTime(WeatherModel(ConsoleOptions{}.seed).HistoryStart() + std::chrono::days(1));
    const QString day = DateText(second);
    SetDates(panel, day.split(QLatin1Char('-')) + day.split(QLatin1Char('-')));
    QTest::mouseClick(Find<QWidget>(panel, "clearAll"), Qt::LeftButton);
    for (const int set : {0, 2, 3, 5, 6, 8, 10}) {
      Find<QCheckBox>(panel, QStringLiteral("dataSet%1").arg(set).toLatin1().constData())
          ->setChecked(true);
    }
    const QString ours = folder.filePath(QStringLiteral("window.csv"));
    fixture.dialogs.answer = ours;
    PressExport(panel);
    QVERIFY(fixture.boxes.boxes.empty());
    QTRY_VERIFY_WITH_TIMEOUT(program.state.historyReady && !program.state.downloadActive, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(ours), 5000);

    const QString theirs = folder.filePath(QStringLiteral("cli.csv"));
    const QStringList units = {"--temperature",   "F",    "--rain",      "in",
                               "--pressure",      "inHg", "--wind",      "knots",
                               "--pressure-type", "abs",  "--direction", "360"};
    const QString sets = QStringLiteral("pressure,outdoor,rain,wind,dewpoint,ch1,ch3");
    QStringList command = {"export", "--out", theirs, "--set", sets};
    command << "--from" << day << "--to" << day;
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder.filePath(QStringLiteral("cfg")));
    cli.setProcessEnvironment(environment);
    cli.start(QStringLiteral(NIMBREL_CLI), QStringList{"--simulate"} + units + command);
    QVERIFY(cli.waitForFinished(60000));
    QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());

    const QByteArray written = FileBytes(ours);
    QVERIFY(written.size() > 1000);
    QVERIFY(written == FileBytes(theirs));
#endif
  }

  // Every language's texts fit their places. With NIMBREL_SCREENSHOTS set, the window is saved
  // there in each language.
  void Screenshots() {
    ProgramFixture fixture(QuietConsole());
    MainWindow& window = fixture.Open();
    window.ShowPanel(2);
    SetupPanel& panel = window.Setup();
    TypeStation(panel, QStringLiteral("INIMBREL12"), QStringLiteral("a1b2c3d4"));
    Find<QCheckBox>(panel, "autoUpload")->click();
    panel.UploadAckWu();
    SetDates(panel, {"2025", "1", "2", "2025", "1", "4"});
    for (const int set : {0, 1, 2, 5, 8}) {
      Find<QCheckBox>(panel, QStringLiteral("dataSet%1").arg(set).toLatin1().constData())
          ->setChecked(true);
    }
    const QString folder = qEnvironmentVariable("NIMBREL_SCREENSHOTS");
    const std::pair<LanguageIndex, const char*> languages[] = {
        {LanguageIndex::kGerman, "setup-de.png"},
        {LanguageIndex::kItalian, "setup-it.png"},
        {LanguageIndex::kSpanish, "setup-es.png"},
        {LanguageIndex::kEnglish, "setup-en.png"},
        {LanguageIndex::kFrench, "setup-fr.png"}};
    for (const auto& [language, name] : languages) {
      fixture.Prog().language = language;
      window.HeaderBar().Relabel();
      window.Dashboard().Relabel();
      panel.Relabel();
      window.StatusBar().Relabel();
      for (const QLabel* label : panel.findChildren<QLabel*>()) {
        QVERIFY2(TextFits(*label, label->text(), 0), qPrintable(label->text()));
      }
      for (const QCheckBox* box : panel.findChildren<QCheckBox*>()) {
        QVERIFY2(TextFits(*box, box->text().replace("&&", "&"), 20), qPrintable(box->text()));
      }
      const QImage shot = window.grab().toImage();
      QCOMPARE(shot.size(), QSize(900, 600));
      if (!folder.isEmpty()) {
        QVERIFY(shot.save(QDir(folder).filePath(QString::fromLatin1(name))));
      }
    }
    QCOMPARE(ShownText(panel, "uploadText"), QStringLiteral("T\u00C9L\u00C9VERSEMENT"));
  }
};

}  // namespace nimbrel::ui::testing

QTEST_MAIN(nimbrel::ui::testing::SetupTest)
#include "setup_test.moc"
