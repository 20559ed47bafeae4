// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// nimbrel-cli run as a user runs it, with its settings and files in a folder of the test's own.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/cli/whole_export.h"

namespace nimbrel::testing {

struct CliRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

class CliFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "config");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // The shell command: `exec`, so that a test can kill the program itself.
  std::string Command(const std::string& args) const {
    return "XDG_CONFIG_HOME='" + Out("config") + "' exec '" + NIMBREL_CLI + "' " + args + " >'" +
           Out("stdout") + "' 2>'" + Out("stderr") + "'";
  }
  CliRun Cli(const std::string& args) const {
    const int status = std::system(Command(args).c_str());
    return {WEXITSTATUS(status), ReadFile(dir_ / "stdout"), ReadFile(dir_ / "stderr")};
  }

  std::string Out(const char* name) const { return (dir_ / name).string(); }

  const ::testing::TestInfo& test_ = *::testing::UnitTest::GetInstance()->current_test_info();
  std::filesystem::path dir_ =
      std::filesystem::temp_directory_path() / ("nimbrel-cli-" + std::to_string(::getpid()) + "-" +
                                                test_.test_suite_name() + "-" + test_.name());
};

}  // namespace nimbrel::testing
