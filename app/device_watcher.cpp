// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/device_watcher.h"

#include <QSocketNotifier>
#include <QTimer>
#include <utility>

#include "platform/console_source.h"
#include "platform/udev_monitor.h"

namespace nimbrel::app {

namespace {

// How often the simulated console's cable is looked at.
constexpr int kSimulatedPollMs = 100;

}  // namespace

DeviceWatcher::DeviceWatcher(ConsoleSource& source, Handler handler, QObject* parent)
    : QObject(parent), source_(source), handler_(std::move(handler)) {
  if (source_.simulated) {
    simulatedPoll_ = new QTimer(this);
    connect(simulatedPoll_, &QTimer::timeout, this, &DeviceWatcher::PollSimulated);
    simulatedPoll_->start(kSimulatedPollMs);
    return;
  }
  udev_ = std::make_unique<UdevMonitor>();
  if (udev_->Valid()) {
    notifier_ = new QSocketNotifier(udev_->Fd(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &DeviceWatcher::ReadUdev);
  }
}

DeviceWatcher::~DeviceWatcher() = default;

void DeviceWatcher::ReadUdev() {
  while (const auto notification = udev_->Read()) {
    handler_(notification->event, notification->path);
  }
}

void DeviceWatcher::PollSimulated() {
  while (const auto change = source_.PollSimulatedChange()) {
    handler_(change->event, change->path);
  }
}

}  // namespace nimbrel::app
