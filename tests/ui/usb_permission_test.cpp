#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>

#include "platform/hidapi_backend.h"
#include "platform/settings_files.h"
#include "tests/ui/ui_fixture.h"

namespace nimbrel::ui::testing {

namespace {

// Lists the console; opening it fails for the reason the test sets.
class RefusingBackend : public HidBackend {
 public:
  explicit RefusingBackend(OpenFailure failure) : failure_(failure) {}
  std::vector<HidInterfaceInfo> Enumerate() override {
    return {
        {"/dev/hidraw7", kStationVendorId, kStationProductId, kStationUsagePage, kStationUsage}};
  }
  std::unique_ptr<StationTransport> Open(const std::string&) override { return nullptr; }
  OpenFailure WhyOpenFailed(const std::string&) override { return failure_; }

 private:
  OpenFailure failure_;
};

// The program as the entry point builds it, on a console that cannot be opened.
struct RefusedProgram {
  explicit RefusedProgram(OpenFailure failure)
      : program(std::make_unique<RefusingBackend>(failure),
                std::make_unique<FileSettingsBackend>(
                    std::filesystem::path(settingsFolder.path().toStdString())),
                boxes, dialogs),
        window(program) {
    window.show();
    window.Start();
  }
  // A few turns of the event loop, for anything queued to show.
  void Settle() {
    QCoreApplication::processEvents();
    QTest::qWait(20);
  }

  QTemporaryDir settingsFolder;
  RecordingMessageBoxes boxes;
  ScriptedFileDialogs dialogs;
  Program program;
  MainWindow window;
};

}  // namespace

// The console is plugged in, but this user may not open it.
class UsbPermissionTest : public QObject {
  Q_OBJECT

 private slots:
  void ARefusedConsoleIsToldOnceWithTheFix() {
    RefusedProgram run(OpenFailure::kPermission);
    QTRY_COMPARE(run.boxes.boxes.size(), std::size_t{1});
    const RecordingMessageBoxes::Box& box = run.boxes.boxes.front();
    QCOMPARE(box.owner, &run.window);
    QCOMPARE(box.caption, QStringLiteral("Error"));
    QCOMPARE(box.icon, MessageBoxes::Icon::kError);
    QCOMPARE(box.text, QString::fromUtf8(kNoPermissionText));
    QVERIFY(box.text.contains(QStringLiteral("udevadm trigger")));

    // Plugged in again with the rule still missing: not told again.
    run.window.DeviceChanged(DeviceEvent::kRemoval, "/sys/devices/usb1/1-1:1941:8021");
    run.window.DeviceChanged(DeviceEvent::kArrival, "/sys/devices/usb1/1-1:1941:8021");
    run.Settle();
    QVERIFY(run.program.state.linkConnected);
    QCOMPARE(run.boxes.boxes.size(), std::size_t{1});
    run.window.Shutdown();
  }

  void OtherFailuresAreNotBlamedOnPermissions() {
    RefusedProgram run(OpenFailure::kOther);
    run.Settle();
    QVERIFY(run.boxes.boxes.empty());
    run.window.Shutdown();
  }
};

}  // namespace nimbrel::ui::testing

QTEST_MAIN(nimbrel::ui::testing::UsbPermissionTest)
#include "usb_permission_test.moc"
