// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/console_lock.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

#include <filesystem>
#include <string>

namespace nimbrel {
namespace {

TEST(ConsoleLock, TheSecondClaimNamesTheHolderUntilTheLockIsGone) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("nimbrel-lock-" + std::to_string(getpid())) / "console.lock";
  ConsoleClaim first = ConsoleClaim::Take(path, "nimbrel-cli serve");
  ASSERT_NE(first.lock, nullptr);
  const ConsoleClaim second = ConsoleClaim::Take(path, "nimbrel");
  EXPECT_EQ(second.lock, nullptr);
  EXPECT_EQ(second.heldBy, "nimbrel-cli serve (pid " + std::to_string(getpid()) + ")");
  first.lock.reset();
  EXPECT_NE(ConsoleClaim::Take(path, "nimbrel").lock, nullptr);
  std::filesystem::remove_all(path.parent_path());
}

}  // namespace
}  // namespace nimbrel
