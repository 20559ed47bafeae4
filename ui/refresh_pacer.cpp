// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/refresh_pacer.h"

#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <utility>

#include "ui/archive_keeper.h"

namespace nimbrel::ui {

RefreshPacer::RefreshPacer(QWidget& panel, std::function<void()> read)
    : QObject(&panel), panel_(panel), read_(std::move(read)), timer_(new QTimer(this)) {
  timer_->setSingleShot(true);
  connect(timer_, &QTimer::timeout, this, [this] {
    if (panel_.isVisible()) {
      read_();
    }
  });
}

void RefreshPacer::Follow(const ArchiveKeeper& archive) {
  const auto phaseChanged = [this, &archive] {
    const int phase = static_cast<int>(archive.Summary().phase);
    if (phase != archivePhase_) {
      archivePhase_ = phase;
      Changed();
    }
  };
  connect(&archive, &ArchiveKeeper::SummaryChanged, this, phaseChanged);
  connect(&archive, &ArchiveKeeper::MergeFinished, this, &RefreshPacer::ArchiveChanged);
  connect(&archive, &ArchiveKeeper::LiveSampleKept, this, &RefreshPacer::ArchiveChanged);
  phaseChanged();
}

void RefreshPacer::Started() {
  stale_ = false;
  timer_->stop();
  sinceRead_.start();
}

void RefreshPacer::Changed() {
  if (panel_.isVisible()) {
    read_();
  } else {
    stale_ = true;
  }
}

void RefreshPacer::ArchiveChanged() {
  stale_ = true;
  if (timer_->isActive()) {
    return;
  }
  const qint64 since = sinceRead_.isValid() ? sinceRead_.elapsed() : kPauseMs;
  timer_->start(static_cast<int>(std::max<qint64>(0, kPauseMs - since)));
}

void RefreshPacer::Shown() {
  if (stale_) {
    read_();
  }
}

}  // namespace nimbrel::ui
