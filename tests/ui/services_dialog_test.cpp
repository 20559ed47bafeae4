// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/services_dialog.h"
#include "service/composed_uploads.h"
#include "tests/ui/ui_fixture.h"
#ifdef NIMBREL_SERVICE_TEST_SERVER
#include "tests/support/service_test_server.h"
#endif

namespace nimbrel::ui::testing {

namespace {

constexpr auto Box = &RecordingMessageBoxes::Box;
using Icon = MessageBoxes::Icon;
constexpr ServerIndex kWu = ServerIndex::WeatherUnderground;

ServicesDialog& OpenDialog(MainWindow& window) {
  Click(window.Setup(), "servicesButton");
  auto* dialog = window.findChild<ServicesDialog*>();
  return dialog != nullptr ? *dialog : (qFatal("no services dialog"), *dialog);
}

void Type(ServicesDialog& dialog, const char* box, const QString& text) {
  Find<QLineEdit>(dialog, box)->setText(text);
}

// Every text the dialog shows: labels, boxes as displayed, placeholders.
QString Everything(const ServicesDialog& dialog) {
  QStringList texts;
  for (const QLabel* label : dialog.findChildren<QLabel*>()) {
    texts << label->text();
  }
  for (const QLineEdit* edit : dialog.findChildren<QLineEdit*>()) {
    texts << edit->displayText() << edit->placeholderText();
  }
  return texts.join(QLatin1Char('\n'));
}

// The dialog on the page of this name, grabbed to a PNG in $NIMBREL_SCREENSHOTS when it is set.
void Picture(ServicesDialog& dialog, int page, const QString& name) {
  Find<QTabWidget>(dialog, "serviceTabs")->setCurrentIndex(page);
  dialog.adjustSize();
  const QString folder = qEnvironmentVariable("NIMBREL_SCREENSHOTS");
  const QPixmap picture = dialog.grab();
  QVERIFY(!picture.isNull());
  if (!folder.isEmpty()) {
    QVERIFY(picture.save(QDir(folder).filePath(name)));
  }
}

}  // namespace

class ServicesDialogTest : public QObject {
  Q_OBJECT

 private slots:
  // From the setup panel's button to the stored settings: a wrong value is named and saves
  // nothing; OK saves what the command line reads back; a saved key never shows again and an
  // empty key box keeps it; the console's services share their ID and key with the panel; the
  // outcomes follow the stored state while the dialog is open.
  void DialogRoad() {
    ProgramFixture fixture;
    fixture.Settings().WriteStationIdAndKey(kWu, {u"KWU1", u"wusecret"});
    MainWindow& window = fixture.Open();
    SettingsBackend& backend = *fixture.Prog().settingsBackend;
    ServiceOutcomes outcomes;
    outcomes[static_cast<std::size_t>(WeatherService::kWindy)] = {
        std::chrono::sys_seconds{std::chrono::seconds{1'700'000'000}}, std::nullopt, "", false,
        std::nullopt};
    SaveServiceOutcomes(backend, outcomes);
    QSignalSpy saved(&window.Setup(), &SetupPanel::ServicesChanged);

    ServicesDialog& dialog = OpenDialog(window);
    QCOMPARE(Find<QLineEdit>(dialog, "wundergroundId")->text(), "KWU1");
    QCOMPARE(Find<QLabel>(dialog, "windyLastSuccess")->text(),
             QDateTime::fromSecsSinceEpoch(1'700'000'000).toString("yyyy-MM-dd HH:mm:ss"));
    QCOMPARE(Find<QLabel>(dialog, "cwopLastError")->text(), "none");

    Find<QCheckBox>(dialog, "pwsweatherOn")->setChecked(true);
    Type(dialog, "pwsweatherId", "PWS1");
    Find<QCheckBox>(dialog, "cwopOn")->setChecked(true);
    Type(dialog, "cwopId", "EW1234");
    Type(dialog, "cwopLatitude", "49.058333");
    Type(dialog, "cwopLongitude", "-72.029167");
    // Each wrong value in turn, named in a box while nothing is stored, then put right.
    const struct {
      const char* box;
      QString wrong;
      QString right;
      QString message;
    } rows[] = {
        {"pwsweatherKey", "", "pwskey",
         "PWSweather needs a station ID and a key before it can be switched on"},
        {"cwopLatitude", "49,05", "49.058333",
         "CWOP: the latitude takes decimal degrees such as 49.058333"},
        {"cwopEndpoint", "localhost", "127.0.0.1:14580", "CWOP: CWOP's server is HOST:PORT"},
        {"windyEndpoint", "ftp://example.org", "https://127.0.0.1:8443",
         "Windy: the endpoint must be an http:// or https:// URL with a host, without a query "
         "or a blank"},
    };
    auto& tabs = *Find<QTabWidget>(dialog, "serviceTabs");
    for (const auto& row : rows) {
      Type(dialog, row.box, row.wrong);
      tabs.setCurrentIndex(0);
      Click(dialog, "ok");
      QCOMPARE(fixture.boxes.boxes.back(), Box(&dialog, row.message, "Error", Icon::kError));
      QVERIFY(tabs.currentWidget()->isAncestorOf(Find<QLineEdit>(dialog, row.box)));
      QVERIFY(dialog.isVisible());
      QCOMPARE(LoadServicesSettings(backend).Of(WeatherService::kCwop).on, false);
      Type(dialog, row.box, row.right);
    }
    Find<QSpinBox>(dialog, "wowInterval")->setValue(30);
    Find<QCheckBox>(dialog, "windyCatchUp")->setChecked(false);
    Type(dialog, "wundergroundId", "KWU2");
    Click(dialog, "ok");
    QCOMPARE(fixture.boxes.boxes.size(), static_cast<qsizetype>(std::size(rows)));
    QTRY_VERIFY(window.findChild<ServicesDialog*>() == nullptr);
    QCOMPARE(saved.count(), 1);

    ServicesSettings expected;
    expected.Of(WeatherService::kPwsWeather) = {true, "PWS1", "pwskey", 5, true, "", ""};
    expected.Of(WeatherService::kWow).intervalMinutes = 30;
    expected.Of(WeatherService::kWindy).catchUp = false;
    expected.Of(WeatherService::kWindy).endpoint = "https://127.0.0.1:8443";
    expected.Of(WeatherService::kCwop) = {true, "EW1234", "", 10, false, "127.0.0.1:14580", ""};
    expected.latitude = 49.058333;
    expected.longitude = -72.029167;
    QCOMPARE(FormatServicesSettings(LoadServicesSettings(backend)),
             FormatServicesSettings(expected));
    // The console's ID goes to the store and to the panel's box; its key stays.
    QCOMPARE(fixture.Settings().ReadStationIdAndKey(kWu), (StationIdAndKey{u"KWU2", u"wusecret"}));
    QCOMPARE(Find<QLineEdit>(window.Setup(), "stationId")->text(), "KWU2");

    // Again: the keys are only said to be there; OK with empty key boxes keeps them. An outcome
    // written meanwhile shows without reopening.
    ServicesDialog& again = OpenDialog(window);
    QVERIFY(!Everything(again).contains("pwskey") && !Everything(again).contains("wusecret"));
    QVERIFY(Find<QLineEdit>(again, "pwsweatherKey")->placeholderText().startsWith("***"));
    outcomes[static_cast<std::size_t>(WeatherService::kCwop)] = {
        std::nullopt, std::chrono::sys_seconds{std::chrono::seconds{1'700'000'060}},
        "connection refused", true, std::nullopt};
    SaveServiceOutcomes(backend, outcomes);
    QTRY_VERIFY_WITH_TIMEOUT(
        Find<QLabel>(again, "cwopLastError")->text().startsWith("connection refused ("), 30000);
    Click(again, "ok");
    QTRY_VERIFY(window.findChild<ServicesDialog*>() == nullptr);
    QCOMPARE(LoadServicesSettings(backend).Of(WeatherService::kPwsWeather).key, "pwskey");

    // With Auto Upload on, the console's ID and key are locked here as on the panel.
    SetupPanel& panel = window.Setup();
    Find<QLineEdit>(panel, "stationKey")->setText("wusecret");
    Click(panel, "autoUpload");
    ServicesDialog& locked = OpenDialog(window);
    QVERIFY(Find<QCheckBox>(locked, "wundergroundOn")->isChecked());
    QVERIFY(!Find<QLineEdit>(locked, "wundergroundId")->isEnabled());
    Picture(locked, 0, QStringLiteral("services-dialog-wu-en.png"));
    Picture(locked, 5, QStringLiteral("services-dialog-cwop-en.png"));
    Click(locked, "cancel");
    QTRY_VERIFY(window.findChild<ServicesDialog*>() == nullptr);
    window.ShowPanel(2);
    const QPixmap setup = window.grab();
    if (const QString folder = qEnvironmentVariable("NIMBREL_SCREENSHOTS"); !folder.isEmpty()) {
      QVERIFY(setup.save(QDir(folder).filePath("setup-services-en.png")));
    }
  }

  // The window uploads to every service that is on while it holds the console, and its dialog's
  // OK starts the ones switched on there at once; the outcomes are stored where the dialog and
  // `services list` read them.
  void WindowUploadsToTheServicesThatAreOn() {
#ifndef NIMBREL_SERVICE_TEST_SERVER
    QSKIP("the services' test servers run where python does");
#else
    using nimbrel::testing::ServiceTestServer;
    ServiceTestServer aprs(ServiceTestServer::Kind::kAprs);
    ServiceTestServer web(ServiceTestServer::Kind::kHttp);
    QVERIFY(aprs.Port() != 0 && web.Port() != 0);
    ConsoleOptions console = QuietConsole();
    console.periods.live = std::chrono::seconds(2);
    ProgramFixture fixture(console);
    ServicesSettings settings;
    settings.Of(WeatherService::kCwop) = {
        true, "EW1234", "", 10, false, "127.0.0.1:" + std::to_string(aprs.Port()), ""};
    settings.latitude = 49.058333;
    settings.longitude = -72.029167;
    settings.Of(WeatherService::kPwsWeather) = {false, "PWS1",          "pwskey", 5,
                                                true,  web.Url("/pws"), ""};
    QVERIFY(SaveServicesSettings(fixture.Backend(), settings));
    MainWindow& window = fixture.Open();
    QVERIFY(window.Services() != nullptr);
    QVERIFY(window.Services()->Running(WeatherService::kCwop));
    // The live text comes through the event loop, which must run meanwhile.
    const auto sent = [](ServiceTestServer& server, std::size_t count) {
      return server.Requests(count, std::chrono::milliseconds(0));
    };
    QTRY_VERIFY_WITH_TIMEOUT(sent(aprs, 2).size() >= 2, 60000);
    const auto packets = sent(aprs, 2);
    QVERIFY(
        QString::fromStdString(packets[1])
            .contains(QRegularExpression("^EW1234>APRS,TCPIP\\*:@\\d{6}z4903\\.50N/07201\\.75W_")));
    QTRY_VERIFY_WITH_TIMEOUT(
        LoadServiceOutcomes(fixture.Backend())[std::size_t{3}].lastSuccess.has_value(), 30000);

    ServicesDialog& dialog = OpenDialog(window);
    Find<QCheckBox>(dialog, "pwsweatherOn")->setChecked(true);
    Click(dialog, "ok");
    QVERIFY(window.Services()->Running(WeatherService::kPwsWeather));
    QTRY_VERIFY_WITH_TIMEOUT(!sent(web, 1).empty(), 60000);
    const auto requests = sent(web, 1);
    QVERIFY(requests[0].starts_with("/pws?") && requests[0].find("ID=PWS1&") != std::string::npos);

    fixture.Console()->Unplug();
    fixture.PollDeviceChanges();
    QVERIFY(window.Services() == nullptr);
#endif
  }

  // The German dialog: its texts are our own, and the pictures show nothing cut.
  void GermanTexts() {
    ProgramFixture fixture;
    fixture.Settings().WriteLanguageAndService({1, kWu});
    MainWindow& window = fixture.Open();
    ServicesDialog& dialog = OpenDialog(window);
    QCOMPARE(dialog.windowTitle(), "Wetterdienste");
    QCOMPARE(Find<QCheckBox>(dialog, "windyCatchUp")->text(),
             "Verpasste Messwerte nachsenden (bis 2 Stunden zurück)");
    Picture(dialog, 3, QStringLiteral("services-dialog-wow-de.png"));
    Picture(dialog, 5, QStringLiteral("services-dialog-cwop-de.png"));
  }
};

}  // namespace nimbrel::ui::testing

QTEST_MAIN(nimbrel::ui::testing::ServicesDialogTest)
#include "services_dialog_test.moc"
