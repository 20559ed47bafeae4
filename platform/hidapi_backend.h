#pragma once

#include <memory>
#include <string>
#include <vector>

#include "station/device.h"

namespace nimbrel {

// HID access through hidapi (the hidraw backend on Linux).
class HidapiBackend : public HidBackend {
 public:
  HidapiBackend();
  ~HidapiBackend() override;

  std::vector<HidInterfaceInfo> Enumerate() override;
  std::unique_ptr<StationTransport> Open(const std::string& path) override;
};

}  // namespace nimbrel
