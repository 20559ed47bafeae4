// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/mqtt_announced.h"

#include <fstream>
#include <system_error>

namespace nimbrel {

namespace fs = std::filesystem;

namespace {

// Far more than one service ever announces; a larger file is not ours.
constexpr std::uintmax_t kLargestFile = 1 << 20;

std::string Reason(const fs::path& file, const std::error_code& error) {
  return file.string() + ": " + error.message();
}

}  // namespace

std::optional<std::string> ReadAnnouncedTopics(const fs::path& file, AnnouncedTopics& announced) {
  std::error_code error;
  if (!fs::exists(file, error)) {
    return error ? std::optional(Reason(file, error)) : std::nullopt;
  }
  const std::uintmax_t size = fs::file_size(file, error);
  if (error || size > kLargestFile) {
    return error ? Reason(file, error) : file.string() + ": too large";
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    return file.string() + ": cannot be read";
  }
  for (std::string line; std::getline(in, line);) {
    const std::size_t tab = line.find('\t');
    if (tab != std::string::npos && tab > 0 && tab + 1 < line.size()) {
      announced[line.substr(0, tab)].insert(line.substr(tab + 1));
    }
  }
  return in.bad() ? std::optional<std::string>(file.string() + ": cannot be read") : std::nullopt;
}

std::optional<std::string> WriteAnnouncedTopics(const fs::path& file,
                                                const AnnouncedTopics& announced) {
  std::error_code error;
  fs::create_directories(file.parent_path(), error);
  if (error) {
    return Reason(file.parent_path(), error);
  }
  // Beside the file, so that the rename cannot cross file systems.
  fs::path temporary = file;
  temporary += ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    fs::permissions(temporary, fs::perms::owner_read | fs::perms::owner_write,
                    fs::perm_options::replace, error);
    for (const auto& [broker, topics] : announced) {
      for (const std::string& topic : topics) {
        out << broker << '\t' << topic << '\n';
      }
    }
    out.close();
    if (!out || error) {
      fs::remove(temporary, error);
      return file.string() + ": cannot be written";
    }
  }
  fs::rename(temporary, file, error);
  if (error) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return Reason(file, error);
  }
  return std::nullopt;
}

}  // namespace nimbrel
