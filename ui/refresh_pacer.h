// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <functional>

class QTimer;
class QWidget;

namespace nimbrel::ui {

// When a panel reads again what it shows of the archive: at once for a change while it is shown,
// when next shown for one while hidden, and after the archive took records or a live sample, at
// most once per kPauseMs, so that a stream of changes does not keep the archive's thread busy.
class RefreshPacer : public QObject {
 public:
  static constexpr int kPauseMs = 4000;

  // `read` asks the archive; it calls Started().
  RefreshPacer(QWidget& panel, std::function<void()> read);

  // A read is asked for now: what is shown will be fresh.
  void Started();
  // What the panel shows changed: read now if shown, else when shown.
  void Changed();
  // The archive took records or a live sample.
  void ArchiveChanged();
  // The panel is shown: read if anything changed meanwhile.
  void Shown();
  void MarkStale() { stale_ = true; }

 private:
  QWidget& panel_;
  std::function<void()> read_;
  bool stale_ = true;
  QTimer* timer_;
  QElapsedTimer sinceRead_;
};

}  // namespace nimbrel::ui
