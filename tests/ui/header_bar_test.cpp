#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QtTest>

#include "tests/ui/ui_fixture.h"
#include "ui/dashboard_panel.h"
#include "ui/header_bar_panel.h"
#include "ui/setup_panel.h"
#include "ui/status_bar_panel.h"

namespace nimbrel::ui::testing {

namespace {

QLabel* Tab(MainWindow& window, const char* name) {
  return window.HeaderBar().findChild<QLabel*>(QString::fromLatin1(name));
}

QComboBox* LanguageBox(MainWindow& window) {
  return window.HeaderBar().findChild<QComboBox*>(QStringLiteral("languageBox"));
}

}  // namespace

class HeaderBarTest : public QObject {
  Q_OBJECT

 private slots:
  // The shown tab merges with the panel below; the other is outlined grey on the button face.
  void TabsSwitchThePanelsAndTheOutlineFollows() {
    ProgramFixture fixture(std::nullopt);
    MainWindow& window = fixture.Open();
    const PanelLook& look = *fixture.Prog().look;
    const QColor grey{145, 145, 145};
    QLabel* dashboardTab = Tab(window, "dashboardTab");
    QLabel* setupTab = Tab(window, "setupTab");
    QVERIFY(dashboardTab && setupTab);
    const int bottom = setupTab->geometry().bottom() + 1;
    const QPoint under[] = {{dashboardTab->geometry().center().x(), bottom},
                            {setupTab->geometry().center().x(), bottom}};
    const QPoint face[] = {dashboardTab->geometry().topLeft() + QPoint(3, 3),
                           setupTab->geometry().topLeft() + QPoint(3, 3)};

    for (const int panel : {1, 2, 2, 1}) {  // the tab already shown changes nothing
      QTest::mouseClick(panel == 1 ? dashboardTab : setupTab, Qt::LeftButton);
      QCOMPARE(window.ShownPanel(), panel);
      QCOMPARE(window.Dashboard().isVisible(), panel == 1);
      QCOMPARE(window.Setup().isVisible(), panel == 2);
      const QImage picture = window.HeaderBar().grab().toImage();
      const int shown = panel - 1;
      const int other = 1 - shown;
      QCOMPARE(picture.pixelColor(under[shown]), look.PanelColor());
      QCOMPARE(picture.pixelColor(under[other]), grey);
      QCOMPARE(picture.pixelColor(face[shown]), look.PanelColor());
      QCOMPARE(picture.pixelColor(face[other]), look.ButtonFaceColor());
      // The line over the tabs and the one between them.
      QCOMPARE(picture.pixelColor(under[0].x(), 1), grey);
      QCOMPARE(picture.pixelColor(setupTab->width(), bottom / 2), grey);
    }
  }

  // Each step of the box relabels the header, the dashboard, the setup panel and the status bar.
  void LanguageBoxRelabelsEveryPanel() {
    ProgramFixture fixture(std::nullopt);
    MainWindow& window = fixture.Open();
    Program& program = fixture.Prog();
    QComboBox* box = LanguageBox(window);
    QStringList names;
    for (int i = 0; i < box->count(); ++i) {
      names << box->itemText(i);
    }
    QCOMPARE(names, (QStringList{"English", "Deutsch", "Français", "Italiano", "Español"}));

    const struct {
      QString dashboardTab, setupTab, logger, noConnection;
      bool smallSetupTab;
    } expected[] = {
        {"INSTRUMENTENTAFEL", "EXPORT & SETUP", "Datenlogger", "Keine Verbindung", false},
        {"TABLEAU DE BORD", "EXPORTATION ET CONFIGURATION", "Enregistrer des données",
         "Pas de connection", true},
        {"CRUSCOTTO", "EXPORT & SETUP", "logger", "Nessuna connessione", false},
        {"TABLERO", "EXPORTACIÓN Y CONFIGURACIÓN", "Registrar", "Sin conexión", true},
        {"DASHBOARD", "EXPORT & SETUP", "Logger", "No connection", false},
    };
    QLabel* setupTab = Tab(window, "setupTab");
    const auto* exportButton = window.Setup().findChild<QAbstractButton*>(QStringLiteral("export"));
    int position = 0;
    for (const auto& labels : expected) {
      // German to Spanish one step down the box, then back to the top for English.
      QTest::keyClick(box, position < 4 ? Qt::Key_Down : Qt::Key_Home);
      position = position < 4 ? position + 1 : 0;
      QCOMPARE(static_cast<int>(program.language), position);
      QCOMPARE(Tab(window, "dashboardTab")->text(), labels.dashboardTab);
      QCOMPARE(setupTab->text(), labels.setupTab);
      const QFont& font = program.look->Font(labels.smallSetupTab ? PanelLook::kSmallBoldFont
                                                                  : PanelLook::kTabFont);
      QCOMPARE(setupTab->font().pixelSize(), font.pixelSize());
      QCOMPARE(window.Dashboard().CaptionText(DashboardControl::kStampCaption), program.Text(58));
      QCOMPARE(exportButton->text(), program.Text(51));
      QCOMPARE(window.StatusBar().findChild<QLabel*>(QStringLiteral("loggerLabel"))->text(),
               labels.logger);
      QCOMPARE(window.StatusBar().ConnectionText(), labels.noConnection);
    }
  }

  // Start-up without a console, in the saved language (English when the saved one is unknown).
  void StartsInTheSavedLanguage() {
    for (const auto& [saved, language, noConnection] :
         {std::tuple{2, 2, "Pas de connection"}, std::tuple{7, 0, "No connection"}}) {
      ProgramFixture fixture(std::nullopt);
      QVERIFY(fixture.Settings().WriteLanguageAndService({saved, {}}));
      MainWindow& window = fixture.Open();
      QCOMPARE(static_cast<int>(fixture.Prog().language), language);
      QCOMPARE(LanguageBox(window)->currentIndex(), language);
      QCOMPARE(window.StatusBar().ConnectionText(), QString::fromUtf8(noConnection));
    }
  }
};

}  // namespace nimbrel::ui::testing

QTEST_MAIN(nimbrel::ui::testing::HeaderBarTest)
#include "header_bar_test.moc"
