// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/console.h"

#include <chrono>
#include <cstdio>
#include <thread>
#include <utility>

#include "cli/environment.h"
#include "platform/hidapi_backend.h"
#include "station/commands.h"
#include "station/link.h"

namespace nimbrel::cli {

Console::Console(ConsoleSource source, HistoryUse history)
    : source_(std::move(source)),
      device_(*source_.backend),
      store_(history == HistoryUse::kDownload ? std::make_unique<HistoryStore>() : nullptr) {}

Console::~Console() {
  Disconnect();
}

std::optional<std::string> Console::Connect(ReaderMessages& messages) {
  if (!device_.FindStation()) {
    return "No connection: no weather station console (USB 1941:8021) was found.";
  }
  if (device_.LastOpenFailure() == OpenFailure::kPermission) {
    return std::string(kNoPermissionText);
  }
  if (device_.LastOpenFailure() == OpenFailure::kBusy) {
    return "The weather station console is in use by " + device_.HeldBy() + ".";
  }
  state_.linkConnected = true;
  reader_.Start({device_, state_, counters_, store_.get(), messages});
  Send(CMD_CANCEL);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  if (!Send(CMD_REFRESH)) {
    return "Send command failed: the console did not take the refresh request.";
  }
  return std::nullopt;
}

void Console::Disconnect() {
  reader_.RequestStop();
  reader_.Join();
  state_.linkConnected = false;
  device_.CloseStation();
}

bool Console::Send(const StationCommand& command) {
  return SendCommand(device_, state_, command);
}

std::unique_ptr<Console> OpenConsole(const GlobalOptions& options, HistoryUse history) {
  std::string error;
  auto source = MakeConsole(options, error);
  if (!source) {
    std::fprintf(stderr, "nimbrel-cli: %s\n", error.c_str());
    return nullptr;
  }
  return std::make_unique<Console>(std::move(*source), history);
}

void CommandMessages::TimeRequest() {
  SendDateTime(console_.Device(), console_.State());
}

}  // namespace nimbrel::cli
