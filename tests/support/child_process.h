// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A program run through the shell, as a user or a service manager starts it, and the log
// texts the tests count.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>

namespace nimbrel::testing {

// How many times longer than natively a program may take: NIMBREL_TIME_SCALE, which the build
// sets where its programs run under an emulator.
inline int TimeScale() {
  int scale = 1;
  if (const char* text = std::getenv("NIMBREL_TIME_SCALE")) {
    std::from_chars(text, text + std::strlen(text), scale);
  }
  return scale < 1 ? 1 : scale;
}

// A shell command in a child process, which should `exec` the program so that signals reach it;
// SIGKILLed at the end if still running.
class Child {
 public:
  explicit Child(const std::string& command) {
    pid_ = fork();
    if (pid_ == 0) {
      execl("/bin/sh", "sh", "-c", command.c_str(), nullptr);
      _exit(127);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  void Signal(int signal) const { kill(pid_, signal); }
  // The exit code (128 + the signal when killed by one), or -1 when the child has not ended
  // within `limit` (times the TimeScale()).
  int Wait(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit * TimeScale();
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > end) {
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

 private:
  pid_t pid_ = -1;
};

// How often `part` occurs in `text`.
inline std::size_t Count(std::string_view text, std::string_view part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

}  // namespace nimbrel::testing
