// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/json_text.h"

#include <array>
#include <charconv>
#include <cmath>

namespace nimbrel::web {

void AppendJsonString(std::string& out, std::string_view text) {
  constexpr std::string_view kHex = "0123456789abcdef";
  out.push_back('"');
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (byte < 0x20 || byte == 0x7f) {
      out.append("\\u00").append(1, kHex[byte >> 4]).append(1, kHex[byte & 0xF]);
    } else {
      out.push_back(c);
    }
  }
  out.push_back('"');
}

void AppendJsonNumber(std::string& out, double value, int decimals) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  std::array<char, 64> digits{};
  const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value,
                                    std::chars_format::fixed, decimals);
  if (result.ec != std::errc()) {
    out += "null";
    return;
  }
  std::string_view text(digits.data(), static_cast<std::size_t>(result.ptr - digits.data()));
  // "-0.0" is a rounding's sign, not a reading below zero.
  if (text.find_first_not_of("-0.") == std::string_view::npos && text.front() == '-') {
    text.remove_prefix(1);
  }
  out += text;
}

std::string UtcText(std::chrono::sys_seconds time) {
  const auto day = std::chrono::floor<std::chrono::days>(time);
  const std::chrono::year_month_day date{day};
  const std::chrono::hh_mm_ss clock{time - day};
  std::array<char, 32> text{};
  const auto put = [&](std::size_t at, long value, int width) {
    for (int i = width - 1; i >= 0; --i, value /= 10) {
      text[at + static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
    }
  };
  put(0, static_cast<int>(date.year()), 4);
  text[4] = '-';
  put(5, static_cast<unsigned>(date.month()), 2);
  text[7] = '-';
  put(8, static_cast<unsigned>(date.day()), 2);
  text[10] = 'T';
  put(11, clock.hours().count(), 2);
  text[13] = ':';
  put(14, clock.minutes().count(), 2);
  text[16] = ':';
  put(17, clock.seconds().count(), 2);
  text[19] = 'Z';
  return std::string(text.data(), 20);
}

}  // namespace nimbrel::web
