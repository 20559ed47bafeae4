// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <map>

#include "station/device.h"
#include "tests/support/station_fakes.h"

namespace nimbrel::testing {
namespace {

const HidInterfaceInfo kKeyboard{"/dev/hidraw0", 0x046D, 0xC31C, 0x0001, 6};

HidInterfaceInfo Console(std::string path, std::uint16_t usagePage = kStationUsagePage,
                         std::uint16_t usage = kStationUsage,
                         std::uint16_t product = kStationProductId) {
  return {std::move(path), kStationVendorId, product, usagePage, usage};
}

// A backend whose interfaces and open results the test sets.
struct FakeBackend : HidBackend {
  std::vector<HidInterfaceInfo> interfaces;
  std::map<std::string, bool> opens;  // path -> whether it opens
  std::vector<std::string> opened;
  std::vector<HidInterfaceInfo> Enumerate() override { return interfaces; }
  std::unique_ptr<StationTransport> Open(const std::string& path) override {
    opened.push_back(path);
    return opens[path] ? std::make_unique<FakeTransport>() : nullptr;
  }
};

struct RecordingSink : LinkStateSink {
  std::vector<int> states;
  void LinkState(int state) override { states.push_back(state); }
};

TEST(StationDevice, FindOpensTheFirstMatchingCollectionAndCloseReleasesIt) {
  FakeBackend backend;
  StationDevice device(backend);
  // Another usage page, another usage, another product: none is the console's collection.
  backend.interfaces = {kKeyboard, Console("/dev/hidraw1", 0x000C, 1),
                        Console("/dev/hidraw1", kStationUsagePage, 2),
                        Console("/dev/hidraw3", kStationUsagePage, kStationUsage, 0x8020)};
  EXPECT_FALSE(device.FindStation());
  device.CloseStation();  // nothing to close

  backend.interfaces.push_back(Console("/dev/hidraw4"));
  backend.interfaces.push_back(Console("/dev/hidraw5"));
  EXPECT_TRUE(device.FindStation());  // found, but it cannot be opened
  EXPECT_TRUE(device.Found());
  EXPECT_FALSE(device.IsValid());

  backend.opens = {{"/dev/hidraw4", true}, {"/dev/hidraw5", true}};
  EXPECT_TRUE(device.FindStation());
  EXPECT_EQ(backend.opened, (std::vector<std::string>{"/dev/hidraw4", "/dev/hidraw4"}));
  EXPECT_TRUE(device.IsValid());

  device.CloseStation();
  EXPECT_FALSE(device.Found() || device.IsValid());
  StationFrame frame{};
  EXPECT_EQ(device.ReadFrame(frame, std::chrono::milliseconds(1)), ReadResult::kError);
  EXPECT_FALSE(device.WriteCommand(StationCommand{}));
}

TEST(OnDeviceChange, MatchesTheConsoleInEveryPathFormAndCase) {
  for (const char* path :
       {"\\\\?\\HID#VID_1941&PID_8021#6&1a2b#{4d1e55b2-f16f-11cf-88cb-001111000030}",
        "\\\\?\\hid#vid_1941&pid_8021#6&1a2b",
        "/devices/pci0000:00/usb1/1-2/1-2:1.0/0003:1941:8021.0007",
        "HID_ID=0003:00001941:00008021"}) {
    EXPECT_TRUE(IsStationDevicePath(path)) << path;
  }
  for (const char* path : {"\\\\?\\hid#vid_1941&pid_8020#1", "0003:046D:C31C.0001",
                           "HID_ID=0003:0000046D:0000C31C", ""}) {
    EXPECT_FALSE(IsStationDevicePath(path)) << path;
  }
}

TEST(OnDeviceChange, ArrivalNeedsTheConsoleFoundWhileRemovalIsAlwaysReported) {
  FakeBackend backend;
  StationDevice device(backend);
  RecordingSink sink;
  const std::string path = "\\\\?\\HID#VID_1941&PID_8021#1";
  OnDeviceChange(DeviceEvent::kRemoval, path, device, sink);  // never found, still reported
  OnDeviceChange(DeviceEvent::kArrival, path, device, sink);  // no protocol interface listed
  OnDeviceChange(DeviceEvent::kArrival, "\\\\?\\HID#VID_046D&PID_C31C#1", device, sink);
  backend.interfaces = {Console("/dev/hidraw4")};
  backend.opens = {{"/dev/hidraw4", true}};
  OnDeviceChange(DeviceEvent::kOther, path, device, sink);
  OnDeviceChange(DeviceEvent::kArrival, path, device, sink);
  EXPECT_EQ(sink.states, (std::vector<int>{LinkStateSink::kGone, LinkStateSink::kConnected}));
  EXPECT_TRUE(device.IsValid());
}

}  // namespace
}  // namespace nimbrel::testing
