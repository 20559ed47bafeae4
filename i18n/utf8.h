#pragma once

#include <string>
#include <string_view>

namespace nimbrel {

// UTF-16 to UTF-8. A lone surrogate becomes U+FFFD, so the result is always valid UTF-8.
std::string ToUtf8(std::u16string_view text);

// UTF-8 to UTF-16. Malformed bytes become U+FFFD, each on its own.
std::u16string FromUtf8(std::string_view text);

}  // namespace nimbrel
