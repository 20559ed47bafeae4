// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "cli/options.h"
#include "export/history_store.h"
#include "platform/console_source.h"
#include "station/device.h"
#include "station/messages.h"
#include "station/reader.h"
#include "station/shared_state.h"

namespace nimbrel::cli {

// Whether a command downloads the history log, and so needs the 27 MB store.
enum class HistoryUse { kNone, kDownload };

// The console and the station link, for the length of one command.
class Console {
 public:
  explicit Console(ConsoleSource source, HistoryUse history = HistoryUse::kNone);
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;
  ~Console();

  // Finds the console, starts the reader and greets the console as the program does at every
  // connection: CMD_CANCEL, a pause of 100 ms, CMD_REFRESH. Returns the error text on failure.
  std::optional<std::string> Connect(ReaderMessages& messages);

  // Stops the reader and releases the device.
  void Disconnect();

  bool Send(const StationCommand& command);

  StationDevice& Device() { return device_; }
  SharedState& State() { return state_; }
  // The store of a command that downloads; nothing for any other.
  HistoryStore* Store() { return store_.get(); }

 private:
  ConsoleSource source_;
  StationDevice device_;
  SharedState state_;
  LinkCounters counters_;
  std::unique_ptr<HistoryStore> store_;
  ReaderThread reader_;
};

// The console the options name, or nothing after the reason has been printed on stderr.
std::unique_ptr<Console> OpenConsole(const GlobalOptions& options,
                                     HistoryUse history = HistoryUse::kNone);

// Hand-offs a command does not care about are dropped; time requests are answered.
class CommandMessages : public ReaderMessages {
 public:
  explicit CommandMessages(Console& console) : console_(console) {}

  void LiveMessage(const HistoryRecord&) override {}
  void WuMessage(const ParamBuffer&) override {}
  void WeathercloudMessage(const ParamBuffer&) override {}
  void TimeRequest() override;
  void NoHistory() override {}
  void HistoryComplete() override {}
  void HistoryEndedEarly(int, int) override {}
  void HistoryStart(int) override {}
  void HistoryProgress(int) override {}

 protected:
  Console& console_;
};

}  // namespace nimbrel::cli
