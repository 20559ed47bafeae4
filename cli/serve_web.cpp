// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/serve_web.h"

#include <atomic>
#include <charconv>
#include <chrono>
#include <mutex>
#include <utility>

#include "archive/archive.h"
#include "cli/environment.h"
#include "i18n/language.h"
#include "platform/settings_user.h"
#include "settings/settings_store.h"
#ifdef NIMBREL_WITH_HTTP
#include "platform/http_server.h"
#include "web/event_hub.h"
#include "web/routes.h"
#endif

namespace nimbrel::cli {

std::optional<std::string> ParseHttpAddress(std::string_view text, WebArgs& web) {
  const std::string_view kForm = "--http takes ADDRESS:PORT, such as 127.0.0.1:8470 or [::1]:8470";
  const std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0) {
    return std::string(kForm);
  }
  std::string_view address = text.substr(0, colon);
  if (address.starts_with('[') && address.ends_with(']')) {
    address = address.substr(1, address.size() - 2);
  } else if (address.find(':') != std::string_view::npos) {
    return std::string(kForm);  // an IPv6 address without its brackets
  }
  const std::string_view port = text.substr(colon + 1);
  unsigned value = 0;
  const auto [end, failure] = std::from_chars(port.data(), port.data() + port.size(), value);
  if (address.empty() || failure != std::errc() || end != port.data() + port.size() || value == 0 ||
      value > 65535) {
    return std::string(kForm);
  }
  web.address = address;
  web.port = static_cast<std::uint16_t>(value);
  web.given = true;
  return std::nullopt;
}

#ifdef NIMBREL_WITH_HTTP
namespace {

// Each history request opens the archive the service keeps; without the archive in the build the
// history answers say it is not there.
void OpenArchiveForReaders(web::ApiContext& context, const ArchiveOptions& archive) {
#ifdef NIMBREL_WITH_ARCHIVE
  context.openArchive = [archive](ArchiveError& error) { return OpenArchive(archive, error); };
#else
  (void)context;
  (void)archive;
#endif
}

web::ConsoleState ForThePage(ConsoleState state, bool seen) {
  switch (state) {
    case ConsoleState::kConnected:
      return web::ConsoleState::kConnected;
    case ConsoleState::kAbsent:
    case ConsoleState::kStopped:
      return seen ? web::ConsoleState::kGone : web::ConsoleState::kWaiting;
    case ConsoleState::kStarting:
    case ConsoleState::kBusy:
      break;
  }
  return web::ConsoleState::kWaiting;
}

class RunningWeb final : public ServeWeb {
 public:
  RunningWeb(const GlobalOptions& options, StationService& station, const ServiceLogLine& log)
      : station_(station), log_(log) {
    const std::unique_ptr<SettingsBackend> backend = OpenUserSettingsBackend();
    const SettingsStore store(*backend);
    web::ApiContext context;
    context.live = [this] { return Snapshot(); };
    if (station.KeepsArchive()) {
      OpenArchiveForReaders(context, station.ArchiveForReaders());
    }
    context.reportFault = [this](std::string_view message) {
      log_("web dashboard: " + std::string(message), false);
    };
    context.now = [] { return ClockNow(); };
    // Each live reading may be kept in the archive: answers read before it are not given again.
    context.archiveGeneration = [this] { return readings_.load(); };
    context.units = EffectiveUnits(options.units);
    context.language = LanguageIndexFromSaved(store.ReadLanguageAndService().languageIndex);
    context.rainSeasonStart = EffectiveRainSeasonStart(options);
    handler_ = web::MakeApi(std::move(context));
  }

  bool Listen(const WebArgs& args, std::string& error) {
    platform::HttpServerOptions options;
    options.address = args.address;
    options.port = args.port;
    server_ = platform::StartHttpServer(options, handler_, hub_, error);
    return server_ != nullptr;
  }

  // On the console reader's thread: keeps the reading and sends it to the open pages.
  void Take(const LiveUpdate& update) {
    {
      std::lock_guard lock(mutex_);
      live_.text = update.text;
      live_.stateJson = update.state;
      live_.received = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
      seen_ = true;
    }
    ++readings_;
    const web::Response current = handler_(web::Request{"GET", "/api/v1/current", "", false});
    if (current.status == 200) {
      hub_.Publish("state", current.body);
    }
  }

 private:
  web::LiveSnapshot Snapshot() {
    std::lock_guard lock(mutex_);
    web::LiveSnapshot snapshot = live_;
    snapshot.console = ForThePage(station_.Console(), seen_);
    return snapshot;
  }

  StationService& station_;
  const ServiceLogLine& log_;
  web::Handler handler_;
  web::EventHub hub_;
  std::mutex mutex_;
  web::LiveSnapshot live_;
  bool seen_ = false;  // a reading came: the console's absence now means it went away
  std::atomic<std::uint64_t> readings_{0};
  std::unique_ptr<platform::HttpServer> server_;  // stopped first, before what it answers from
};

}  // namespace
#endif

std::unique_ptr<ServeWeb> StartServeWeb(const WebArgs& args, const GlobalOptions& options,
                                        StationService& station, const ServiceLogLine& log,
                                        std::string& error) {
  if (!args.enabled) {
    return nullptr;
  }
#ifdef NIMBREL_WITH_HTTP
  auto web = std::make_unique<RunningWeb>(options, station, log);
  std::string reason;
  if (!web->Listen(args, reason)) {
    if (args.given) {
      error = "the web dashboard cannot listen: " + reason;
    } else {
      log("web dashboard: " + reason +
              "; serving without the page (--http ADDRESS:PORT chooses "
              "another, --no-http turns it off)",
          false);
    }
    return nullptr;
  }
  RunningWeb* running = web.get();
  station.AddLiveListener("web dashboard",
                          [running](const LiveUpdate& update) { running->Take(update); });
  log("web dashboard: http://" +
          (args.address.find(':') != std::string::npos ? "[" + args.address + "]" : args.address) +
          ":" + std::to_string(args.port) + "/",
      false);
  return web;
#else
  (void)options;
  (void)station;
  if (args.given) {
    error = "this build of nimbrel-cli has no web server; --http cannot be used";
  } else {
    log("web dashboard: not in this build", true);
  }
  return nullptr;
#endif
}

}  // namespace nimbrel::cli
