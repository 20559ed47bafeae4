// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <functional>

class QTimer;
class QWidget;

namespace nimbrel::ui {

class ArchiveKeeper;

// When a panel reads again what it shows of the archive: at once for a change while it is shown,
// when next shown for one while hidden, and after the archive took records or a live sample, at
// most once per kPauseMs, so that a stream of changes does not keep the archive's thread busy.
class RefreshPacer : public QObject {
 public:
  static constexpr int kPauseMs = 4000;

  // `read` asks the archive; it calls Started().
  RefreshPacer(QWidget& panel, std::function<void()> read);

  // Follows the archive: its opening, or failing to, changes what the panel can show; a merge or
  // a live sample may.
  void Follow(const ArchiveKeeper& archive);

  // A read is asked for now: what is shown will be fresh.
  void Started();
  // What the panel shows changed: read now if shown, else when shown.
  void Changed();
  // The panel is shown: read if anything changed meanwhile.
  void Shown();
  void MarkStale() { stale_ = true; }

 private:
  // The archive took records or a live sample.
  void ArchiveChanged();

  QWidget& panel_;
  std::function<void()> read_;
  bool stale_ = true;
  int archivePhase_ = -1;
  QTimer* timer_;
  QElapsedTimer sinceRead_;
};

}  // namespace nimbrel::ui
