#include <QLabel>
#include <QtTest>
#include <algorithm>
#include <cmath>

#include "app/app_options.h"
#include "tests/ui/ui_fixture.h"
#include "ui/header_bar_panel.h"
#include "ui/status_bar_panel.h"

namespace nimbrel::ui::testing {

namespace {

// The contrast ratio of two colours, from 1 (the same) to 21 (black on white).
double Contrast(const QColor& a, const QColor& b) {
  const auto luminance = [](const QColor& colour) {
    const auto linear = [](double c) {
      return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
  };
  const double first = luminance(a);
  const double second = luminance(b);
  return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

}  // namespace

// Start-up, arrival and removal, as the main window runs them.
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
    QCOMPARE(window.windowTitle(), QStringLiteral("NIMBREL"));
    QCOMPARE(window.size(), QSize(900, 600));
    QVERIFY(!window.windowIcon().isNull());
    QVERIFY(!fixture.Prog().state.linkConnected);
    QVERIFY(!fixture.Prog().reader.Running());

    // Typed text and check marks against their boxes, and each tab's text against its face.
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
      QVERIFY2(Contrast(widget->palette().color(QPalette::Text),
                        widget->palette().color(QPalette::Base)) >= 4.5,
               qPrintable(widget->objectName()));
    }
    for (const QLabel* tab : window.HeaderBar().findChildren<QLabel*>()) {
      const QPalette& colours = tab->palette();
      QVERIFY2(Contrast(colours.color(tab->foregroundRole()),
                        colours.color(tab->backgroundRole())) >= 4.5,
               qPrintable(tab->objectName()));
    }
  }

  void ConnectsToTheSimulatedConsoleAndFollowsItsCable() {
    ProgramFixture fixture;
    fixture.Open();
    Program& program = fixture.Prog();
    QVERIFY(program.state.linkConnected);
    QVERIFY(program.reader.Running());

    fixture.Console()->Unplug();
    fixture.PollDeviceChanges();
    QVERIFY(!program.state.linkConnected);
    QVERIFY(program.state.downloadCancelled);
    QVERIFY(!program.state.downloadActive);

    fixture.Console()->Plug();
    fixture.PollDeviceChanges();
    QVERIFY(program.state.linkConnected);
    QVERIFY(program.reader.Running());
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
