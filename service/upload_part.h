// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string_view>

#include "service/service_log.h"
#include "upload/upload_clock.h"
#include "upload/upload_targets.h"
#include "upload/upload_worker.h"

namespace nimbrel {

// The service's uploads: wraps the console's parameter texts into requests for the services
// switched on, sends them on a worker thread of their own and says how each one ended: a change
// of outcome is news, a repeat a detail.
class UploadPart : private UploadMessages {
 public:
  // How a request ended, on that service's thread: success or the failure in words.
  using Finished =
      std::function<void(ServerIndex service, bool acknowledged, std::string_view failure)>;

  // `diagnostics`: the worker's own lines, or nothing for none. Weathercloud's requests go over
  // `weathercloudSocket` when given, so that neither service waits for the other's exchanges;
  // without it they share `socket`, one exchange at a time.
  UploadPart(UploadSocket& socket, const UploadTargets& targets, std::ostream* diagnostics,
             ServiceLogLine log, UploadSocket* weathercloudSocket = nullptr,
             Finished finished = {});
  UploadPart(const UploadPart&) = delete;
  UploadPart& operator=(const UploadPart&) = delete;

  // Any thread; never waits for the network.
  void Post(ServerIndex service, std::string_view parameterText);
  // Drops what is still queued and ends the worker.
  void Stop() { worker_.Stop(); }

 private:
  void UploadAckWu() override {}
  void UploadAckWc() override {}
  void UploadFinished(const UploadRequest& request, const UploadResult& result) override;

  const UploadTargets targets_;
  const ServiceLogLine log_;
  const Finished finished_;
  SteadyUploadClock clock_;
  std::ostream quiet_[2] = {std::ostream(nullptr), std::ostream(nullptr)};  // one per thread
  std::optional<bool> lastAcknowledged_[2];  // each on its service's thread only
  UploadWorker worker_;                      // last: it starts after everything it uses
};

}  // namespace nimbrel
