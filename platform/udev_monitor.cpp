// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/udev_monitor.h"

#include <libudev.h>

#include <string_view>

namespace nimbrel {

UdevMonitor::UdevMonitor() : udev_(udev_new()) {
  if (udev_ == nullptr) {
    return;
  }
  monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
  if (monitor_ == nullptr) {
    return;
  }
  if (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
      udev_monitor_enable_receiving(monitor_) < 0) {
    udev_monitor_unref(monitor_);
    monitor_ = nullptr;
  }
}

UdevMonitor::~UdevMonitor() {
  if (monitor_ != nullptr) {
    udev_monitor_unref(monitor_);
  }
  if (udev_ != nullptr) {
    udev_unref(udev_);
  }
}

int UdevMonitor::Fd() const {
  return monitor_ != nullptr ? udev_monitor_get_fd(monitor_) : -1;
}

std::optional<DeviceNotification> UdevMonitor::Read() {
  if (monitor_ == nullptr) {
    return std::nullopt;
  }
  udev_device* device = udev_monitor_receive_device(monitor_);
  if (device == nullptr) {
    return std::nullopt;
  }
  DeviceNotification notification;
  const char* action = udev_device_get_action(device);
  const std::string_view what = action != nullptr ? action : "";
  notification.event = what == "add"      ? DeviceEvent::kArrival
                       : what == "remove" ? DeviceEvent::kRemoval
                                          : DeviceEvent::kOther;
  const char* path = udev_device_get_devpath(device);
  notification.path = path != nullptr ? path : "";
  udev_device_unref(device);
  return notification;
}

}  // namespace nimbrel
