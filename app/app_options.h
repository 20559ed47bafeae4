#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "simulator/console_options.h"
#include "upload/upload_request.h"

namespace nimbrel::app {

// The program's command line.
struct AppOptions {
  bool help = false;
  bool version = false;
  std::optional<ConsoleOptions> simulated;  // --simulate, with the --console-* options
  UploadEndpoints endpoints;                // --wu-endpoint, --wc-endpoint
};

// Reads the command line (without the program name); the error text when an option is wrong.
std::optional<std::string> ParseAppOptions(const std::vector<std::string_view>& args,
                                           AppOptions& options);

std::string AppUsage();

}  // namespace nimbrel::app
