// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/device_watcher.h"

#include <QTimer>
#include <QWidget>
#include <utility>

#include "platform/console_source.h"

#ifdef Q_OS_WIN
#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#include "platform/device_notification_win32.h"
#else
#include <QSocketNotifier>

#include "platform/udev_monitor.h"
#endif

namespace nimbrel::app {

namespace {

// How often the simulated console's cable is looked at.
constexpr int kSimulatedPollMs = 100;

}  // namespace

#ifdef Q_OS_WIN
// Windows tells the window of HID interfaces coming and going once it has asked for it; the
// messages are looked at on their way and passed on unchanged.
class DeviceWatcher::WindowsFilter : public QAbstractNativeEventFilter {
 public:
  WindowsFilter(HWND window, const Handler& handler)
      : window_(window), registration_(window), handler_(handler) {}

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* /*result*/) override {
    const auto* msg = static_cast<const MSG*>(message);
    if (eventType == "windows_generic_MSG" && msg->hwnd == window_ &&
        msg->message == WM_DEVICECHANGE) {
      if (const auto change = DecodeDeviceChange(msg->wParam, msg->lParam)) {
        handler_(change->event, change->path);
      }
    }
    return false;
  }

 private:
  HWND window_;
  HidNotificationRegistration registration_;
  const Handler& handler_;
};
#endif

DeviceWatcher::DeviceWatcher(ConsoleSource& source, Handler handler, QWidget* window)
    : QObject(window), source_(source), handler_(std::move(handler)) {
  if (source_.simulated) {
    simulatedPoll_ = new QTimer(this);
    connect(simulatedPoll_, &QTimer::timeout, this, &DeviceWatcher::PollSimulated);
    simulatedPoll_->start(kSimulatedPollMs);
    return;
  }
#ifdef Q_OS_WIN
  // winId() gives the window its native handle if it has none yet.
  windows_ = std::make_unique<WindowsFilter>(reinterpret_cast<HWND>(window->winId()), handler_);
  QCoreApplication::instance()->installNativeEventFilter(windows_.get());
#else
  udev_ = std::make_unique<UdevMonitor>();
  if (udev_->Valid()) {
    notifier_ = new QSocketNotifier(udev_->Fd(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &DeviceWatcher::ReadUdev);
  }
#endif
}

// The filter takes itself off the application when it is destroyed.
DeviceWatcher::~DeviceWatcher() = default;

#ifndef Q_OS_WIN
void DeviceWatcher::ReadUdev() {
  while (const auto notification = udev_->Read()) {
    handler_(notification->event, notification->path);
  }
}
#endif

void DeviceWatcher::PollSimulated() {
  while (const auto change = source_.PollSimulatedChange()) {
    handler_(change->event, change->path);
  }
}

}  // namespace nimbrel::app
