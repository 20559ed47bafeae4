// SPDX-License-Identifier: GPL-3.0-or-later
// A console that is plugged in but may not be opened: what the device, the hidapi backend and
// nimbrel-cli make of it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "cli/console.h"
#include "platform/hidapi_backend.h"
#include "station/device.h"
#include "tests/support/station_fakes.h"

namespace nimbrel {
namespace {

constexpr const char* kConsolePath = "/dev/hidraw3";

// Lists the console when it is plugged in; opens it or fails for the reason the test sets.
class ScriptedBackend : public HidBackend {
 public:
  bool plugged = true;
  OpenFailure failure = OpenFailure::kPermission;  // kNone: opens
  int asked = 0;

  std::vector<HidInterfaceInfo> Enumerate() override {
    return std::vector<HidInterfaceInfo>(
        plugged ? 1 : 0,
        {kConsolePath, kStationVendorId, kStationProductId, kStationUsagePage, kStationUsage});
  }
  std::unique_ptr<StationTransport> Open(const std::string&) override {
    return failure == OpenFailure::kNone ? std::make_unique<testing::FakeTransport>() : nullptr;
  }
  OpenFailure WhyOpenFailed(const std::string& path) override {
    EXPECT_EQ(path, kConsolePath);
    ++asked;
    return failure;
  }
};

TEST(LastOpenFailure, FollowsEachFindOfTheConsole) {
  ScriptedBackend backend;
  StationDevice device(backend);
  EXPECT_EQ(device.LastOpenFailure(), OpenFailure::kNone);

  // Found but refused: still found (the reader idles), and the reason is kept.
  EXPECT_TRUE(device.FindStation());
  EXPECT_FALSE(device.IsValid());
  EXPECT_EQ(device.LastOpenFailure(), OpenFailure::kPermission);

  // Unplugged: no console, so nothing failed to open.
  backend.plugged = false;
  EXPECT_FALSE(device.FindStation());
  EXPECT_EQ(device.LastOpenFailure(), OpenFailure::kNone);

  // Plugged in again after the rule was applied: it opens, and the backend is not asked why.
  backend.plugged = true;
  backend.failure = OpenFailure::kNone;
  const int asked = backend.asked;
  EXPECT_TRUE(device.FindStation());
  EXPECT_TRUE(device.IsValid());
  EXPECT_EQ(device.LastOpenFailure(), OpenFailure::kNone);
  EXPECT_EQ(backend.asked, asked);

  backend.failure = OpenFailure::kOther;
  EXPECT_TRUE(device.FindStation());
  EXPECT_EQ(device.LastOpenFailure(), OpenFailure::kOther);
}

TEST(HidapiBackend, TellsAMissingPermissionFromOtherFailures) {
  HidapiBackend backend;
  const std::filesystem::path folder = ::testing::TempDir();
  const std::filesystem::path node = folder / "nimbrel_hidraw_probe";
  std::ofstream(node).put('x');

  // A node this user may read and write failed for another reason, and so did a missing one.
  EXPECT_EQ(backend.WhyOpenFailed(node.string()), OpenFailure::kOther);
  EXPECT_EQ(backend.WhyOpenFailed((folder / "nimbrel_no_such_node").string()), OpenFailure::kOther);

  ASSERT_EQ(chmod(node.c_str(), 0), 0);
  const bool root = geteuid() == 0;  // root may open anything: no permission is ever missing
  EXPECT_EQ(backend.WhyOpenFailed(node.string()),
            root ? OpenFailure::kOther : OpenFailure::kPermission);
  std::filesystem::remove(node);
}

TEST(CliConsole, ConnectFailsWithTheFixWhenTheConsoleMayNotBeOpened) {
  auto backend = std::make_unique<ScriptedBackend>();
  ScriptedBackend& scripted = *backend;
  cli::Console console(ConsoleSource{nullptr, std::move(backend)});
  cli::CommandMessages messages(console);

  const std::optional<std::string> failure = console.Connect(messages);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(*failure, kNoPermissionText);
  EXPECT_NE(failure->find("70-nimbrel.rules"), std::string::npos);
  for (const std::string_view fix :
       {"sudo udevadm control --reload && sudo udevadm trigger", "sudo usermod -aG plugdev USER"}) {
    EXPECT_NE(failure->find(fix), std::string::npos) << fix;
  }
  EXPECT_FALSE(console.State().linkConnected);

  scripted.plugged = false;
  const std::optional<std::string> absent = console.Connect(messages);
  ASSERT_TRUE(absent.has_value());
  EXPECT_NE(absent->find("No connection"), std::string::npos);
}

}  // namespace
}  // namespace nimbrel
