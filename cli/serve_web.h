// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "cli/options.h"
#include "service/service_log.h"
#include "service/station_service.h"

namespace nimbrel::cli {

// Where serve's web dashboard listens.
struct WebArgs {
  bool enabled = true;
  bool given = false;  // --http was given: a port that cannot be had ends serve
  std::string address = "127.0.0.1";
  std::uint16_t port = 8470;
};

// ADDR:PORT, an IPv6 address in brackets ([::1]:8470). An error text for anything else.
std::optional<std::string> ParseHttpAddress(std::string_view text, WebArgs& web);

// Starts the service's web dashboard (before it runs). When the default address cannot be had,
// says so in the log and serve goes on without the page; when --http named it, returns false with
// the reason in `error`, and serve ends. A build without the web server says so the same way.
bool StartServeWeb(const WebArgs& args, const GlobalOptions& options, StationService& station,
                   const ServiceLogLine& log, std::string& error);

}  // namespace nimbrel::cli
