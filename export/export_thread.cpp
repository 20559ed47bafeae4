// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/export_thread.h"

#include <utility>

namespace nimbrel {

ExportThread::~ExportThread() {
  Join();
}

void ExportThread::Start(ExportJob job, std::unique_ptr<ExportFile> file) {
  Join();
  job.state.exportRunning = true;
  thread_ = std::thread([this, job = std::move(job), file = std::move(file)] {
    RunExport(job, *file, sink_);
    job.state.exportRunning = false;
  });
}

void ExportThread::Join() {
  if (thread_.joinable()) {
    thread_.join();
  }
}

}  // namespace nimbrel
