// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "service/mqtt_client.h"

namespace nimbrel {

// The broker connection over libmosquitto, driven by the caller's thread (no thread of its own).
std::unique_ptr<MqttClient> MakeMosquittoClient();

// What tells this machine from others for the client ID: NIMBREL_MACHINE_ID when set (containers
// that share one image), else the system's machine ID, else the host name.
std::string MachineId();

// Where the service remembers the retained topics it left on brokers:
// $XDG_STATE_HOME/nimbrel/mqtt-announced (~/.local/state/...); empty without a home folder.
std::filesystem::path AnnouncedTopicsFile();

}  // namespace nimbrel
