// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/upload_part.h"

#include <string>
#include <utility>

namespace nimbrel {

UploadPart::UploadPart(UploadSocket& socket, const UploadTargets& targets,
                       std::ostream* diagnostics, ServiceLogLine log,
                       UploadSocket* weathercloudSocket)
    : targets_(targets),
      log_(std::move(log)),
      worker_({socket, clock_, diagnostics != nullptr ? *diagnostics : quiet_[0]},
              {weathercloudSocket != nullptr ? *weathercloudSocket : socket, clock_,
               diagnostics != nullptr ? *diagnostics : quiet_[1]},
              *this) {}

void UploadPart::Post(ServerIndex service, std::string_view parameterText) {
  const UploadTarget& target = targets_.For(service);
  if (auto request = BuildUploadRequest(service, parameterText, target.Enabled(), target.idAndKey,
                                        target.endpoint)) {
    worker_.Post(std::move(*request));
  }
}

void UploadPart::UploadFinished(const UploadRequest& request, const UploadResult& result) {
  const bool acknowledged = result.outcome == UploadOutcome::kAcknowledged;
  auto& last = lastAcknowledged_[request.service == ServerIndex::Weathercloud ? 1 : 0];
  log_(std::string(ServiceName(request.service)) +
           " upload: " + (acknowledged ? "UPLOAD" : "FAIL") + " " + MaskedRequestLine(request),
       last == acknowledged);
  last = acknowledged;
}

}  // namespace nimbrel
