#include "tests/ui/ui_fixture.h"

#include "platform/settings_files.h"
#include "station/device.h"

namespace nimbrel::ui::testing {

namespace {

// Lists nothing: no console is plugged in.
class NoConsoleBackend : public HidBackend {
 public:
  std::vector<HidInterfaceInfo> Enumerate() override { return {}; }
  std::unique_ptr<StationTransport> Open(const std::string&) override { return nullptr; }
};

}  // namespace

ProgramFixture::ProgramFixture(std::optional<ConsoleOptions> console)
    : settingsBackend_(std::make_unique<FileSettingsBackend>(
          std::filesystem::path(settingsFolder_.path().toStdString()))),
      settings_(std::make_unique<SettingsStore>(*settingsBackend_)) {
  if (console) {
    source_ = MakeConsoleSource(console);
  } else {
    source_.backend = std::make_unique<NoConsoleBackend>();
  }
}

ProgramFixture::~ProgramFixture() {
  window_.reset();
  program_.reset();
}

MainWindow& ProgramFixture::Open() {
  program_ = std::make_unique<Program>(std::move(source_.backend),
                                       std::make_unique<FileSettingsBackend>(std::filesystem::path(
                                           settingsFolder_.path().toStdString())),
                                       boxes, dialogs);
  const LanguageAndService saved = program_->settings.ReadLanguageAndService();
  program_->language = LanguageIndexFromSaved(saved.languageIndex);
  program_->servers.serverIndex = saved.serverIndex;
  program_->units = program_->settings.ReadUnitSettings();
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
