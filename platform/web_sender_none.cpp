// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/service_senders.h"

namespace nimbrel {

// A build without libcurl leaves the web services out.
std::unique_ptr<WebSender> MakeWebSender(const WebTimeouts& /*timeouts*/) {
  return nullptr;
}

}  // namespace nimbrel
