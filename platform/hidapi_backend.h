// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "station/device.h"

namespace nimbrel {

// Told once, by the window and by nimbrel-cli, when the console is plugged in but this user may
// not open its device node: the udev rule that grants access is missing or not yet applied.
inline constexpr std::string_view kNoPermissionText =
    "The weather station console (USB 1941:8021) is plugged in, but this user may not open it.\n"
    "\n"
    "Install Nimbrel's udev rule, which gives the logged-in user access to the console: the "
    "Debian package installs it; after cmake --install, copy "
    "<prefix>/lib/udev/rules.d/70-nimbrel.rules to /etc/udev/rules.d/. Then run\n"
    "\n"
    "    sudo udevadm control --reload && sudo udevadm trigger\n"
    "\n"
    "and unplug the console and plug it in again. Where nobody logs in at the machine (a "
    "service run with loginctl enable-linger), the rule gives the console to the group plugdev: "
    "add the account to it (sudo usermod -aG plugdev USER) and start its session anew.";

// HID access through hidapi (the hidraw backend on Linux).
class HidapiBackend : public HidBackend {
 public:
  HidapiBackend();
  ~HidapiBackend() override;

  std::vector<HidInterfaceInfo> Enumerate() override;
  std::unique_ptr<StationTransport> Open(const std::string& path) override;
  // kPermission when the device node exists but this user may not read and write it.
  OpenFailure WhyOpenFailed(const std::string& path) override;
};

}  // namespace nimbrel
