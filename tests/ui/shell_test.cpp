// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>
#include <fstream>

#include "app/app_options.h"
#include "i18n/own_texts.h"
#include "platform/console_lock.h"
#include "platform/hidapi_backend.h"
#include "tests/ui/ui_fixture.h"
#include "ui/help_document.h"
#include "ui/history_chart_view.h"
#include "ui/history_panel.h"
#include "ui/records_panel.h"

namespace nimbrel::ui::testing {

namespace {

// The contrast ratio of two colours, from 1 (the same) to 21 (black on white).
double Contrast(const QColor& a, const QColor& b) {
  const auto luminance = [](const QColor& colour) {
    double sum = 0.05;
    for (const auto& [c, weight] :
         {std::pair{colour.redF(), 0.2126}, {colour.greenF(), 0.7152}, {colour.blueF(), 0.0722}}) {
      sum += weight * (c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    return sum;
  };
  return std::max(luminance(a), luminance(b)) / std::min(luminance(a), luminance(b));
}

// Whether `text` fits the width of `widget` less `mark` pixels (a check box's square).
bool TextFits(const QWidget& widget, const QString& text, int mark) {
  return QFontMetrics(widget.font()).horizontalAdvance(text) + mark <= widget.width();
}

}  // namespace

// Start-up (Qt's options, the window's own colours, a console that may not be opened, the help),
// and the window in each language.
class ShellTest : public QObject {
  Q_OBJECT

 private slots:
  // Started as a session manager restores a dark desktop (see main below): Qt takes its own
  // options, and the window keeps its own colours.
  void StartsUnderADarkDesktopWithoutAConsole() {
    const std::vector<std::string> left = app::ArgumentsLeftByQt();
    app::AppOptions options;
    QCOMPARE(app::ParseAppOptions({left.begin(), left.end()}, options), std::nullopt);
    QVERIFY(options.simulated);
    ProgramFixture fixture(std::nullopt);
    MainWindow& window = fixture.Open();
    // The icon is drawn when asked for, at the size asked for.
    const QImage icon = window.windowIcon().pixmap(48).toImage();
    QVERIFY(icon.size() == QSize(48, 48) && qAlpha(icon.pixel(24, 24)) > 0);
    QVERIFY(!fixture.Prog().state.linkConnected && !fixture.Prog().reader.Running());
    // Typed text and check marks against their boxes, and each tab's text against its face.
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
      QVERIFY2(Contrast(widget->palette().color(QPalette::Text),
                        widget->palette().color(QPalette::Base)) >= 4.5,
               qPrintable(widget->objectName()));
    }
    for (const QLabel* tab : window.HeaderBar().findChildren<QLabel*>()) {
      QVERIFY2(Contrast(tab->palette().color(tab->foregroundRole()),
                        tab->palette().color(tab->backgroundRole())) >= 4.5,
               qPrintable(tab->objectName()));
    }
    // Export, and the check of an automatic upload, wait for a console.
    SetupPanel& setup = window.Setup();
    Find<QCheckBox>(setup, "wholePeriod")->setChecked(true);
    setup.Export();
    Find<QLineEdit>(setup, "stationId")->setText(QStringLiteral("id"));
    Find<QLineEdit>(setup, "stationKey")->setText(QStringLiteral("key"));
    Find<QCheckBox>(setup, "autoUpload")->click();
    QVERIFY(fixture.dialogs.calls == 0 && fixture.Prog().servers.Selected().autoUpload);
    QVERIFY(!setup.UploadCheckRunning(ServerIndex::WeatherUnderground));
    // "&&" of the pack shows as one "&".
    QCOMPARE(Find<QCheckBox>(setup, "dataSet1")->text(), "Indoor temperature && humidity");
  }

  // The console is plugged in, but this user may not open it: told once a run, with the fix, in
  // a box of the main window, even when plugged in again. Other failures are not blamed on
  // permissions.
  void ARefusedConsoleIsToldOnceWithTheFix() {
    for (const OpenFailure failure : {OpenFailure::kPermission, OpenFailure::kOther}) {
      ProgramFixture fixture(ScriptedConsole{nullptr, failure});
      MainWindow& window = fixture.Open();
      for (const DeviceEvent event : {DeviceEvent::kRemoval, DeviceEvent::kArrival}) {
        QTest::qWait(20);
        window.DeviceChanged(event, "/sys/devices/usb1/1-1:1941:8021");
      }
      QTest::qWait(20);
      QVERIFY(fixture.Prog().state.linkConnected);
      const QString told = RecordingMessageBoxes::Box(&window, QString::fromUtf8(kNoPermissionText),
                                                      "Error", MessageBoxes::Icon::kError);
      QCOMPARE(fixture.boxes.boxes,
               failure == OpenFailure::kOther ? QStringList() : QStringList{told});
      QVERIFY(told.contains(QStringLiteral("udevadm trigger")));
    }
  }

  // Another program holds the console's lock: the window leaves the console alone, says who in
  // its status bar at every arrival and once in a box, and takes it at the arrival after it is
  // free.
  void AConsoleOwnedElsewhereIsLeftAloneAndToldOnce() {
    QTemporaryDir folder;
    const std::string node = folder.filePath(QStringLiteral("hidraw0")).toStdString();
    std::ofstream{node};
    ConsoleClaim other = ConsoleClaim::Take(node);
    QVERIFY(other.lock);
    ConsoleOptions console = QuietConsole();
    console.lockNode = node;
    ProgramFixture fixture(console);
    MainWindow& window = fixture.Open();
    for (const DeviceEvent event :
         {DeviceEvent::kRemoval, DeviceEvent::kArrival, DeviceEvent::kArrival}) {
      window.DeviceChanged(event, "/sys/devices/usb1/1-1:1941:8021");
    }
    QTest::qWait(20);
    const QString told = window.StatusBar().ProgressText();
    QVERIFY(!fixture.Prog().state.linkConnected);
    QVERIFY(told.startsWith(QStringLiteral("The console is in use by ")));
    QVERIFY(told.endsWith(QStringLiteral(" (pid %1).").arg(QCoreApplication::applicationPid())));
    QCOMPARE(fixture.boxes.boxes.size(), 1);
    QVERIFY(fixture.boxes.boxes.front().contains(told));
    other.lock.reset();
    window.DeviceChanged(DeviceEvent::kArrival, "/sys/devices/usb1/1-1:1941:8021");
    QVERIFY(fixture.Prog().state.linkConnected);
  }

  // The help document beside the program (the build tree) comes before the installed one in
  // <prefix>/share/doc/nimbrel; the viewer is asked for the one beside when there is none.
  void FindsTheHelpDocument() {
    QTemporaryDir prefix;
    const QString bin = prefix.filePath(QStringLiteral("bin"));
    const QString beside = bin + QStringLiteral("/Nimbrel_help.pdf");
    const QString installed = prefix.filePath(QStringLiteral("share/doc/nimbrel/Nimbrel_help.pdf"));
    QVERIFY(QDir().mkpath(bin) && QDir().mkpath(QFileInfo(installed).path()));
    QCOMPARE(HelpDocumentPath(bin), beside);
    // The installed one alone is found by the install test, through the installed layout.
    QVERIFY(QFile(installed).open(QIODevice::WriteOnly) &&
            QFile(beside).open(QIODevice::WriteOnly));
    QCOMPARE(HelpDocumentPath(bin), beside);
  }

  // Each step of the language box relabels the header, the dashboard, the setup panel (its
  // upload indicator included) and the status bar, and every text of the setup panel fits its
  // place; long tab texts take a smaller font. The tabs switch the panels in every language.
  void LanguageBoxRelabelsEveryPanel() {
    ProgramFixture fixture;
    MainWindow& window = fixture.Open();
    Program& program = fixture.Prog();
    SetupPanel& setup = window.Setup();
    program.servers.Selected().uploadStatus = UploadStatus::Failed;  // its longest text
    setup.Relabel();
    auto* box = Find<QComboBox>(window.HeaderBar(), "languageBox");
    QLabel* const tabs[] = {Find<QLabel>(window.HeaderBar(), "dashboardTab"),
                            Find<QLabel>(window.HeaderBar(), "setupTab"),
                            Find<QLabel>(window.HeaderBar(), "historyTab"),
                            Find<QLabel>(window.HeaderBar(), "recordsTab")};
    QWidget* const panels[] = {&window.Dashboard(), &setup, &window.History(), &window.Records()};
    const struct {
      QString name, tabs, logger, connected, fail;
      bool smallSetupTab;
    } expected[] = {
        {"English", "DASHBOARD / EXPORT & SETUP / HISTORY / RECORDS", "Logger", "USB connected",
         "FAIL", false},
        {"Deutsch", "INSTRUMENTENTAFEL / EXPORT & SETUP / VERLAUF / REKORDE", "Datenlogger",
         "USB verbunden", "FEHLGESCHLAGEN", false},
        {"Français", "TABLEAU DE BORD / EXPORTATION ET CONFIGURATION / HISTORIQUE / RECORDS",
         "Enregistrer des données", "USB connecté", "ÉCHOUER", true},
        {"Italiano", "CRUSCOTTO / EXPORT & SETUP / STORICO / RECORD", "logger", "USB collegato",
         "FALLIRE", false},
        {"Español", "TABLERO / EXPORTACIÓN Y CONFIGURACIÓN / HISTORIAL / RÉCORDS", "Registrar",
         "USB conectado", "FALLO", true},
    };
    for (int position = 0; position <= 5; ++position) {
      // Down the box from English to Spanish, then back to the top for English.
      if (position > 0) {
        QTest::keyClick(box, position < 5 ? Qt::Key_Down : Qt::Key_Home);
      }
      const auto& labels = expected[position % 5];
      QCOMPARE(box->itemText(position % 5), labels.name);
      QCOMPARE(static_cast<int>(program.language), position % 5);
      QCOMPARE(tabs[0]->text() + " / " + tabs[1]->text() + " / " + tabs[2]->text() + " / " +
                   tabs[3]->text(),
               labels.tabs);
      QVERIFY2(TextFits(*tabs[3], tabs[3]->text(), 0), qPrintable(tabs[3]->text()));
      QCOMPARE(tabs[1]->font() != tabs[0]->font(), labels.smallSetupTab);
      QCOMPARE(window.Dashboard().CaptionText(DashboardControl::kStampCaption), program.Text(58));
      QCOMPARE(Find<QAbstractButton>(setup, "export")->text(), program.Text(51));
      QCOMPARE(Find<QLabel>(window.StatusBar(), "loggerLabel")->text(), labels.logger);
      QCOMPARE(window.StatusBar().ConnectionText(), labels.connected);
      QCOMPARE(Find<QLabel>(setup, "uploadText")->text(), labels.fail);
      for (const QLabel* label : setup.findChildren<QLabel*>()) {
        QVERIFY2(TextFits(*label, label->text(), 0), qPrintable(label->text()));
      }
      for (const QCheckBox* check : setup.findChildren<QCheckBox*>()) {
        QVERIFY2(TextFits(*check, check->text().replace("&&", "&"), 20), qPrintable(check->text()));
      }
      // The shown tab takes the panel's colour, so that it opens into the panel; the others are
      // on the button face. Without an archive the history and the records say so.
      for (int shown = 0; shown < 4; ++shown) {
        QTest::mouseClick(tabs[shown], Qt::LeftButton);
        for (int tab = 0; tab < 4; ++tab) {
          QCOMPARE(panels[tab]->isVisible(), tab == shown);
          QCOMPARE(tabs[tab]->palette().color(QPalette::Window),
                   tab == shown ? program.look->PanelColor() : program.look->ButtonFaceColor());
        }
      }
      QCOMPARE(window.History().View().Note(), program.OwnText(kOwnChartNoArchive));
      QCOMPARE(window.Records().Note(), program.OwnText(kOwnChartNoArchive));
      QCOMPARE(window.Records().Table().titles[0], program.OwnText(kOwnFirstRecordsPeriod));
    }
  }
};

}  // namespace nimbrel::ui::testing

// A dark desktop, and Qt's own options before ours, as a session manager restoring it passes them.
int main(int argc, char** argv) {
  char session[] = "-session", name[] = "xyz", style[] = "-style", fusion[] = "fusion",
       simulate[] = "--simulate";
  char* args[] = {argv[0], session, name, style, fusion, simulate, nullptr};
  int count = 6;
  QApplication application(count, args);
  QApplication::setPalette(QPalette(QColor(53, 53, 53), QColor(45, 45, 45)));
  nimbrel::ui::testing::ShellTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "shell_test.moc"
