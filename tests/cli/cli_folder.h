// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// nimbrel-cli run as a user runs it, with its settings and files in a folder of the test's own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "tests/cli/whole_export.h"
#include "tests/support/temp_dir.h"

namespace nimbrel::testing {

struct CliRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

class CliFolderTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(dir_ / "config"); }

  // One argument as the shell takes it whole (no quotes inside).
  static std::string Quoted(const std::string& arg) {
#ifdef _WIN32
    return '"' + arg + '"';
#else
    return "'" + arg + "'";
#endif
  }

#ifdef _WIN32
  // cmd.exe drops the outer quotes and keeps the rest; the settings are the registry's.
  std::string Command(const std::string& args) const {
    return "\"" + Quoted(NIMBREL_CLI) + " " + args + " >" + Quoted(Out("stdout")) + " 2>" +
           Quoted(Out("stderr")) + "\"";
  }
  static int ExitCode(int status) {
    return status;
  }
#else
  // The shell command: `exec`, so that a test can kill the program itself.
  std::string Command(const std::string& args) const {
    return "XDG_CONFIG_HOME=" + Quoted(Out("config")) + " exec " + Quoted(NIMBREL_CLI) + " " +
           args + " >" + Quoted(Out("stdout")) + " 2>" + Quoted(Out("stderr"));
  }
  static int ExitCode(int status) {
    return WEXITSTATUS(status);
  }
#endif

  CliRun Cli(const std::string& args) const {
    const int status = std::system(Command(args).c_str());
    return {ExitCode(status), ReadFile(dir_ / "stdout"), ReadFile(dir_ / "stderr")};
  }

  std::string Out(const char* name) const {
    return (dir_ / name).string();
  }
  // An output file's name as one argument.
  std::string OutArg(const char* name) const {
    return Quoted(Out(name));
  }

  TempDir folder_{"nimbrel-cli-"};
  const std::filesystem::path& dir_ = folder_.Path();
};

}  // namespace nimbrel::testing
