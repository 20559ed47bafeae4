// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace nimbrel {

// The retained topics the service has left on each broker ("HOST:PORT"), so that those a change
// of prefix, Home Assistant prefix or discovery leaves behind can be cleared, after a restart too.
using AnnouncedTopics = std::map<std::string, std::set<std::string>, std::less<>>;

// A missing file reads as nothing announced; the error text when the file is there but cannot be
// read. Lines that are not "BROKER<TAB>TOPIC" are skipped.
std::optional<std::string> ReadAnnouncedTopics(const std::filesystem::path& file,
                                               AnnouncedTopics& announced);

// Replaces the file as a whole (never half written), readable by the user only; the error text
// when it cannot.
std::optional<std::string> WriteAnnouncedTopics(const std::filesystem::path& file,
                                                const AnnouncedTopics& announced);

}  // namespace nimbrel
