// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/bridges.h"

#include "ui/dashboard_panel.h"
#include "ui/gui_thread.h"
#include "ui/program.h"
#include "ui/setup_panel.h"
#include "ui/status_bar_panel.h"

namespace nimbrel::ui {

ReaderBridge::ReaderBridge(Program& program, DashboardPanel& dashboard, StatusBarPanel& statusBar)
    : program_(program), dashboard_(dashboard), statusBar_(statusBar) {}

bool ReaderBridge::Abandon() const {
  return program_.state.readerStop;
}

void ReaderBridge::LiveMessage(const HistoryRecord& text) {
  CallOnGuiThread(
      &dashboard_, [d = &dashboard_, text] { d->LiveMessage(text); }, [this] { return Abandon(); });
}

void ReaderBridge::WuMessage(const ParamBuffer& text) {
  CallOnGuiThread(
      &dashboard_, [d = &dashboard_, text] { d->WuMessage(text); }, [this] { return Abandon(); });
}

void ReaderBridge::WeathercloudMessage(const ParamBuffer& text) {
  CallOnGuiThread(
      &dashboard_, [d = &dashboard_, text] { d->WeathercloudMessage(text); },
      [this] { return Abandon(); });
}

void ReaderBridge::TimeRequest() {
  CallOnGuiThread(
      &dashboard_, [d = &dashboard_] { d->TimeRequest(); }, [this] { return Abandon(); });
}

void ReaderBridge::NoHistory() {
  CallOnGuiThread(
      &dashboard_, [d = &dashboard_] { d->NoHistory(); }, [this] { return Abandon(); });
}

void ReaderBridge::HistoryComplete() {
  CallOnGuiThread(
      &dashboard_, [d = &dashboard_] { d->HistoryComplete(); }, [this] { return Abandon(); });
}

void ReaderBridge::HistoryEndedEarly(int recordsArrived, int recordCount) {
  CallOnGuiThread(
      &dashboard_,
      [d = &dashboard_, recordsArrived, recordCount] {
        d->HistoryEndedEarly(recordsArrived, recordCount);
      },
      [this] { return Abandon(); });
}

void ReaderBridge::HistoryStart(int recordCount) {
  CallOnGuiThread(
      &statusBar_, [s = &statusBar_, recordCount] { s->HistoryStart(recordCount); },
      [this] { return Abandon(); });
}

void ReaderBridge::HistoryProgress(int recordsAccounted) {
  CallOnGuiThread(
      &statusBar_, [s = &statusBar_, recordsAccounted] { s->HistoryProgress(recordsAccounted); },
      [this] { return Abandon(); });
}

UploadBridge::UploadBridge(SetupPanel& setup, const std::atomic<bool>& shuttingDown)
    : setup_(setup), shuttingDown_(shuttingDown) {}

void UploadBridge::UploadAckWu() {
  CallOnGuiThread(
      &setup_, [s = &setup_] { s->UploadAckWu(); }, [this] { return shuttingDown_.load(); });
}

void UploadBridge::UploadAckWc() {
  CallOnGuiThread(
      &setup_, [s = &setup_] { s->UploadAckWc(); }, [this] { return shuttingDown_.load(); });
}

}  // namespace nimbrel::ui
