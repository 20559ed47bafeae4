// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/web_part.h"

#include <chrono>
#include <utility>

#include "record/record_time.h"

namespace nimbrel {

namespace {

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

}  // namespace

WebPart::WebPart(WebPartOptions options, const std::atomic<ConsoleState>& console,
                 ServiceLogLine log)
    : start_(std::move(options.start)), console_(console), log_(std::move(log)) {
  web::ApiContext context;
  context.live = [this] { return Snapshot(); };
  context.openArchive = std::move(options.openArchive);
  context.reportFault = [this](std::string_view message) {
    log_("web dashboard: " + std::string(message), false);
  };
  context.now = [] { return ClockNow(); };
  // Each live reading may be kept in the archive: answers read before it are not given again.
  context.archiveGeneration = [this] { return readings_.load(); };
  context.units = options.units;
  context.language = options.language;
  context.rainSeasonStart = options.rainSeasonStart;
  handler_ = web::MakeApi(std::move(context));
}

WebPart::~WebPart() {
  Stop();
}

bool WebPart::Listen(std::string& error) {
  server_ = start_(handler_, hub_, error);
  return server_ != nullptr;
}

void WebPart::Stop() {
  if (server_) {
    server_->Stop();
  }
}

void WebPart::Take(std::string_view text, std::string_view state) {
  {
    std::lock_guard lock(mutex_);
    live_.text = text;
    live_.stateJson = state;
    live_.received = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    seen_ = true;
  }
  ++readings_;
  const web::Response current = handler_(web::Request{"GET", "/api/v1/current", "", false});
  if (current.status == 200) {
    hub_.Publish("state", current.body);
  }
}

web::LiveSnapshot WebPart::Snapshot() {
  std::lock_guard lock(mutex_);
  web::LiveSnapshot snapshot = live_;
  snapshot.console = ForThePage(console_.load(), seen_);
  return snapshot;
}

}  // namespace nimbrel
