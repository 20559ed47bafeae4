#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "simulator/weather_model.h"
#include "tests/ui/ui_fixture.h"
#include "tests/upload/local_http_server.h"
#include "ui/dashboard_panel.h"
#include "ui/header_bar_panel.h"
#include "ui/setup_panel.h"

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
  return widget ? widget : (qFatal("the setup panel has no %s", name), nullptr);
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

const char* const kDateBoxes[] = {"startYear", "startMonth", "startDay",
                                  "endYear",   "endMonth",   "endDay"};

void SetDates(SetupPanel& panel, const QStringList& dates) {
  for (int box = 0; box < 6; ++box) {
    Find<QLineEdit>(panel, kDateBoxes[box])->setText(dates.value(box));
  }
}

void TickDataSets(SetupPanel& panel, std::initializer_list<int> sets) {
  for (const int set : sets) {
    Find<QCheckBox>(panel, QStringLiteral("dataSet%1").arg(set).toLatin1().constData())
        ->setChecked(true);
  }
}

void PressExport(SetupPanel& panel) {
  QTest::mouseClick(Find<QWidget>(panel, "export"), Qt::LeftButton);
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
  // First start without a console: the defaults, the indicator hidden, an Export that does
  // nothing. Then a start from saved choices, whose units are saved again at the end.
  void StartsFromTheDefaultsOrTheSavedChoices() {
    {
      ProgramFixture fixture(std::nullopt);
      SetupPanel& panel = fixture.Open().Setup();
      QCOMPARE(Find<QComboBox>(panel, "temperatureList")->currentText(), QStringLiteral("\u00B0C"));
      QCOMPARE(Find<QComboBox>(panel, "windDirectionList")->currentText(), QStringLiteral("16"));
      QCOMPARE(ShownText(panel, "stationIdLabel"), QStringLiteral("Station ID"));
      // "&&" of the pack shows as one "&".
      QCOMPARE(Find<QCheckBox>(panel, "dataSet1")->text(),
               QStringLiteral("Indoor temperature && humidity"));
      QVERIFY(!Shown(panel, "uploadText"));
      Find<QCheckBox>(panel, "wholePeriod")->setChecked(true);
      PressExport(panel);
      QCOMPARE(fixture.dialogs.calls, 0);
      // Auto Upload goes on, but its check waits for a console.
      TypeStation(panel, QStringLiteral("id"), QStringLiteral("key"));
      Find<QCheckBox>(panel, "autoUpload")->click();
      QVERIFY(fixture.Prog().servers.Selected().autoUpload);
      QVERIFY(!panel.UploadCheckRunning(ServerIndex::WeatherUnderground));
    }
    ProgramFixture fixture(std::nullopt);
    UnitSettings saved;
    saved.temperatureUnit = TemperatureUnit::Fahrenheit;
    saved.pressureUnit = PressureUnit::InHg;
    saved.windSpeedUnit = WindSpeedUnit::Knots;
    saved.windDirectionFormat = WindDirectionFormat::Degrees360;
    fixture.Settings().WriteUnitSettings(saved);
    fixture.Settings().WriteLanguageAndService({1, ServerIndex::Weathercloud});
    fixture.Settings().WriteStationIdAndKey(ServerIndex::Weathercloud, {u"wc-id", u"wc-key"});
    MainWindow& window = fixture.Open();
    SetupPanel& panel = window.Setup();
    const std::pair<const char*, QString> lists[] = {
        {"temperatureList", QStringLiteral("\u00B0F")},
        {"pressureList", QStringLiteral("inHg")},
        {"windSpeedList", QStringLiteral("knots")},
        {"windDirectionList", QStringLiteral("360\u00B0")},
        {"serviceList", QStringLiteral("Weathercloud")}};
    for (const auto& [name, shown] : lists) {
      QCOMPARE(Find<QComboBox>(panel, name)->currentText(), shown);
    }
    QCOMPARE(Find<QLineEdit>(panel, "stationKey")->text(), QStringLiteral("wc-key"));
    Find<QComboBox>(panel, "rainList")->setCurrentIndex(1);
    Find<QComboBox>(panel, "pressureTypeList")->setCurrentIndex(0);
    // At once, and the dashboard's caption in the current language.
    QCOMPARE(fixture.Prog().units.rainUnit, RainUnit::Inch);
    QCOMPARE(window.Dashboard().CaptionText(DashboardControl::kPressureLabel),
             QStringLiteral("Absoluter Luftdruck"));
    window.Shutdown();
    saved.rainUnit = RainUnit::Inch;
    saved.pressureType = PressureType::Absolute;
    QCOMPARE(fixture.Settings().ReadUnitSettings(), saved);
  }

  void AutoUploadNeedsAnIdAndAKey() {
    ProgramFixture fixture(QuietConsole());
    SetupPanel& panel = fixture.Open().Setup();
    auto* autoUpload = Find<QCheckBox>(panel, "autoUpload");
    auto* key = Find<QLineEdit>(panel, "stationKey");
    const auto shows = [&](bool on) {
      QCOMPARE(autoUpload->isChecked(), on);
      QCOMPARE(fixture.Prog().servers.Selected().autoUpload, on);
      QCOMPARE(panel.UploadCheckRunning(ServerIndex::WeatherUnderground), on);
      QCOMPARE(Find<QLineEdit>(panel, "stationId")->isEnabled(), !on);
      QCOMPARE(key->isEnabled(), !on);
    };
    TypeStation(panel, QStringLiteral("KSTATION1"), QString());
    autoUpload->click();
    shows(false);
    QVERIFY(fixture.Settings().ReadStationIdAndKey(ServerIndex::WeatherUnderground).id.empty());

    // What is typed is what is kept: 63 characters.
    QTest::keyClicks(key, QString(70, QLatin1Char('k')));
    QCOMPARE(key->text().size(), 63);
    autoUpload->click();
    shows(true);
    QCOMPARE(fixture.Settings().ReadStationIdAndKey(ServerIndex::WeatherUnderground),
             (StationIdAndKey{u"KSTATION1", std::u16string(63, u'k')}));
    autoUpload->click();
    shows(false);
  }

  // Switching services with Auto Upload on for one of them, then the console going.
  void ServicesAreIndependentAndResetWhenTheConsoleGoes() {
    ProgramFixture fixture(QuietConsole());
    fixture.Settings().WriteStationIdAndKey(ServerIndex::Weathercloud, {u"cloud", u"secret"});
    SetupPanel& panel = fixture.Open().Setup();
    auto* autoUpload = Find<QCheckBox>(panel, "autoUpload");
    TypeStation(panel, QStringLiteral("wu-id"), QStringLiteral("wu-key"));
    autoUpload->click();
    panel.UploadAckWu();

    ChooseService(panel, ServerIndex::Weathercloud);
    QVERIFY(!autoUpload->isChecked());
    QVERIFY(Find<QLineEdit>(panel, "stationId")->isEnabled());
    QCOMPARE(Find<QLineEdit>(panel, "stationId")->text(), QStringLiteral("cloud"));
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
    QCOMPARE(ShownText(panel, "uploadText"), QStringLiteral("UPLOAD"));

    // The console goes: both services reset, the boxes editable again; its return starts nothing.
    ChooseService(panel, ServerIndex::Weathercloud);
    autoUpload->click();
    QVERIFY(panel.UploadCheckRunning(ServerIndex::Weathercloud));
    fixture.Console()->Unplug();
    fixture.PollDeviceChanges();
    QVERIFY(!autoUpload->isChecked());
    QVERIFY(!Shown(panel, "uploadText"));
    QVERIFY(Find<QLineEdit>(panel, "stationId")->isEnabled());
    QVERIFY(Find<QLineEdit>(panel, "stationKey")->isEnabled());
    for (const ServerIndex service : {ServerIndex::WeatherUnderground, ServerIndex::Weathercloud}) {
      const ServiceSettings& settings = fixture.Prog().servers.Service(service);
      QVERIFY(!panel.UploadCheckRunning(service));
      QVERIFY(!settings.autoUpload);
      QCOMPARE(settings.successCount, 0);
      QCOMPARE(settings.uploadStatus, UploadStatus::Hidden);
    }
    fixture.Console()->Plug();
    fixture.PollDeviceChanges();
    QVERIFY(fixture.Prog().state.linkConnected);
    QVERIFY(!panel.UploadCheckRunning(ServerIndex::WeatherUnderground));
  }

  // UPLOAD on an acknowledgement; the ten-minute check, driven here by the test, keeps it after
  // a period with acknowledgements and turns it to FAIL after one without.
  void IndicatorFollowsAcknowledgementsAndTheTimer() {
    ProgramFixture fixture(QuietConsole());
    SetupPanel& panel = fixture.Open().Setup();
    ServiceSettings& wu = fixture.Prog().servers.Service(ServerIndex::WeatherUnderground);
    TypeStation(panel, QStringLiteral("id"), QStringLiteral("key"));
    Find<QCheckBox>(panel, "autoUpload")->click();
    QCOMPARE(panel.IndicatorShown(), UploadStatus::Hidden);
    QTimer* timer = nullptr;
    for (QTimer* candidate : panel.findChildren<QTimer*>()) {
      if (candidate->isActive() && candidate->interval() == SetupPanel::kUploadCheckPeriodMs) {
        timer = candidate;
      }
    }
    QVERIFY(timer != nullptr);
    const auto tick = [timer] {
      QTimerEvent event(timer->timerId());
      QCoreApplication::sendEvent(timer, &event);
    };

    panel.UploadAckWu();
    panel.UploadAckWu();
    QCOMPARE(ShownText(panel, "uploadText"), QStringLiteral("UPLOAD"));
    QVERIFY(Shown(panel, "uploadIcon"));
    QVERIFY(!Find<QLabel>(panel, "uploadIcon")->pixmap().isNull());
    QCOMPARE(wu.successCount, 2);
    tick();  // the period had acknowledgements
    QCOMPARE(panel.IndicatorShown(), UploadStatus::Confirmed);
    QCOMPARE(wu.successCount, 0);
    tick();  // this one had none
    QCOMPARE(panel.IndicatorShown(), UploadStatus::Failed);
    QCOMPARE(ShownText(panel, "uploadText"), QStringLiteral("FAIL"));
    QVERIFY(Shown(panel, "uploadIcon"));

    // The indicator speaks the current language.
    fixture.Prog().language = LanguageIndex::kGerman;
    panel.Relabel();
    QCOMPARE(ShownText(panel, "uploadText"), QStringLiteral("FEHLGESCHLAGEN"));
    panel.UploadAckWu();
    QCOMPARE(panel.IndicatorShown(), UploadStatus::Confirmed);

    // The other service's check fails on its own, without touching what is shown.
    panel.UploadCheck(ServerIndex::Weathercloud);
    QCOMPARE(fixture.Prog().servers.Service(ServerIndex::Weathercloud).uploadStatus,
             UploadStatus::Failed);
    QCOMPARE(panel.IndicatorShown(), UploadStatus::Confirmed);
  }

  // Through the dashboard and the upload worker to a local server: only the services switched on
  // upload, each with its own station.
  void UploadsOfBothServicesShowOnTheIndicator() {
    nimbrel::testing::LocalHttpServer server;
    ConsoleOptions options;
    options.periods.wu = std::chrono::seconds(1);
    options.periods.weathercloud = std::chrono::seconds(1);
    ProgramFixture fixture(options);
    SetupPanel& panel = fixture.Open().Setup();
    const UploadEndpoint local{"127.0.0.1", server.Port()};
    fixture.Prog().endpoints = UploadEndpoints{local, local};
    const ServerSettings& servers = fixture.Prog().servers;

    ChooseService(panel, ServerIndex::Weathercloud);
    TypeStation(panel, QStringLiteral("cloudstation"), QStringLiteral("cloudkey"));
    Find<QCheckBox>(panel, "autoUpload")->click();
    QTRY_COMPARE_WITH_TIMEOUT(servers.Service(ServerIndex::Weathercloud).uploadStatus,
                              UploadStatus::Confirmed, 15000);
    QCOMPARE(panel.IndicatorShown(), UploadStatus::Confirmed);
    for (const std::string& request : server.WaitForRequests(0, std::chrono::milliseconds(0))) {
      QVERIFY(request.find("cloudstation") != std::string::npos);
    }
    ChooseService(panel, ServerIndex::WeatherUnderground);
    TypeStation(panel, QStringLiteral("KWUSTATION"), QStringLiteral("wukey"));
    Find<QCheckBox>(panel, "autoUpload")->click();
    QTRY_COMPARE_WITH_TIMEOUT(servers.Service(ServerIndex::WeatherUnderground).uploadStatus,
                              UploadStatus::Confirmed, 15000);
    const auto requests = server.WaitForRequests(0, std::chrono::milliseconds(0));
    QVERIFY(std::any_of(requests.begin(), requests.end(), [](const std::string& request) {
      return request.find("KWUSTATION") != std::string::npos;
    }));
  }

  // Digits only, within their lengths; then each error box in turn, and a request that passes
  // (a start of 0001 and an end of Feb 31 are let through) reaching the file dialog.
  void DatesAreValidated() {
    ProgramFixture fixture(QuietConsole());
    SetupPanel& panel = fixture.Open().Setup();
    QTest::keyClicks(Find<QLineEdit>(panel, "startYear"), QStringLiteral("2a0-1 8 9"));
    QCOMPARE(Find<QLineEdit>(panel, "startYear")->text(), QStringLiteral("2018"));
    QTest::keyClicks(Find<QLineEdit>(panel, "endDay"), QStringLiteral("123"));
    QCOMPARE(Find<QLineEdit>(panel, "endDay")->text(), QStringLiteral("12"));

    using L = QStringList;
    const std::pair<QStringList, const char*> cases[] = {
        {L{"201", "1", "1", "2018", "1", "1"}, "Year input error !"},
        {L{"2018", "13", "1", "2018", "1", "1"}, "Month input error !"},
        {L{"2018", "1", "0", "2018", "1", "1"}, "Day input error !"},
        {L{"2018", "1", "1", "2016", "1", "1"}, "Year input error !"},
        {L{"2018", "1", "1", "2018", "0", "1"}, "Month input error !"},
        {L{"2018", "1", "1", "2018", "1", ""}, "Day input error !"}};
    std::size_t count = 0;
    for (const auto& [dates, error] : cases) {
      SetDates(panel, dates);
      PressExport(panel);
      QCOMPARE(fixture.boxes.boxes.size(), ++count);
      const RecordingMessageBoxes::Box& box = fixture.boxes.boxes.back();
      QCOMPARE(box.text, QString::fromLatin1(error));
      QCOMPARE(box.caption, QStringLiteral("Error"));
      QCOMPARE(box.icon, Icon::kError);
      QCOMPARE(box.owner, static_cast<QWidget*>(&panel));
      QCOMPARE(fixture.dialogs.calls, 0);
    }
    SetDates(panel, {"0001", "2", "1", "2018", "2", "31"});
    PressExport(panel);
    QCOMPARE(fixture.boxes.boxes.size(), count);
    QCOMPARE(fixture.dialogs.calls, 1);  // cancelled: nothing more happens
    QCOMPARE(fixture.Prog().exportRequest.endDate, std::u16string(u"2018-2-31"));
    QVERIFY(!fixture.Prog().state.HasExportFileName());
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
    QVERIFY(!fixture.Prog().state.HasExportFileName());

    // Any case of the extension will do. With the console gone unnoticed the command fails.
    fixture.dialogs.answer = QStringLiteral("/tmp/Report.CSV");
    fixture.Console()->Unplug();
    PressExport(panel);
    QCOMPARE(fixture.Prog().state.ExportFileName(), std::string("/tmp/Report.CSV"));
    QCOMPARE(fixture.boxes.boxes.size(), std::size_t{2});
    QCOMPARE(fixture.boxes.boxes[1].text, QStringLiteral("Command send failed !"));
    QCOMPARE(fixture.boxes.boxes[1].owner, static_cast<QWidget*>(&fixture.Window()));
  }

  // Whole period empties and locks the dates; a running download or export makes Export do
  // nothing.
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
    for (const char* name : kDateBoxes) {
      QVERIFY(!Find<QLineEdit>(panel, name)->isEnabled());
      QVERIFY(Find<QLineEdit>(panel, name)->text().isEmpty());
    }
    QTest::mouseClick(Find<QWidget>(panel, "clearAll"), Qt::LeftButton);
    Find<QCheckBox>(panel, "dataSet5")->setChecked(true);
    PressExport(panel);
    QVERIFY(fixture.boxes.boxes.empty());
    QCOMPARE(fixture.dialogs.calls, 2);
    QVERIFY(request.wholePeriod);
    QCOMPARE(request.endDate, std::u16string(u"2018-12-31"));  // kept, unused
    for (std::size_t set = 0; set < kDataSetCount; ++set) {
      QCOMPARE(request.dataSets[set], set == static_cast<std::size_t>(DataSet::WindData));
    }

    // The console's greeting is a live text, which ends any download: let it pass first.
    QTRY_VERIFY(!fixture.Prog().readings[kFieldDate].Empty());
    SharedState& state = fixture.Prog().state;
    for (std::atomic<bool>* busy : {&state.downloadActive, &state.exportRunning}) {
      *busy = true;
      PressExport(panel);
      QCOMPARE(fixture.dialogs.calls, 2);
      *busy = false;
    }

    whole->click();
    QVERIFY(Find<QLineEdit>(panel, "startYear")->isEnabled());
    QVERIFY(Find<QLineEdit>(panel, "startYear")->text().isEmpty());
  }

  // The whole road: panel, reader, dashboard and export writer give the very file that
  // nimbrel-cli writes for the same console, period, data set and units.
  void ExportWritesWhatTheCommandLineWrites() {
#ifndef NIMBREL_CLI
    QSKIP("nimbrel-cli was not built with this test");
#else
    QTemporaryDir folder;
    ProgramFixture fixture(QuietConsole());
    MainWindow& window = fixture.Open();
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
    const QString day =
        QStringLiteral("%1-%2-%3").arg(second.year).arg(second.month).arg(second.day);
    SetDates(panel, day.split(QLatin1Char('-')) + day.split(QLatin1Char('-')));
    QTest::mouseClick(Find<QWidget>(panel, "clearAll"), Qt::LeftButton);
    TickDataSets(panel, {0, 2, 3, 5, 6, 8, 10});
    const QString ours = folder.filePath(QStringLiteral("window.csv"));
    fixture.dialogs.answer = ours;
    PressExport(panel);
    QVERIFY(fixture.boxes.boxes.empty());
    QTRY_VERIFY_WITH_TIMEOUT(program.state.historyReady && !program.state.downloadActive, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(ours), 5000);

    const QString theirs = folder.filePath(QStringLiteral("cli.csv"));
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder.filePath(QStringLiteral("cfg")));
    cli.setProcessEnvironment(environment);
    cli.start(QStringLiteral(NIMBREL_CLI),
              {"--simulate", "--temperature",
               "F",          "--rain",
               "in",         "--pressure",
               "inHg",       "--wind",
               "knots",      "--pressure-type",
               "abs",        "--direction",
               "360",        "export",
               "--out",      theirs,
               "--set",      "pressure,outdoor,rain,wind,dewpoint,ch1,ch3",
               "--from",     day,
               "--to",       day});
    QVERIFY(cli.waitForFinished(60000));
    QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
    QVERIFY(FileBytes(ours).size() > 1000);
    QVERIFY(FileBytes(ours) == FileBytes(theirs));
#endif
  }

  // Every language's texts fit their places, the indicator's included. With
  // NIMBREL_SCREENSHOT_DIR set, the panel is saved there in English and French for the docs.
  void EveryTextFits() {
    ProgramFixture fixture(QuietConsole());
    MainWindow& window = fixture.Open();
    window.ShowPanel(2);
    SetupPanel& panel = window.Setup();
    TypeStation(panel, QStringLiteral("INIMBREL12"), QStringLiteral("a1b2c3d4"));
    Find<QCheckBox>(panel, "autoUpload")->click();
    panel.UploadAckWu();
    const QString folder = qEnvironmentVariable("NIMBREL_SCREENSHOT_DIR");
    auto* languageBox = window.HeaderBar().findChild<QComboBox*>(QStringLiteral("languageBox"));
    for (const char* shot : {"setup-en.png", "", "setup-fr.png", "", ""}) {
      for (const QLabel* label : panel.findChildren<QLabel*>()) {
        QVERIFY2(TextFits(*label, label->text(), 0), qPrintable(label->text()));
      }
      for (const QCheckBox* box : panel.findChildren<QCheckBox*>()) {
        QVERIFY2(TextFits(*box, box->text().replace("&&", "&"), 20), qPrintable(box->text()));
      }
      if (!folder.isEmpty() && *shot != '\0') {
        QVERIFY(window.grab().save(QDir(folder).filePath(QString::fromLatin1(shot))));
      }
      QTest::keyClick(languageBox, Qt::Key_Down);
    }
  }
};

}  // namespace nimbrel::ui::testing

QTEST_MAIN(nimbrel::ui::testing::SetupTest)
#include "setup_test.moc"
