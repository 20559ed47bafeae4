// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "i18n/language.h"
#include "readings/unit_settings.h"
#include "service/console_link.h"
#include "service/service_log.h"
#include "web/event_hub.h"
#include "web/routes.h"
#include "web/server.h"

namespace nimbrel {

struct WebPartOptions {
  web::StartServer start;  // the platform's HTTP server, listening where serve was told
  // A connection of its own for each history request; empty in a build without the archive, and
  // when the service keeps none.
  std::function<std::unique_ptr<Archive>(ArchiveError& error)> openArchive;
  UnitSettings units;
  LanguageIndex language = LanguageIndex::kEnglish;
  unsigned rainSeasonStart = 1;
};

// The service's web dashboard: answers the page and the API from the last live reading and the
// archive, and sends each live reading to the open pages.
class WebPart {
 public:
  WebPart(WebPartOptions options, const std::atomic<ConsoleState>& console, ServiceLogLine log);
  WebPart(const WebPart&) = delete;
  WebPart& operator=(const WebPart&) = delete;
  ~WebPart();

  // Starts the server; false with the reason in `error` when it cannot listen.
  bool Listen(std::string& error);
  // On the console reader's thread: keeps the reading and sends it to the open pages.
  void Take(std::string_view text, std::string_view state);
  // Ends every connection; the destructor does it too.
  void Stop();

 private:
  web::LiveSnapshot Snapshot();

  const web::StartServer start_;
  const std::atomic<ConsoleState>& console_;
  const ServiceLogLine log_;
  web::Handler handler_;
  web::EventHub hub_;
  std::mutex mutex_;
  web::LiveSnapshot live_;
  bool seen_ = false;  // a reading came: the console's absence now means it went away
  std::atomic<std::uint64_t> readings_{0};
  std::unique_ptr<web::Server> server_;  // stopped first, before what it answers from
};

}  // namespace nimbrel
