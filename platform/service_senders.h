// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "upload/service_transport.h"

namespace nimbrel {

// The network of the services the program composes readings for. Nothing for the web services in
// a build without libcurl (the Windows cross-build): they are left out there.
std::unique_ptr<WebSender> MakeWebSender(const WebTimeouts& timeouts = {});
std::unique_ptr<AprsSender> MakeAprsSender();

}  // namespace nimbrel
