// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include "platform/win32_handle.h"
#include "station/device.h"

namespace nimbrel {

// Asks Windows to tell a window, by WM_DEVICECHANGE, when a HID interface arrives or goes; the
// request ends with this object.
class HidNotificationRegistration {
 public:
  explicit HidNotificationRegistration(HWND window);
  HidNotificationRegistration(const HidNotificationRegistration&) = delete;
  HidNotificationRegistration& operator=(const HidNotificationRegistration&) = delete;
  ~HidNotificationRegistration();

  bool Registered() const { return notification_ != nullptr; }

 private:
  HDEVNOTIFY notification_ = nullptr;
};

// The arrival or removal a WM_DEVICECHANGE tells of, with the interface's path in UTF-8; nothing
// for other events and for broadcasts that are not about a device interface.
std::optional<DeviceNotification> DecodeDeviceChange(WPARAM event, LPARAM broadcast);

}  // namespace nimbrel
