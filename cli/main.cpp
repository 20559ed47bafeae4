// nimbrel-cli: the station link, the readings and the export without a window, for headless
// machines, scripts and end-to-end tests.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/export_command.h"
#include "cli/live_command.h"
#include "cli/options.h"
#include "cli/upload_command.h"
#include "simulator/console_options.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: nimbrel-cli [options] <command> [command options]\n"
    "\n"
    "Commands:\n"
    "  live [--count N] [--json]\n"
    "      Print the console's live readings as the dashboard shows them, N times or until\n"
    "      interrupted; with --json one JSON object per line.\n"
    "\n"
    "Options:\n"
    "  --simulate                 use the built-in console instead of the USB console\n"
    "  --temperature C|F          units for this run; the others come from the saved settings\n"
    "  --rain mm|in\n"
    "  --pressure hPa|mmHg|inHg\n"
    "  --wind mph|m/s|km/h|knots\n"
    "  --pressure-type abs|rel\n"
    "  --direction 16|360\n"
    "  --help, --version\n";

void PrintUsage(std::FILE* to) {
  std::fwrite(kUsage.data(), 1, kUsage.size(), to);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace nimbrel::cli;
  GlobalOptions options;
  if (const auto error = ParseGlobalOptions({argv + 1, argv + argc}, options)) {
    std::fprintf(stderr, "nimbrel-cli: %s\n\n", error->c_str());
    PrintUsage(stderr);
    return 2;
  }
  if (options.help) {
    PrintUsage(stdout);
    return 0;
  }
  if (options.version) {
    std::printf("nimbrel-cli %s\n", NIMBREL_VERSION);
    return 0;
  }
  if (options.command == "live") {
    return RunLiveCommand(options);
  }
  if (options.command == "export") {
    return RunExportCommand(options);
  }
  if (options.command == "upload") {
    return RunUploadCommand(options);
  }
  if (options.command.empty()) {
    PrintUsage(stderr);
  } else {
    std::fprintf(stderr, "nimbrel-cli: unknown command '%s'\n\n", options.command.c_str());
    PrintUsage(stderr);
  }
  return 2;
}
