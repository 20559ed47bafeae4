// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace nimbrel::platform {

// The bytes of a gzip stream unpacked, for the rare client that does not take gzip; nothing when
// the stream is damaged or would unpack past `limit` bytes.
std::optional<std::string> Gunzip(std::string_view gzipped, std::size_t limit);

}  // namespace nimbrel::platform
