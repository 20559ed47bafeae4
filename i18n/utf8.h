// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace nimbrel {

// UTF-16 to UTF-8. A lone surrogate becomes U+FFFD, so the result is always valid UTF-8.
std::string ToUtf8(std::u16string_view text);

// UTF-8 to UTF-16. Malformed bytes become U+FFFD, each on its own.
std::u16string FromUtf8(std::string_view text);

// The first `maxUnits` code units of `text`, one fewer when the last would be the first half of a
// surrogate pair, so a cut never leaves half a character.
std::u16string_view ClipUtf16(std::u16string_view text, std::size_t maxUnits);

// File names in UTF-8, on every system: a plain std::string would be read and written in the
// old narrow code page on Windows, losing what it lacks.
std::filesystem::path PathFromUtf8(std::string_view name);
std::string Utf8FromPath(const std::filesystem::path& path);

}  // namespace nimbrel
