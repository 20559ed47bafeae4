// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <thread>

#include "export/export_file.h"
#include "export/export_writer.h"

namespace nimbrel {

// Runs one export at a time on a thread of its own. The thread is joined, never detached, so it
// cannot outlive the store and the flags it reads: the owner must outlive the export.
class ExportThread {
 public:
  explicit ExportThread(ExportFinishedSink& sink) : sink_(sink) {}
  ExportThread(const ExportThread&) = delete;
  ExportThread& operator=(const ExportThread&) = delete;
  ~ExportThread();

  // Waits for any previous export, then writes this one to the file (the disk unless told
  // otherwise), hands the result to the sink and clears DownloadActive. The state's
  // exportRunning is set from the start until the thread has done all of that.
  void Start(ExportJob job, std::unique_ptr<ExportFile> file = std::make_unique<DiskExportFile>());

  // Waits until the export has ended. The caller must not be the thread the sink's hand-off waits
  // for, unless that hand-off gives up when the program shuts down.
  void Join();

 private:
  ExportFinishedSink& sink_;
  std::thread thread_;
};

}  // namespace nimbrel
