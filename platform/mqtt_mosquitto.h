// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "service/mqtt_client.h"

namespace nimbrel {

// The broker connection over libmosquitto, driven by the caller's thread (no thread of its own).
std::unique_ptr<MqttClient> MakeMosquittoClient();

}  // namespace nimbrel
