// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/device_notification_win32.h"

#include <cstddef>
#include <cwchar>

// After windows.h, which they need.
#include <dbt.h>
// mingw-w64's HID header does not declare its functions extern "C".
extern "C" {
#include <hidsdi.h>
}

#include "platform/win32_text.h"

namespace nimbrel {

HidNotificationRegistration::HidNotificationRegistration(HWND window) {
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof(filter);
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  ::HidD_GetHidGuid(&filter.dbcc_classguid);
  notification_ = ::RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

HidNotificationRegistration::~HidNotificationRegistration() {
  if (notification_ != nullptr) {
    ::UnregisterDeviceNotification(notification_);
  }
}

std::optional<DeviceNotification> DecodeDeviceChange(WPARAM event, LPARAM broadcast) {
  DeviceNotification notification;
  if (event == DBT_DEVICEARRIVAL) {
    notification.event = DeviceEvent::kArrival;
  } else if (event == DBT_DEVICEREMOVECOMPLETE) {
    notification.event = DeviceEvent::kRemoval;
  } else {
    return std::nullopt;
  }
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(broadcast);
  constexpr std::size_t kPathOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
  if (header == nullptr || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE ||
      header->dbch_size < kPathOffset) {
    return std::nullopt;
  }
  // The path follows the header; it ends at its NUL, and never later than the record's size.
  const auto* record = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(header);
  const std::size_t maxChars = (record->dbcc_size - kPathOffset) / sizeof(wchar_t);
  notification.path = WideToUtf8({record->dbcc_name, ::wcsnlen(record->dbcc_name, maxChars)});
  return notification;
}

}  // namespace nimbrel
