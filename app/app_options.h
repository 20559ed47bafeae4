// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "simulator/console_options.h"
#include "upload/upload_request.h"

namespace nimbrel::app {

// The program's command line.
struct AppOptions {
  std::optional<ConsoleOptions> simulated;       // --simulate, with the --console-* options
  UploadEndpoints endpoints;                     // --wu-endpoint, --wc-endpoint
  std::optional<std::filesystem::path> archive;  // --archive; else the default file
  std::chrono::minutes archiveLiveEvery{5};      // --archive-live-minutes; 0 keeps none
};

// What the command line asks for before any window: the usage (--help, -h) or the version
// (--version), wherever it stands and whatever else stands beside it; else to run.
enum class AppRequest { kRun, kUsage, kVersion };
AppRequest FindAppRequest(const std::vector<std::string_view>& args);

// The command line as QApplication leaves it, its own options (-session, -style, -platform, ...)
// taken out, without the program name. Call once QApplication is made.
std::vector<std::string> ArgumentsLeftByQt();

// Reads our options from what Qt left; the error text when an option is wrong.
std::optional<std::string> ParseAppOptions(const std::vector<std::string_view>& args,
                                           AppOptions& options);

std::string AppUsage();

}  // namespace nimbrel::app
