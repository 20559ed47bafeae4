// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>

#include "station/messages.h"
#include "upload/upload_worker.h"

namespace nimbrel::ui {

struct Program;
class DashboardPanel;
class StatusBarPanel;
class SetupPanel;

// The station reader's hand-offs, carried to the dashboard and the status bar on the GUI thread.
// Each waits until handled, or gives up once the reader is told to stop, so a reader never keeps
// the window from closing. Buffers are copied, so a call that runs after its reader gave up
// still reads valid text.
class ReaderBridge : public ReaderMessages {
 public:
  ReaderBridge(Program& program, DashboardPanel& dashboard, StatusBarPanel& statusBar);

  void LiveMessage(const HistoryRecord& text) override;
  void WuMessage(const ParamBuffer& text) override;
  void WeathercloudMessage(const ParamBuffer& text) override;
  void TimeRequest() override;
  void NoHistory() override;
  void HistoryComplete() override;
  void HistoryEndedEarly(int recordsArrived, int recordCount) override;
  void HistoryStart(int recordCount) override;
  void HistoryProgress(int recordsAccounted) override;

 private:
  bool Abandon() const;

  Program& program_;
  DashboardPanel& dashboard_;
  StatusBarPanel& statusBar_;
};

// The upload worker's acknowledgements, carried to the setup panel; given up at shutdown.
class UploadBridge : public UploadMessages {
 public:
  UploadBridge(SetupPanel& setup, const std::atomic<bool>& shuttingDown);

  void UploadAckWu() override;
  void UploadAckWc() override;

 private:
  SetupPanel& setup_;
  const std::atomic<bool>& shuttingDown_;
};

}  // namespace nimbrel::ui
