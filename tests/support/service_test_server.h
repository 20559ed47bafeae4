// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The weather services' servers of the tests (service_test_server.py, started as a child): HTTPS
// with a certificate authority of the test's own, plain HTTP, or APRS-IS; each records what it
// was sent.
#include <charconv>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace nimbrel::testing {

class ServiceTestServer {
 public:
  enum class Kind { kHttps, kHttp, kAprs };

  // `script`: the JSON of DIR/script.json (see the script), or empty for none.
  explicit ServiceTestServer(Kind kind, std::string_view script = {}) : kind_(kind) {
    if (!script.empty()) {
      std::ofstream(folder_.File("script.json"), std::ios::binary) << script;
    }
    constexpr std::string_view kModes[] = {"https", "web", "aprs"};
    server_.emplace("exec python3 " NIMBREL_SERVICE_TEST_SERVER " " +
                    std::string(kModes[static_cast<int>(kind)]) + " " + folder_.Path().string());
    // Generous: python's start and the certificates may take a while on a busy machine.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!std::filesystem::exists(folder_.File("port")) &&
           std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const std::string port = ReadFile(folder_.File("port"));
    std::from_chars(port.data(), port.data() + port.size(), port_);
  }

  std::uint16_t Port() const { return port_; }  // 0 when the server did not start
  std::string Url(std::string_view target) const {
    return std::string(kind_ == Kind::kHttps ? "https" : "http") +
           "://127.0.0.1:" + std::to_string(port_) + std::string(target);
  }
  std::string CaFile() const { return folder_.File("ca.pem"); }

  // The requests recorded so far (one line each), once `count` have come; fewer after `limit`.
  std::vector<std::string> Requests(std::size_t count,
                                    std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
      std::vector<std::string> lines;
      std::istringstream text(ReadFile(folder_.File("requests")));
      for (std::string line; std::getline(text, line);) {
        lines.push_back(line);
      }
      if (lines.size() >= count || std::chrono::steady_clock::now() > end) {
        return lines;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

 private:
  Kind kind_;
  TempDir folder_{"nimbrel-service-server-"};
  std::optional<Child> server_;  // after the folder: killed before the folder goes
  std::uint16_t port_ = 0;
};

}  // namespace nimbrel::testing
