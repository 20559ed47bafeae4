// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdlib>

#include "simulator/weather_model.h"
#include "tests/ui/ui_fixture.h"
#include "tests/upload/local_http_server.h"

namespace nimbrel::ui::testing {

namespace {

constexpr auto Box = &RecordingMessageBoxes::Box;
using Icon = MessageBoxes::Icon;
constexpr ServerIndex kWu = ServerIndex::WeatherUnderground;
constexpr ServerIndex kWc = ServerIndex::Weathercloud;
const auto kDateBoxes = {"startYear", "startMonth", "startDay", "endYear", "endMonth", "endDay"};

// The text of a label, or nothing while it is hidden.
QString Shown(SetupPanel& panel, const char* name) {
  const auto* label = Find<QLabel>(panel, name);
  return label->isVisibleTo(&panel) ? label->text() : QString();
}

// Puts the texts into the edit boxes of these names, in turn.
void Type(SetupPanel& panel, const QStringList& texts, std::initializer_list<const char*> boxes) {
  for (int box = 0; const char* name : boxes) {
    Find<QLineEdit>(panel, name)->setText(texts.value(box++));
  }
}

void ChooseService(SetupPanel& panel, ServerIndex service) {
  Find<QComboBox>(panel, "serviceList")->setCurrentIndex(static_cast<int>(service));
}

}  // namespace

class SetupTest : public QObject {
  Q_OBJECT

 private slots:
  // Auto Upload needs an ID and a key, then locks and saves them; each service keeps its own and
  // the indicator follows the one shown: UPLOAD on an acknowledgement, kept by a ten-minute check
  // after a period with acknowledgements, FAIL after one without. The console going resets both
  // services; its return starts nothing.
  void AutoUploadOfEachService() {
    ProgramFixture fixture;
    fixture.Settings().WriteStationIdAndKey(kWc, {u"cloud", u"secret"});
    SetupPanel& panel = fixture.Open().Setup();
    // The shown service's boxes and indicator, then each service's switch, check and count.
    const auto state = [&panel, &servers = fixture.Prog().servers] {
      QString shown =
          Find<QLineEdit>(panel, "stationId")->text() + ' ' + Shown(panel, "uploadText");
      shown += Find<QCheckBox>(panel, "autoUpload")->isChecked() ? " on" : " off";
      shown += Find<QLineEdit>(panel, "stationKey")->isEnabled() ? " open" : " locked";
      for (const ServerIndex service : {kWu, kWc}) {
        const ServiceSettings& settings = servers.Service(service);
        shown += QStringLiteral(" | %1 %2 %3")
                     .arg(settings.autoUpload ? "on" : "off")
                     .arg(panel.UploadCheckRunning(service) ? "checked" : "idle")
                     .arg(settings.successCount);
      }
      return shown;
    };
    Type(panel, {"KSTATION1"}, {"stationId", "stationKey"});
    Click(panel, "autoUpload");
    QCOMPARE(state(), "KSTATION1  off open | off idle 0 | off idle 0");
    QTest::keyClicks(Find<QLineEdit>(panel, "stationKey"), QString(70, 'k'));  // 63 are kept
    Click(panel, "autoUpload");
    const StationIdAndKey wuStation{u"KSTATION1", std::u16string(63, u'k')};
    QCOMPARE(fixture.Settings().ReadStationIdAndKey(kWu), wuStation);
    QVERIFY(std::ranges::any_of(panel.findChildren<QTimer*>(), [](const QTimer* timer) {
      return timer->isActive() && timer->interval() == 600000;  // ten minutes
    }));
    panel.UploadAckWu();
    panel.UploadAckWu();
    QCOMPARE(state(), "KSTATION1 UPLOAD on locked | on checked 2 | off idle 0");
    QVERIFY(!Find<QLabel>(panel, "uploadIcon")->pixmap().isNull());
    panel.UploadCheck(kWu);  // the period had acknowledgements
    QCOMPARE(state(), "KSTATION1 UPLOAD on locked | on checked 0 | off idle 0");
    panel.UploadCheck(kWu);  // this one had none
    QCOMPARE(state(), "KSTATION1 FAIL on locked | on checked 0 | off idle 0");
    panel.UploadAckWu();
    ChooseService(panel, kWc);
    QCOMPARE(state(), "cloud  off open | on checked 1 | off idle 0");
    QCOMPARE(Shown(panel, "stationIdLabel"), "ID");
    // The uploads take the boxes for the shown service and the stored texts for the other.
    QCOMPARE(panel.InForce(kWu), wuStation);
    Type(panel, {"cloud", "typed"}, {"stationId", "stationKey"});
    QCOMPARE(panel.InForce(kWc), (StationIdAndKey{u"cloud", u"typed"}));
    panel.UploadAckWu();  // counted without showing
    QCOMPARE(state(), "cloud  off open | on checked 2 | off idle 0");
    ChooseService(panel, kWu);
    panel.UploadCheck(kWc);  // fails on its own, without touching what is shown
    QCOMPARE(state(), "KSTATION1 UPLOAD on locked | on checked 2 | off idle 0");
    ChooseService(panel, kWc);
    QCOMPARE(state(), "cloud FAIL off open | on checked 2 | off idle 0");
    Click(panel, "autoUpload");
    QCOMPARE(state(), "cloud FAIL on locked | on checked 2 | on checked 0");
    fixture.Console()->Unplug();
    fixture.PollDeviceChanges();
    QCOMPARE(state(), "cloud  off open | off idle 0 | off idle 0");
    fixture.Console()->Plug();
    fixture.PollDeviceChanges();
    QVERIFY(fixture.Prog().state.linkConnected);
    QCOMPARE(state(), "cloud  off open | off idle 0 | off idle 0");
  }

  // Through the dashboard and the upload worker to a local server and back to the indicator, for
  // each service in turn.
  void UploadsOfBothServicesShowOnTheIndicator() {
    nimbrel::testing::LocalHttpServer server;
    ConsoleOptions options;
    options.periods.wu = options.periods.weathercloud = std::chrono::seconds(1);
    ProgramFixture fixture(options);
    SetupPanel& panel = fixture.Open().Setup();
    const UploadEndpoint local{"127.0.0.1", server.Port()};
    fixture.Prog().endpoints = UploadEndpoints{local, local};
    for (const auto& [service, station] : {std::pair{kWc, "cloudstation"}, {kWu, "KWUSTATION"}}) {
      ChooseService(panel, service);
      Type(panel, {QString::fromLatin1(station), "key"}, {"stationId", "stationKey"});
      Find<QCheckBox>(panel, "autoUpload")->click();
      QTRY_COMPARE_WITH_TIMEOUT(panel.IndicatorShown(), UploadStatus::Confirmed, 15000);
    }
  }

  // The request is checked before the console is asked: digits only within their lengths, the
  // dates, then the file name; 0001 to Feb 31 passes. Whole period empties and locks the dates; a
  // running download or export makes Export do nothing.
  void ExportChecksTheRequest() {
    ProgramFixture fixture;
    MainWindow& window = fixture.Open();
    SetupPanel& panel = window.Setup();
    ExportRequest& request = fixture.Prog().exportRequest;
    QStringList& boxes = fixture.boxes.boxes;
    QTest::keyClicks(Find<QLineEdit>(panel, "startYear"), QStringLiteral("2a0-1 8 9"));
    QTest::keyClicks(Find<QLineEdit>(panel, "endDay"), QStringLiteral("123"));
    QCOMPARE(Find<QLineEdit>(panel, "startYear")->text() + Find<QLineEdit>(panel, "endDay")->text(),
             "201812");
    // One box of the date checks (each check has its own text, tested with the request's rules).
    Type(panel, {"2018", "1", "1", "2016", "1", "1"}, kDateBoxes);
    Click(panel, "export");
    QCOMPARE(boxes.back(), Box(&panel, "Year input error !", "Error", Icon::kError));
    QCOMPARE(boxes.size() + fixture.dialogs.calls, 1);

    Type(panel, {"0001", "2", "1", "2018", "2", "31"}, kDateBoxes);
    fixture.dialogs.answer = QStringLiteral("/tmp/report.txt");
    Click(panel, "export");
    QCOMPARE(fixture.dialogs.asked, "(*.csv) (*.xls), .csv");
    QCOMPARE(boxes.back(), Box(&panel, "File name error!", "ERROR", {}));
    QVERIFY(!fixture.Prog().state.HasExportFileName());
    QCOMPARE(request.startDate + u' ' + request.endDate, u"0001-2-1 2018-2-31");

    Find<QCheckBox>(panel, "wholePeriod")->click();
    for (const char* name : kDateBoxes) {
      QVERIFY(!Find<QLineEdit>(panel, name)->isEnabled());
      QVERIFY(Find<QLineEdit>(panel, name)->text().isEmpty());
    }
    fixture.dialogs.answer.clear();  // cancelled: nothing more happens
    Click(panel, "export");
    QCOMPARE(boxes.size() + fixture.dialogs.calls, 4);
    QVERIFY(request.wholePeriod);
    QCOMPARE(request.endDate, u"2018-2-31");  // kept, unused
    // The console's greeting is a live text, which ends any download: let it pass first.
    QTRY_VERIFY(!fixture.Prog().readings[kFieldDate].Empty());
    SharedState& state = fixture.Prog().state;
    for (std::atomic<bool>* busy : {&state.downloadActive, &state.exportRunning}) {
      *busy = true;
      Click(panel, "export");
      *busy = false;
    }
    QCOMPARE(fixture.dialogs.calls, 2);
    // Any case of the extension will do. With the console gone unnoticed the command fails.
    fixture.dialogs.answer = QStringLiteral("/tmp/Report.CSV");
    fixture.Console()->Unplug();
    Click(panel, "export");
    QCOMPARE(state.ExportFileName(), "/tmp/Report.CSV");
    QCOMPARE(boxes.back(), Box(&window, "Command send failed !", "Error", {}));
  }

  // The whole road: panel, reader, dashboard and export writer give the very file that
  // nimbrel-cli writes for the same console, period, data set and units: the saved units, and
  // one changed in the panel, which takes effect at once and is saved again at the end.
  void ExportWritesWhatTheCommandLineWrites() {
#ifndef NIMBREL_CLI
    QSKIP("nimbrel-cli was not built with this test");
#else
    QTemporaryDir folder;
    ProgramFixture fixture;
    UnitSettings saved;
    saved.temperatureUnit = TemperatureUnit::Fahrenheit;
    saved.pressureUnit = PressureUnit::InHg;
    saved.windSpeedUnit = WindSpeedUnit::Knots;
    saved.windDirectionFormat = WindDirectionFormat::Degrees360;
    fixture.Settings().WriteUnitSettings(saved);
    MainWindow& window = fixture.Open();
    SetupPanel& panel = window.Setup();
    Program& program = fixture.Prog();
    QCOMPARE(Find<QComboBox>(panel, "windDirectionList")->currentText(), "360°");
    Find<QComboBox>(panel, "rainList")->setCurrentIndex(1);
    Find<QComboBox>(panel, "pressureTypeList")->setCurrentIndex(0);
    QCOMPARE(window.Dashboard().CaptionText(DashboardControl::kPressureLabel), "Absolute Pressure");
    // The console's answer to the greeting comes first; a live message would end a download.
    QTRY_VERIFY_WITH_TIMEOUT(!program.readings[kFieldDate].Empty(), 10000);
    // The log's second day, typed without leading zeros.
    const auto second =
        FromConsoleTime(WeatherModel(ConsoleOptions{}.seed).HistoryStart() + std::chrono::days(1));
    const QString day =
        QStringLiteral("%1-%2-%3").arg(second.year).arg(second.month).arg(second.day);
    Type(panel, day.split(QLatin1Char('-')) + day.split(QLatin1Char('-')), kDateBoxes);
    Click(panel, "clearAll");
    for (const int set : {0, 2, 3, 5, 6, 8, 10}) {
      Find<QCheckBox>(panel, qPrintable(QStringLiteral("dataSet%1").arg(set)))->setChecked(true);
    }
    const QString ours = folder.filePath(QStringLiteral("window.csv"));
    fixture.dialogs.answer = ours;
    Click(panel, "export");
    QVERIFY(fixture.boxes.boxes.empty());
    QTRY_VERIFY_WITH_TIMEOUT(program.state.historyReady && !program.state.downloadActive, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(ours), 5000);

    const QString theirs = folder.filePath(QStringLiteral("cli.csv"));
    // Through the shell rather than QProcess, whose way of starting a child QEMU's user mode
    // refuses, so that the arm64 build runs this test too.
    const QString command =
        QStringLiteral("XDG_CONFIG_HOME='%1' '" NIMBREL_CLI
                       "' --simulate --temperature F --rain in --pressure inHg --wind knots "
                       "--pressure-type abs --direction 360 export --set "
                       "pressure,outdoor,rain,wind,dewpoint,ch1,ch3 --out '%2' --from %3 --to %3")
            .arg(folder.filePath("cfg"), theirs, day);
    QCOMPARE(std::system(command.toLocal8Bit().constData()), 0);
    QFile ourFile(ours), theirFile(theirs);
    QVERIFY(ourFile.open(QIODevice::ReadOnly) && theirFile.open(QIODevice::ReadOnly));
    const QByteArray bytes = ourFile.readAll();
    QVERIFY(bytes.size() > 1000 && bytes == theirFile.readAll());
    window.Shutdown();
    saved.rainUnit = RainUnit::Inch;
    saved.pressureType = PressureType::Absolute;
    QCOMPARE(fixture.Settings().ReadUnitSettings(), saved);
#endif
  }
};

}  // namespace nimbrel::ui::testing

QTEST_MAIN(nimbrel::ui::testing::SetupTest)
#include "setup_test.moc"
