// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "web/event_hub.h"
#include "web/http_types.h"

namespace nimbrel::web {

// A running HTTP server: GET and HEAD go to a handler, the live stream comes from a hub. The
// platform's server is the one the program uses; whoever starts it needs only this.
class Server {
 public:
  virtual ~Server() = default;
  // The port listened on.
  virtual std::uint16_t Port() const = 0;
  // Closes every connection and returns once the server's threads have ended; the destructor
  // calls it too.
  virtual void Stop() = 0;
};

// Starts a server for `handler` and `hub`, which outlive it; null and the reason in `error` when
// it cannot listen.
using StartServer =
    std::function<std::unique_ptr<Server>(Handler handler, EventHub& hub, std::string& error)>;

}  // namespace nimbrel::web
