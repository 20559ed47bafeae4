// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stop_token>

#include "upload/service_transport.h"

namespace nimbrel {

// The HTTPS services' GET over libcurl. It speaks https:// and, for a server of one's own, plain
// http://; redirects are not followed. Certificates are checked against the system's authorities,
// or against the request's own CA file alone when it names one. Each call is independent (a fresh
// connection), so one sender may serve several threads.
class CurlWebSender final : public WebSender {
 public:
  explicit CurlWebSender(WebTimeouts timeouts = {});

  // Ends within a fraction of a second of `stop`, a name lookup in progress included.
  WebReply Get(const WebRequest& request, std::stop_token stop) override;

 private:
  WebTimeouts timeouts_;
};

}  // namespace nimbrel
