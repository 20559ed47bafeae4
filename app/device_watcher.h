// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "station/device.h"

class QSocketNotifier;
class QTimer;

namespace nimbrel {
class UdevMonitor;
struct ConsoleSource;
}  // namespace nimbrel

namespace nimbrel::app {

// Tells the window when a device arrives or goes: the system's hidraw devices through udev, and
// the simulated console's plug, polled.
class DeviceWatcher : public QObject {
  Q_OBJECT

 public:
  using Handler = std::function<void(DeviceEvent, const std::string&)>;

  DeviceWatcher(ConsoleSource& source, Handler handler, QObject* parent);
  ~DeviceWatcher() override;

 private:
  void ReadUdev();
  void PollSimulated();

  ConsoleSource& source_;
  Handler handler_;
  std::unique_ptr<UdevMonitor> udev_;
  QSocketNotifier* notifier_ = nullptr;
  QTimer* simulatedPoll_ = nullptr;
};

}  // namespace nimbrel::app
