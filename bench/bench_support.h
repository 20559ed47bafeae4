// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

// What the benchmarks share.
namespace nimbrel {

// An archive file with the -wal and -shm beside it.
inline void RemoveArchiveFile(const std::filesystem::path& path) {
  for (const char* suffix : {"", "-wal", "-shm"}) {
    std::filesystem::remove(path.string() + suffix);
  }
}

// A line of the process's status in kB: "VmRSS:" its resident memory, "VmHWM:" its peak since
// the last ResetPeakMemory.
inline std::int64_t MemoryLine(std::string_view name) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with(name)) {
      return std::stoll(line.substr(name.size()));
    }
  }
  return 0;
}

inline void ResetPeakMemory() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

}  // namespace nimbrel
