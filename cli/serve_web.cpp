// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/serve_web.h"

#include <charconv>
#include <utility>

#include "archive/archive.h"
#include "cli/environment.h"
#include "i18n/language.h"
#include "platform/settings_user.h"
#include "settings/settings_store.h"
#ifdef NIMBREL_WITH_HTTP
#include "platform/http_server.h"
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
void OpenArchiveForReaders(WebPartOptions& web, const ArchiveOptions& archive) {
#ifdef NIMBREL_WITH_ARCHIVE
  web.openArchive = [archive](ArchiveError& error) { return OpenArchive(archive, error); };
#else
  (void)web;
  (void)archive;
#endif
}

WebPartOptions PartOptions(const WebArgs& args, const GlobalOptions& options,
                           const StationService& station) {
  const std::unique_ptr<SettingsBackend> backend = OpenUserSettingsBackend();
  const SettingsStore store(*backend);
  WebPartOptions web;
  platform::HttpServerOptions listen;
  listen.address = args.address;
  listen.port = args.port;
  web.start = [listen](web::Handler handler, web::EventHub& hub, std::string& error) {
    return platform::StartHttpServer(listen, std::move(handler), hub, error);
  };
  if (station.KeepsArchive()) {
    OpenArchiveForReaders(web, station.ArchiveForReaders());
  }
  web.units = EffectiveUnits(options.units);
  web.language = LanguageIndexFromSaved(store.ReadLanguageAndService().languageIndex);
  web.rainSeasonStart = EffectiveRainSeasonStart(options);
  return web;
}

}  // namespace
#endif

bool StartServeWeb(const WebArgs& args, const GlobalOptions& options, StationService& station,
                   const ServiceLogLine& log, std::string& error) {
  if (!args.enabled) {
    return true;
  }
#ifdef NIMBREL_WITH_HTTP
  std::string reason;
  if (!station.StartWeb(PartOptions(args, options, station), reason)) {
    if (args.given) {
      error = "the web dashboard cannot listen: " + reason;
      return false;
    }
    log("web dashboard: " + reason +
            "; serving without the page (--http ADDRESS:PORT chooses "
            "another, --no-http turns it off)",
        false);
    return true;
  }
  log("web dashboard: http://" +
          (args.address.find(':') != std::string::npos ? "[" + args.address + "]" : args.address) +
          ":" + std::to_string(args.port) + "/",
      false);
  return true;
#else
  (void)options;
  (void)station;
  if (args.given) {
    error = "this build of nimbrel-cli has no web server; --http cannot be used";
    return false;
  }
  log("web dashboard: not in this build", true);
  return true;
#endif
}

}  // namespace nimbrel::cli
