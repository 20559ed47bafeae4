// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/gui_thread.h"

#include <QMetaObject>
#include <QThread>
#include <chrono>
#include <future>
#include <memory>

namespace nimbrel::ui {

bool CallOnGuiThread(QObject* receiver, std::function<void()> call,
                     const std::function<bool()>& abandon) {
  if (receiver == nullptr) {
    return false;
  }
  if (QThread::currentThread() == receiver->thread()) {
    call();
    return true;
  }
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> finished = done->get_future();
  const bool queued = QMetaObject::invokeMethod(
      receiver,
      [done, call = std::move(call)] {
        call();
        done->set_value();
      },
      Qt::QueuedConnection);
  if (!queued) {
    return false;
  }
  constexpr auto kPoll = std::chrono::milliseconds(10);
  while (finished.wait_for(kPoll) != std::future_status::ready) {
    if (abandon()) {
      return false;
    }
  }
  return true;
}

}  // namespace nimbrel::ui
