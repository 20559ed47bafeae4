// nimbrel-cli: the station link without a window, for headless machines and scripts.
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/live_command.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: nimbrel-cli [--help] [--version] <command> [options]\n"
    "\n"
    "Commands:\n"
    "  live [--count N]   print the console's live readings as they arrive (N of them, or\n"
    "                     until interrupted)\n";

bool ParseCount(std::string_view text, int& count) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
  return error == std::errc() && end == text.data() + text.size() && count > 0;
}

int RunLive(const std::vector<std::string_view>& args) {
  nimbrel::cli::LiveOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--count" && i + 1 < args.size() && ParseCount(args[i + 1], options.count)) {
      ++i;
      continue;
    }
    std::fprintf(stderr, "nimbrel-cli live: unexpected argument '%.*s'\n%.*s",
                 static_cast<int>(args[i].size()), args[i].data(), static_cast<int>(kUsage.size()),
                 kUsage.data());
    return 2;
  }
  return nimbrel::cli::RunLiveCommand(options);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    std::fwrite(kUsage.data(), 1, kUsage.size(), args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  if (args[0] == "--version") {
    std::printf("nimbrel-cli %s\n", NIMBREL_VERSION);
    return 0;
  }
  if (args[0] == "live") {
    return RunLive({args.begin() + 1, args.end()});
  }
  std::fprintf(stderr, "nimbrel-cli: unknown command '%.*s'\n%.*s",
               static_cast<int>(args[0].size()), args[0].data(), static_cast<int>(kUsage.size()),
               kUsage.data());
  return 2;
}
