// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "i18n/language.h"
#include "readings/unit_settings.h"
#include "record/record_time.h"
#include "web/http_types.h"

namespace nimbrel {
class Archive;
struct ArchiveError;
}  // namespace nimbrel

namespace nimbrel::web {

// Where the console stands for the live view.
enum class ConsoleState : std::uint8_t {
  kConnected,  // live texts arrive
  kWaiting,    // not found yet, or held by the window: the service waits for it
  kGone,       // it was there and went away
};
std::string_view ConsoleStateName(ConsoleState state);

// The service's last live reading, as it stands when a request comes.
struct LiveSnapshot {
  std::string text;       // the console's live text; empty before the first
  std::string stateJson;  // its state object with today's figures, as the service publishes it
  std::optional<std::chrono::sys_seconds> received;
  ConsoleState console = ConsoleState::kWaiting;
};

// What the answers need of the service. Every function is called on the server's threads, several
// at once, and must be safe for that.
struct ApiContext {
  std::function<LiveSnapshot()> live;
  // A connection of its own for each request that reads the archive: SQLite's connections are not
  // shared between threads, and with WAL separate readers neither wait for each other nor for the
  // service's merges, where one shared connection behind a lock would queue every history request
  // behind the slowest. Nothing (the function empty) in a build without the archive; nullptr and
  // `error` when the file cannot be opened now.
  std::function<std::unique_ptr<Archive>(ArchiveError& error)> openArchive;
  // Called with the whole text of an archive fault (it names the file, so the answer does not).
  std::function<void(std::string_view message)> reportFault;
  // A number that moves on whenever the archive may have been written; the archive's answers are
  // kept and given again while it stands (for a short while). Empty: nothing is kept.
  std::function<std::uint64_t()> archiveGeneration;
  // The console's clock: what "today" and "the last 24 hours" mean.
  std::function<RecordTimePoint()> now;
  UnitSettings units;
  LanguageIndex language = LanguageIndex::kEnglish;
  unsigned rainSeasonStart = 1;  // 1 to 12
};

// Answers /api/v1/current, /api/v1/series, /api/v1/stats, "/" and the page's files; everything
// else is a JSON error. The live stream (/api/v1/events) is the server's own. The context is
// copied into the handler.
Handler MakeApi(ApiContext context);

// A JSON answer that no cache keeps: the next request may see a newer reading.
Response JsonResponse(std::string body);
// {"error":"..."} with the status.
Response ErrorResponse(int status, std::string_view message);

}  // namespace nimbrel::web
