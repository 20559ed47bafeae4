#include <QtTest>

#include "tests/ui/ui_fixture.h"
#include "ui/status_bar_panel.h"

namespace nimbrel::ui::testing {

// Start-up, arrival and removal, as the main window runs them.
class ShellTest : public QObject {
  Q_OBJECT

 private slots:
  void StartsWithoutAConsoleAndWaits() {
    ProgramFixture fixture(std::nullopt);
    MainWindow& window = fixture.Open();
    QCOMPARE(window.windowTitle(), QStringLiteral("NIMBREL"));
    QCOMPARE(window.size(), QSize(900, 600));
    QVERIFY(!fixture.Prog().state.linkConnected);
    QVERIFY(!fixture.Prog().reader.Running());
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

QTEST_MAIN(nimbrel::ui::testing::ShellTest)
#include "shell_test.moc"
