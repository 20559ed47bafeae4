// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/upload_part.h"

#include <string>
#include <utility>

namespace nimbrel {
namespace {

// A request's end in words, as the services' outcomes keep it.
std::string_view FailureText(UploadOutcome outcome) {
  switch (outcome) {
    case UploadOutcome::kAcknowledged:
      return "";
    case UploadOutcome::kNotAcknowledged:
      return "the server did not acknowledge the reading";
    case UploadOutcome::kNoConnection:
      return "no connection to the server";
    case UploadOutcome::kSendFailed:
      return "the request could not be sent";
    case UploadOutcome::kReceiveFailed:
      return "the server did not answer in time";
    case UploadOutcome::kNoReply:
      return "the server closed the connection without an answer";
    case UploadOutcome::kDropped:
      return "dropped: too soon after the last request";
    case UploadOutcome::kStopped:
      break;
  }
  return "stopped";
}

}  // namespace

UploadPart::UploadPart(UploadSocket& socket, const UploadTargets& targets,
                       std::ostream* diagnostics, ServiceLogLine log,
                       UploadSocket* weathercloudSocket, Finished finished)
    : targets_(targets),
      log_(std::move(log)),
      finished_(std::move(finished)),
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
  if (finished_ && result.outcome != UploadOutcome::kStopped) {
    finished_(request.service, acknowledged, FailureText(result.outcome));
  }
}

}  // namespace nimbrel
