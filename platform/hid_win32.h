// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "station/device.h"

namespace nimbrel {

// HID access through SetupAPI and the HID class driver. Every present HID interface is listed
// that can be opened for queries and tells its vendor and product; the console's interfaces also
// tell their usage page and usage. An opened interface reads and writes overlapped.
class Win32HidBackend : public HidBackend {
 public:
  std::vector<HidInterfaceInfo> Enumerate() override;
  std::unique_ptr<StationTransport> Open(const std::string& path) override;
};

}  // namespace nimbrel
