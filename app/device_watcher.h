// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "station/device.h"

class QSocketNotifier;
class QTimer;
class QWidget;

namespace nimbrel {
class UdevMonitor;
struct ConsoleSource;
}  // namespace nimbrel

namespace nimbrel::app {

// Tells the window when a device arrives or goes: the system's HID devices (through udev, or on
// Windows as the window's WM_DEVICECHANGE), and the simulated console's plug, polled.
class DeviceWatcher : public QObject {
  Q_OBJECT

 public:
  using Handler = std::function<void(DeviceEvent, const std::string&)>;

  DeviceWatcher(ConsoleSource& source, Handler handler, QWidget* window);
  ~DeviceWatcher() override;

 private:
  void PollSimulated();

  ConsoleSource& source_;
  Handler handler_;
  QTimer* simulatedPoll_ = nullptr;
#ifdef Q_OS_WIN
  class WindowsFilter;
  std::unique_ptr<WindowsFilter> windows_;
#else
  void ReadUdev();

  std::unique_ptr<UdevMonitor> udev_;
  QSocketNotifier* notifier_ = nullptr;
#endif
};

}  // namespace nimbrel::app
