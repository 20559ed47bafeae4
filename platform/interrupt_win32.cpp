// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include <string>
#include <utility>

#include "platform/interrupt.h"

namespace nimbrel {

namespace {

// The console's control handler has no context of its own: it finds this process's watcher by
// the event's name, so no global points at the watcher.
std::wstring InterruptEventName() {
  return L"Local\\nimbrel-interrupt-" + std::to_wstring(::GetCurrentProcessId());
}

BOOL WINAPI OnConsoleControl(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT) {
    return FALSE;
  }
  HANDLE event = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, InterruptEventName().c_str());
  if (event == nullptr) {
    return FALSE;
  }
  ::SetEvent(event);
  ::CloseHandle(event);
  return TRUE;
}

}  // namespace

InterruptWatcher::InterruptWatcher(std::function<void()> onInterrupt)
    : onInterrupt_(std::move(onInterrupt)),
      interruptEvent_(::CreateEventW(nullptr, FALSE, FALSE, InterruptEventName().c_str())),
      stopEvent_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  thread_ = std::thread([this] { Watch(); });
}

InterruptWatcher::~InterruptWatcher() {
  ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
  ::SetEvent(stopEvent_);
  thread_.join();
  ::CloseHandle(interruptEvent_);
  ::CloseHandle(stopEvent_);
}

void InterruptWatcher::Watch() {
  const HANDLE events[] = {interruptEvent_, stopEvent_};
  while (::WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0) {
    interrupted_ = true;
    onInterrupt_();
  }
}

}  // namespace nimbrel
