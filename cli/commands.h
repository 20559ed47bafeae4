// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/options.h"

namespace nimbrel::cli {

// One command of nimbrel-cli: its name, its part of the help and what runs it.
struct CliCommand {
  using Runner = int (*)(const GlobalOptions& options);
  std::string_view name;
  // The command's synopsis after its name, then its description and options, indented.
  std::string_view help;
  // Nothing when this build was made without what the command needs (`needs` names it).
  Runner run;
  std::string_view needs = {};
};

// The line printed, with exit status 1, when a command is asked for that this build lacks.
std::string NotInThisBuild(const CliCommand& command);

// The command of this name, or nothing.
const CliCommand* FindCommand(std::string_view name);

// The whole help: every command with its options, the options before the command and those of
// the built-in console.
std::string Usage();

// One command's help, for COMMAND --help.
std::string CommandUsage(const CliCommand& command);

// Whether the command's arguments ask for its help.
bool AsksForHelp(const std::vector<std::string_view>& commandArgs);

}  // namespace nimbrel::cli
