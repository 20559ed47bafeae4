// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/ui/ui_fixture.h"

#include "platform/settings_files.h"

namespace nimbrel::ui::testing {

namespace {

// Lists the scripted console, if any; each opening hands out the test's transport.
class ScriptedBackend : public HidBackend {
 public:
  explicit ScriptedBackend(std::optional<ScriptedConsole> console) : console_(console) {}
  std::vector<HidInterfaceInfo> Enumerate() override {
    return console_
               ? std::vector<HidInterfaceInfo>{{"/dev/hidraw7", kStationVendorId, kStationProductId,
                                                kStationUsagePage, kStationUsage}}
               : std::vector<HidInterfaceInfo>{};
  }
  std::unique_ptr<StationTransport> Open(const std::string&) override {
    return console_->transport ? std::make_unique<Handle>(*console_->transport) : nullptr;
  }
  OpenFailure WhyOpenFailed(const std::string&) override { return console_->failure; }

 private:
  struct Handle : StationTransport {
    explicit Handle(StationTransport& transport) : to(transport) {}
    ReadResult ReadFrame(StationFrame& frame, std::chrono::milliseconds timeout) override {
      return to.ReadFrame(frame, timeout);
    }
    bool WriteCommand(const StationCommand& command) override { return to.WriteCommand(command); }
    bool IsValid() const override { return to.IsValid(); }
    StationTransport& to;
  };
  std::optional<ScriptedConsole> console_;
};

}  // namespace

ConsoleOptions QuietConsole() {
  ConsoleOptions options;
  options.liveLines = std::vector<std::string>{kLiveLine};
  options.periods = {std::chrono::hours(1), std::chrono::hours(0), std::chrono::hours(0),
                     std::chrono::hours(1)};
  return options;
}

ProgramFixture::ProgramFixture(std::optional<ConsoleOptions> console)
    : settingsBackend_(std::make_unique<FileSettingsBackend>(settingsFolder_.path().toStdString())),
      settings_(std::make_unique<SettingsStore>(*settingsBackend_)),
      source_(console ? MakeConsoleSource(console) : ConsoleSource{}) {
  if (!console) {
    source_.backend = std::make_unique<ScriptedBackend>(std::nullopt);
  }
}

ProgramFixture::ProgramFixture(ScriptedConsole console) : ProgramFixture(std::nullopt) {
  source_.backend = std::make_unique<ScriptedBackend>(console);
}

MainWindow& ProgramFixture::Open() {
  program_ = std::make_unique<Program>(
      std::move(source_.backend),
      std::make_unique<FileSettingsBackend>(settingsFolder_.path().toStdString()), boxes, dialogs);
  program_->ReadSavedSettings();
  window_ = std::make_unique<MainWindow>(*program_);
  window_->show();
  window_->Start();
  return *window_;
}

void ProgramFixture::PollDeviceChanges() {
  while (const auto change = source_.PollSimulatedChange()) {
    window_->DeviceChanged(change->event, change->path);
  }
}

}  // namespace nimbrel::ui::testing
