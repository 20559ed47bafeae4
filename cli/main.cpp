// SPDX-License-Identifier: GPL-3.0-or-later
// nimbrel-cli: the station link, the readings and the export without a window, for headless
// machines, scripts and end-to-end tests.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/options.h"
#include "platform/arguments.h"
#include "platform/standard_streams.h"

namespace {

void Print(const std::string& text, std::FILE* to) {
  std::fwrite(text.data(), 1, text.size(), to);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace nimbrel::cli;
  nimbrel::UseExactStandardStreams();
  const std::vector<std::string> arguments = nimbrel::ProgramArguments(argc, argv);
  GlobalOptions options;
  if (const auto error = ParseGlobalOptions({arguments.begin(), arguments.end()}, options)) {
    std::fprintf(stderr, "nimbrel-cli: %s\n\n", error->c_str());
    Print(Usage(), stderr);
    return 2;
  }
  if (options.help) {
    Print(Usage(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("nimbrel-cli %s\n", NIMBREL_VERSION);
    return 0;
  }
  const CliCommand* command = FindCommand(options.command);
  if (command == nullptr) {
    if (!options.command.empty()) {
      std::fprintf(stderr, "nimbrel-cli: unknown command '%s'\n\n", options.command.c_str());
    }
    Print(Usage(), stderr);
    return 2;
  }
  if (AsksForHelp(options.commandArgs)) {
    Print(CommandUsage(*command), stdout);
    return 0;
  }
  if (command->run == nullptr) {
    Print(NotInThisBuild(*command), stderr);
    return 1;
  }
  return command->run(options);
}
