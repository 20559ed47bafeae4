// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/upload_command.h"

#include <atomic>
#include <cstdio>
#include <iostream>
#include <mutex>

#include "cli/console.h"
#include "cli/countdown.h"
#include "cli/environment.h"
#include "i18n/utf8.h"
#include "platform/interrupt.h"
#include "platform/upload_socket_factory.h"
#include "upload/upload_clock.h"
#include "upload/upload_worker.h"

namespace nimbrel::cli {

std::optional<std::string> ParseUploadArgs(const std::vector<std::string_view>& args,
                                           UploadArgs& parsed, bool needService) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (i + 1 == args.size()) {
      return "unexpected argument '" + std::string(arg) + "'";
    }
    const std::string_view value = args[++i];
    if (arg == "--wu-id" || arg == "--wu-key" || arg == "--wc-id" || arg == "--wc-key") {
      ServiceArgs& service = arg.starts_with("--wu") ? parsed.wu : parsed.wc;
      (arg.ends_with("-id") ? service.idAndKey.id : service.idAndKey.key) = FromUtf8(value);
    } else if (arg == "--wu-endpoint" || arg == "--wc-endpoint") {
      const auto endpoint = ParseEndpoint(value);
      if (!endpoint) {
        return "'" + std::string(value) + "' is not HOST or HOST:PORT";
      }
      (arg == "--wu-endpoint" ? parsed.wu : parsed.wc).endpoint = *endpoint;
    } else if (arg == "--count") {
      if (!ParsePositive(value, parsed.count)) {
        return "--count takes a positive number";
      }
    } else {
      return "unexpected argument '" + std::string(arg) + "'";
    }
  }
  if (needService && !parsed.wu.Enabled() && !parsed.wc.Enabled()) {
    return "give an ID and a key for at least one service (--wu-id/--wu-key, --wc-id/--wc-key)";
  }
  return std::nullopt;
}

namespace {

// Wraps each parameter text into a request for the worker, and prints how each one ended.
class Uploader : public CommandMessages, public UploadMessages {
 public:
  Uploader(Console& console, const UploadArgs& args, Countdown& finished)
      : CommandMessages(console), args_(args), finished_(finished) {}

  void Attach(UploadWorker& worker) { worker_ = &worker; }

  // On the reader's thread.
  void WuMessage(const ParamBuffer& text) override {
    Post(ServerIndex::WeatherUnderground, args_.wu, text);
  }
  void WeathercloudMessage(const ParamBuffer& text) override {
    Post(ServerIndex::Weathercloud, args_.wc, text);
  }

  // On the worker's thread.
  void UploadAckWu() override {}
  void UploadAckWc() override {}
  void UploadFinished(const UploadRequest& request, const UploadResult& result) override {
    const bool acknowledged = result.outcome == UploadOutcome::kAcknowledged;
    if (!acknowledged) {
      anyFailed_ = true;
    }
    const std::string line = std::string(ServiceName(request.service)) + " " +
                             MaskedRequestLine(request) + " " + (acknowledged ? "UPLOAD" : "FAIL") +
                             "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
    finished_.Count();
  }

  // Whether any upload of the run printed FAIL.
  bool AnyFailed() const { return anyFailed_; }

 private:
  void Post(ServerIndex service, const ServiceArgs& serviceArgs, const ParamBuffer& text) {
    const auto request = BuildUploadRequest(service, ParameterText(text), serviceArgs.Enabled(),
                                            serviceArgs.idAndKey, serviceArgs.endpoint);
    {
      // No more requests than asked for.
      std::lock_guard lock(mutex_);
      if (!request || worker_ == nullptr || (args_.count > 0 && posted_ >= args_.count)) {
        return;
      }
      ++posted_;
    }
    worker_->Post(*request);
  }

  const UploadArgs args_;
  Countdown& finished_;
  UploadWorker* worker_ = nullptr;
  std::mutex mutex_;
  long posted_ = 0;
  std::atomic<bool> anyFailed_ = false;  // written on the worker's thread
};

}  // namespace

int RunUploadCommand(const GlobalOptions& options) {
  UploadArgs args;
  if (const auto error = ParseUploadArgs(options.commandArgs, args, true)) {
    std::fprintf(stderr, "nimbrel-cli upload: %s\n", error->c_str());
    return 2;
  }
  Countdown finished(args.count);
  InterruptWatcher interrupt([&finished] { finished.Wake(); });
  const std::unique_ptr<Console> console = OpenConsole(options);
  if (!console) {
    return 2;
  }
  Uploader uploader(*console, args, finished);
  const std::unique_ptr<UploadSocket> wuSocket = MakeUploadSocket();
  const std::unique_ptr<UploadSocket> wcSocket = MakeUploadSocket();
  SteadyUploadClock clock;
  // The worker's diagnostic lines go to stderr, so stdout holds one line per request. A socket
  // for each service, so that neither waits for the other.
  UploadWorker worker({*wuSocket, clock, std::cerr}, {*wcSocket, clock, std::cerr}, uploader);
  uploader.Attach(worker);
  if (const auto failure = console->Connect(uploader)) {
    std::fprintf(stderr, "%s\n", failure->c_str());
    return 1;
  }
  finished.Wait(interrupt);
  console->Disconnect();
  worker.Stop();
  // A script can tell a run with a failed upload from one where every upload went through.
  return uploader.AnyFailed() ? 1 : 0;
}

}  // namespace nimbrel::cli
