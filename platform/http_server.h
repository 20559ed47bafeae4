// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "web/event_hub.h"
#include "web/http_types.h"
#include "web/server.h"

namespace nimbrel::platform {

// Where the web server listens and what it refuses. Every limit reached is answered with its own
// status and a small JSON error, and the server goes on serving the others.
struct HttpServerOptions {
  std::string address = "127.0.0.1";                 // an IPv4 or IPv6 literal
  std::uint16_t port = 0;                            // 0: a free port, see HttpServer::Port()
  std::size_t maxHeaderBytes = 8 * 1024;             // request line and headers; 431 beyond
  std::size_t maxUrlBytes = 2 * 1024;                // 414 beyond
  std::size_t maxConnections = 256;                  // 503 beyond
  std::size_t maxLiveClients = 200;                  // open event streams; 503 beyond
  std::chrono::milliseconds requestTimeout{10'000};  // to send a whole request; 408 after
  std::size_t handlerThreads = 2;                    // answers are made off the network thread
};

// The event stream's path, served by the server itself from the EventHub.
inline constexpr const char* kEventStreamPath = "/api/v1/events";

// Port() is the one chosen when the options asked for 0.
using HttpServer = web::Server;

// Listens and serves until stopped: GET and HEAD go to `handler`, except the event stream, which
// is sent from `hub` (each client starts from the newest event). On failure returns null and says
// why in `error` (the port taken, an address that is not one of this machine's).
std::unique_ptr<HttpServer> StartHttpServer(const HttpServerOptions& options, web::Handler handler,
                                            web::EventHub& hub, std::string& error);

}  // namespace nimbrel::platform
