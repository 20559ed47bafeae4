// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

#include "station/device.h"

struct udev;
struct udev_monitor;

namespace nimbrel {

// Watches the system's hidraw devices come and go, through a libudev monitor. A notification's
// path is the device's sysfs path, which names the USB vendor and product (":1941:8021"). The owner
// polls Fd() for readability (a socket notifier) and then calls Read().
class UdevMonitor {
 public:
  UdevMonitor();
  UdevMonitor(const UdevMonitor&) = delete;
  UdevMonitor& operator=(const UdevMonitor&) = delete;
  ~UdevMonitor();

  // False when no monitor could be made (no udev, for example in a container).
  bool Valid() const { return monitor_ != nullptr; }
  int Fd() const;
  // The next notification, if one is waiting.
  std::optional<DeviceNotification> Read();

 private:
  udev* udev_ = nullptr;
  udev_monitor* monitor_ = nullptr;
};

}  // namespace nimbrel
