// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/device_notification_win32.h"
#include "platform/hid_win32.h"
#include "platform/overlapped_transport.h"
#include "station/commands.h"

// After windows.h, which it needs.
#include <dbt.h>

namespace nimbrel {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A message-mode pipe stands in for the console: the transport gets the overlapped end, the test
// plays the console on the other.
struct PipeConsole {
  explicit PipeConsole(DWORD bufferSize = 4096) {
    static int made = 0;
    const std::wstring name = L"\\\\.\\pipe\\nimbrel-hid-" +
                              std::to_wstring(::GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++made);
    UniqueHandle ours(::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                         PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE, 1, bufferSize,
                                         bufferSize, 0, nullptr));
    console = UniqueHandle(::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
    DWORD mode = PIPE_READMODE_MESSAGE;
    ::SetNamedPipeHandleState(console.Get(), &mode, nullptr, nullptr);
    link = std::make_unique<OverlappedTransport>(std::move(ours));
  }
  void Send(const StationFrame& frame) {
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(console.Get(), frame.data(), frame.size(), &written, nullptr));
  }
  std::vector<std::uint8_t> Receive() {
    std::vector<std::uint8_t> bytes(64);
    DWORD read = 0;
    ::ReadFile(console.Get(), bytes.data(), bytes.size(), &read, nullptr);
    bytes.resize(read);
    return bytes;
  }

  UniqueHandle console;
  std::unique_ptr<OverlappedTransport> link;
};

TEST(OverlappedTransport, CarriesWholeFramesAndCommandsUntilTheOtherEndCloses) {
  PipeConsole pipe;
  StationFrame sent{};
  for (std::size_t i = 0; i < sent.size(); ++i) {
    sent[i] = static_cast<std::uint8_t>(i + 1);  // a shifted byte would show
  }
  StationFrame frame{};
  // A read that times out on a reader thread that then ends (which cancels the read), and one
  // that times out and stays outstanding: neither loses the frame that follows.
  std::thread([&] {
    const auto start = Clock::now();
    EXPECT_EQ(pipe.link->ReadFrame(frame, 100ms), ReadResult::kTimeout);
    EXPECT_GE(Clock::now() - start, 90ms);
    EXPECT_LT(Clock::now() - start, 1s);
  }).join();
  pipe.Send(sent);
  EXPECT_EQ(pipe.link->ReadFrame(frame, 1s), ReadResult::kFrame);
  EXPECT_EQ(frame, sent);
  EXPECT_EQ(pipe.link->ReadFrame(frame, 10ms), ReadResult::kTimeout);
  sent[1] = 0xFE;
  pipe.Send(sent);
  EXPECT_EQ(pipe.link->ReadFrame(frame, 1s), ReadResult::kFrame);
  EXPECT_EQ(frame, sent);

  EXPECT_TRUE(pipe.link->WriteCommand(CMD_REFRESH));
  EXPECT_EQ(pipe.Receive(), std::vector<std::uint8_t>(CMD_REFRESH.begin(), CMD_REFRESH.end()));

  // The console goes while a read is outstanding.
  EXPECT_EQ(pipe.link->ReadFrame(frame, 10ms), ReadResult::kTimeout);
  pipe.console = UniqueHandle();
  EXPECT_EQ(pipe.link->ReadFrame(frame, 1s), ReadResult::kError);
  EXPECT_FALSE(pipe.link->IsValid());
  EXPECT_FALSE(pipe.link->WriteCommand(CMD_ACK));
}

TEST(OverlappedTransport, AWriteNobodyTakesIsCancelledInTimeAndTheHandleStaysGood) {
  PipeConsole pipe(0);
  const auto start = Clock::now();
  bool written = true;
  for (int i = 0; i < 4 && written; ++i) {  // a pipe may hold a message or two before it blocks
    written = pipe.link->WriteCommand(CMD_ACK);
  }
  EXPECT_FALSE(written);
  EXPECT_LT(Clock::now() - start, 4 * StationTransport::kWriteTimeout + 1s);
  EXPECT_TRUE(pipe.link->IsValid());
  StationFrame frame{};  // a read left outstanding, for the transport to take back as it closes
  EXPECT_EQ(pipe.link->ReadFrame(frame, 10ms), ReadResult::kTimeout);
}

// A broadcast record as Windows hands it over: the header, then the path and its NUL.
std::vector<DWORD> Broadcast(DWORD type, std::wstring_view path, DWORD size = 0) {
  constexpr std::size_t kPathOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
  const std::size_t bytes = kPathOffset + (path.size() + 1) * sizeof(wchar_t);
  std::vector<DWORD> storage((bytes + sizeof(DWORD) - 1) / sizeof(DWORD), 0);
  auto* record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(storage.data());
  record->dbcc_size = size != 0 ? size : static_cast<DWORD>(bytes);
  record->dbcc_devicetype = type;
  std::memcpy(record->dbcc_name, path.data(), path.size() * sizeof(wchar_t));
  return storage;
}

TEST(DecodeDeviceChange, GivesArrivalsAndRemovalsOfInterfacesWithTheirPaths) {
  constexpr std::wstring_view kConsole =
      L"\\\\?\\HID#VID_1941&PID_8021#7&1d2a&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
  constexpr std::wstring_view kMouse = L"\\\\?\\hid#vid_046d&pid_c52b&mi_00#m\u00fcs#{4d1e55b2}";
  const std::string console =
      "\\\\?\\HID#VID_1941&PID_8021#7&1d2a&0&0000#"
      "{4d1e55b2-f16f-11cf-88cb-001111000030}";
  const struct {
    WPARAM event;
    DWORD type;
    std::wstring_view path;
    DWORD size;  // 0: the record's own
    std::optional<DeviceEvent> expected;
    std::string expectedPath;
    bool isConsole;
  } cases[] = {
      {DBT_DEVICEARRIVAL, DBT_DEVTYP_DEVICEINTERFACE, kConsole, 0, DeviceEvent::kArrival, console,
       true},
      {DBT_DEVICEREMOVECOMPLETE, DBT_DEVTYP_DEVICEINTERFACE, kConsole, 0, DeviceEvent::kRemoval,
       console, true},
      {DBT_DEVICEREMOVECOMPLETE, DBT_DEVTYP_DEVICEINTERFACE, kMouse, 0, DeviceEvent::kRemoval,
       "\\\\?\\hid#vid_046d&pid_c52b&mi_00#m\xc3\xbcs#{4d1e55b2}", false},
      // A path is never read past the record's size.
      {DBT_DEVICEARRIVAL, DBT_DEVTYP_DEVICEINTERFACE, kConsole, 28 + 2 * 12, DeviceEvent::kArrival,
       "\\\\?\\HID#VID_", false},
      {DBT_DEVICEQUERYREMOVE, DBT_DEVTYP_DEVICEINTERFACE, kConsole, 0, std::nullopt, "", false},
      {DBT_DEVICEARRIVAL, DBT_DEVTYP_VOLUME, kConsole, 0, std::nullopt, "", false},
      {DBT_DEVICEARRIVAL, DBT_DEVTYP_DEVICEINTERFACE, kConsole, 20, std::nullopt, "", false},
  };
  for (const auto& c : cases) {
    const std::vector<DWORD> record = Broadcast(c.type, c.path, c.size);
    const auto decoded = DecodeDeviceChange(c.event, reinterpret_cast<LPARAM>(record.data()));
    ASSERT_EQ(decoded.has_value(), c.expected.has_value()) << c.event << " " << c.expectedPath;
    if (decoded) {
      EXPECT_EQ(decoded->event, *c.expected);
      EXPECT_EQ(decoded->path, c.expectedPath);
      EXPECT_EQ(IsStationDevicePath(decoded->path), c.isConsole) << c.expectedPath;
    }
  }
  EXPECT_FALSE(DecodeDeviceChange(DBT_DEVICEARRIVAL, 0));
  EXPECT_FALSE(DecodeDeviceChange(DBT_DEVNODES_CHANGED, 0));
}

TEST(Win32Hid, ListsTheSystemsInterfacesAndRegistersForTheirNotifications) {
  Win32HidBackend backend;
  for (const HidInterfaceInfo& info : backend.Enumerate()) {
    EXPECT_FALSE(info.path.empty());
  }
  EXPECT_EQ(backend.Open("\\\\?\\hid#vid_1941&pid_8021#gone#{4d1e55b2}"), nullptr);

  const HWND window =
      ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(HidNotificationRegistration(window).Registered());
  ::DestroyWindow(window);
}

}  // namespace
}  // namespace nimbrel
