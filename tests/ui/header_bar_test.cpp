#include <QComboBox>
#include <QLabel>
#include <QSignalSpy>
#include <QtTest>

#include "tests/ui/ui_fixture.h"
#include "ui/dashboard_panel.h"
#include "ui/header_bar_panel.h"
#include "ui/setup_panel.h"
#include "ui/status_bar_panel.h"

namespace nimbrel::ui::testing {

namespace {

const QColor kOutlineGrey{145, 145, 145};

QLabel* Tab(MainWindow& window, const char* name) {
  return window.HeaderBar().findChild<QLabel*>(QString::fromLatin1(name));
}

QComboBox* LanguageBox(MainWindow& window) {
  return window.HeaderBar().findChild<QComboBox*>(QStringLiteral("languageBox"));
}

// The header bar as the screen shows it: its own painting and its tabs.
QImage HeaderPicture(MainWindow& window) {
  return window.HeaderBar().grab().toImage();
}

struct Labels {
  QString dashboardTab;
  QString setupTab;
  QString logger;
  QString noConnection;
  bool smallSetupTab;
};

}  // namespace

class HeaderBarTest : public QObject {
  Q_OBJECT

 private slots:
  void TabsSwitchThePanelsAndTheOutlineFollows() {
    ProgramFixture fixture(std::nullopt);
    MainWindow& window = fixture.Open();
    const PanelLook& look = *fixture.Prog().look;
    QVERIFY(look.PanelColor() != look.ButtonFaceColor());
    QLabel* dashboardTab = Tab(window, "dashboardTab");
    QLabel* setupTab = Tab(window, "setupTab");
    QVERIFY(dashboardTab && setupTab);
    QSignalSpy requests(&window.HeaderBar(), &HeaderBarPanel::ShowPanelRequested);

    // Under each tab, on the outline's bottom line; and a corner of each tab's face.
    const int bottom = setupTab->geometry().bottom() + 1;
    const QPoint underDashboard(dashboardTab->geometry().center().x(), bottom);
    const QPoint underSetup(setupTab->geometry().center().x(), bottom);
    const QPoint dashboardFace = dashboardTab->geometry().topLeft() + QPoint(3, 3);
    const QPoint setupFace = setupTab->geometry().topLeft() + QPoint(3, 3);

    QCOMPARE(window.ShownPanel(), 1);
    QImage picture = HeaderPicture(window);
    QCOMPARE(picture.pixelColor(underDashboard), look.PanelColor());
    QCOMPARE(picture.pixelColor(underSetup), kOutlineGrey);
    QCOMPARE(picture.pixelColor(dashboardFace), look.PanelColor());
    QCOMPARE(picture.pixelColor(setupFace), look.ButtonFaceColor());
    // The line over the tabs and the one between them.
    QCOMPARE(picture.pixelColor(underDashboard.x(), 1), kOutlineGrey);
    QCOMPARE(picture.pixelColor(setupTab->width(), bottom / 2), kOutlineGrey);

    QTest::mouseClick(setupTab, Qt::LeftButton);
    QCOMPARE(window.ShownPanel(), 2);
    QVERIFY(window.Setup().isVisible());
    QVERIFY(!window.Dashboard().isVisible());
    picture = HeaderPicture(window);
    QCOMPARE(picture.pixelColor(underDashboard), kOutlineGrey);
    QCOMPARE(picture.pixelColor(underSetup), look.PanelColor());
    QCOMPARE(picture.pixelColor(dashboardFace), look.ButtonFaceColor());
    QCOMPARE(picture.pixelColor(setupFace), look.PanelColor());

    // A click on the tab already shown asks again and changes nothing.
    QTest::mouseClick(setupTab, Qt::LeftButton);
    QCOMPARE(window.ShownPanel(), 2);
    QVERIFY(window.Setup().isVisible());

    QTest::mouseClick(dashboardTab, Qt::LeftButton);
    QCOMPARE(window.ShownPanel(), 1);
    QVERIFY(window.Dashboard().isVisible());
    QVERIFY(!window.Setup().isVisible());
    QCOMPARE(HeaderPicture(window).pixelColor(underDashboard), look.PanelColor());

    QCOMPARE(requests.count(), 3);
    QCOMPARE(requests.at(0).at(0).toInt(), 2);
    QCOMPARE(requests.at(1).at(0).toInt(), 2);
    QCOMPARE(requests.at(2).at(0).toInt(), 1);
  }

  void LanguageBoxSwitchesAllFiveLanguages() {
    ProgramFixture fixture(std::nullopt);
    MainWindow& window = fixture.Open();
    Program& program = fixture.Prog();
    QComboBox* box = LanguageBox(window);
    QVERIFY(box);
    QCOMPARE(box->count(), 5);
    const QStringList ownNames{QStringLiteral("English"), QStringLiteral("Deutsch"),
                               QStringLiteral("Français"), QStringLiteral("Italiano"),
                               QStringLiteral("Español")};
    for (int i = 0; i < box->count(); ++i) {
      QCOMPARE(box->itemText(i), ownNames.at(i));
    }
    QCOMPARE(box->font().pixelSize(), program.look->Font(PanelLook::kSmallBoldFont).pixelSize());

    const Labels expected[] = {
        {"INSTRUMENTENTAFEL", "EXPORT & SETUP", "Datenlogger", "Keine Verbindung", false},
        {"TABLEAU DE BORD", "EXPORTATION ET CONFIGURATION", "Enregistrer des données",
         "Pas de connection", true},
        {"CRUSCOTTO", "EXPORT & SETUP", "logger", "Nessuna connessione", false},
        {"TABLERO", "EXPORTACIÓN Y CONFIGURACIÓN", "Registrar", "Sin conexión", true},
        {"DASHBOARD", "EXPORT & SETUP", "Logger", "No connection", false},
    };
    QSignalSpy changes(&window.HeaderBar(), &HeaderBarPanel::LanguageChanged);
    QLabel* dashboardTab = Tab(window, "dashboardTab");
    QLabel* setupTab = Tab(window, "setupTab");
    StatusBarPanel& status = window.StatusBar();
    const QFont& tabFont = program.look->Font(PanelLook::kTabFont);
    const QFont& smallFont = program.look->Font(PanelLook::kSmallBoldFont);

    int position = 0;
    for (const Labels& labels : expected) {
      // German to Spanish one step down the box, then back to the top for English.
      QTest::keyClick(box, position < 4 ? Qt::Key_Down : Qt::Key_Home);
      position = position < 4 ? position + 1 : 0;
      QCOMPARE(static_cast<int>(program.language), position);
      QCOMPARE(box->currentIndex(), position);
      QCOMPARE(dashboardTab->text(), labels.dashboardTab);
      QCOMPARE(setupTab->text(), labels.setupTab);
      const QFont& expectedFont = labels.smallSetupTab ? smallFont : tabFont;
      QCOMPARE(setupTab->font().pixelSize(), expectedFont.pixelSize());
      QCOMPARE(setupTab->font().weight(), expectedFont.weight());
      QCOMPARE(dashboardTab->font().pixelSize(), tabFont.pixelSize());
      QCOMPARE(status.findChild<QLabel*>(QStringLiteral("loggerLabel"))->text(), labels.logger);
      // Unplugged, the connection text follows the language too.
      QCOMPARE(status.ConnectionText(), labels.noConnection);
    }
    QCOMPARE(changes.count(), 5);
  }

  void StartsInTheSavedLanguage_data() {
    QTest::addColumn<int>("savedLanguage");
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("dashboardTab");
    QTest::addColumn<QString>("noConnection");
    QTest::newRow("French") << 2 << 2 << QStringLiteral("TABLEAU DE BORD")
                            << QStringLiteral("Pas de connection");
    QTest::newRow("out of range") << 7 << 0 << QStringLiteral("DASHBOARD")
                                  << QStringLiteral("No connection");
  }

  void StartsInTheSavedLanguage() {
    QFETCH(int, savedLanguage);
    QFETCH(int, language);
    QFETCH(QString, dashboardTab);
    QFETCH(QString, noConnection);
    ProgramFixture fixture(std::nullopt);
    QVERIFY(fixture.Settings().WriteLanguageAndService({savedLanguage, {}}));
    MainWindow& window = fixture.Open();
    QCOMPARE(static_cast<int>(fixture.Prog().language), language);
    QCOMPARE(LanguageBox(window)->currentIndex(), language);
    QCOMPARE(Tab(window, "dashboardTab")->text(), dashboardTab);
    QCOMPARE(window.StatusBar().ConnectionText(), noConnection);
  }
};

}  // namespace nimbrel::ui::testing

QTEST_MAIN(nimbrel::ui::testing::HeaderBarTest)
#include "header_bar_test.moc"
