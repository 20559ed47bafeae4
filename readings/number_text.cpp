// SPDX-License-Identifier: GPL-3.0-or-later
#include "readings/number_text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>

namespace nimbrel {

namespace {

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

// The text after its leading blanks, narrowed up to its first character outside ASCII (which can
// be no part of a number).
std::string NarrowAfterBlanks(std::u16string_view text) {
  std::size_t start = 0;
  while (start < text.size() && IsBlank(text[start])) {
    ++start;
  }
  std::string narrow;
  for (const char16_t c : text.substr(start)) {
    if (c > 0x7F) {
      break;
    }
    narrow.push_back(static_cast<char>(c));
  }
  return narrow;
}

// from_chars takes a minus sign but no plus sign; "+-1" is no number.
std::string_view WithoutPlusSign(std::string_view text) {
  if (text.starts_with('+') && !text.substr(1).starts_with('-')) {
    text.remove_prefix(1);
  }
  return text;
}

// The common case without the general conversion: at most seven digits and ten decimals, no
// exponent. Both the digits and the power of ten are exact in a float, so one division rounds
// exactly as from_chars does; anything else is left to from_chars.
std::optional<float> ReadPlainDecimal(std::string_view text) {
  constexpr std::array<float, 11> kPowersOfTen = {1e0F, 1e1F, 1e2F, 1e3F, 1e4F, 1e5F,
                                                  1e6F, 1e7F, 1e8F, 1e9F, 1e10F};
  constexpr std::uint32_t kExactDigits = 1U << 24;
  const bool negative = text.starts_with('-');
  std::size_t at = negative ? 1 : 0;
  std::uint32_t digits = 0;
  std::size_t decimals = 0;
  std::size_t digitCount = 0;
  bool point = false;
  for (; at < text.size(); ++at) {
    const char c = text[at];
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    if (c < '0' || c > '9') {
      break;
    }
    digits = digits * 10 + static_cast<std::uint32_t>(c - '0');
    ++digitCount;
    decimals += point ? 1 : 0;
    if (digits >= kExactDigits || decimals >= kPowersOfTen.size()) {
      return std::nullopt;
    }
  }
  if (digitCount == 0 || (at < text.size() && (text[at] == 'e' || text[at] == 'E'))) {
    return std::nullopt;
  }
  const float value = static_cast<float>(digits) / kPowersOfTen[decimals];
  return negative ? -value : value;
}

}  // namespace

std::optional<float> ReadLeadingNumber(std::string_view text) {
  while (!text.empty() && IsBlank(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  const std::string_view number = WithoutPlusSign(text);
  if (const std::optional<float> plain = ReadPlainDecimal(number)) {
    return plain;
  }
  float value = 0.0F;
  const std::from_chars_result read =
      std::from_chars(number.data(), number.data() + number.size(), value);
  // Out of a float's range counts as no number too, rather than as an infinity.
  if (read.ec != std::errc() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::optional<float> ReadLeadingNumber(std::u16string_view text) {
  return ReadLeadingNumber(std::string_view(NarrowAfterBlanks(text)));
}

int ReadLeadingInteger(std::u16string_view text) {
  const std::string narrow = NarrowAfterBlanks(text);
  const std::string_view number = WithoutPlusSign(narrow);
  int value = 0;
  const std::from_chars_result read =
      std::from_chars(number.data(), number.data() + number.size(), value);
  return read.ec == std::errc() ? value : 0;
}

namespace {

// The common case of PrintFixed without the general conversion, which costs hundreds of
// instructions a call: a value below a billion with at most three decimals, rounded in integers.
// Nothing when the value lies so near a rounding tie that the scaling could tip it; the exact
// conversion decides those.
std::optional<std::string_view> PrintFixedQuickly(double value, int decimals, FixedText& buffer) {
  constexpr std::array<double, 4> kScale = {1.0, 10.0, 100.0, 1000.0};
  if (decimals < 0 || decimals > 3 || !std::isfinite(value) || std::fabs(value) >= 1e9) {
    return std::nullopt;
  }
  const double scaled = std::fabs(value) * kScale[static_cast<std::size_t>(decimals)];
  const auto whole = static_cast<long long>(scaled);  // not negative: cutting is rounding down
  const double fraction = scaled - static_cast<double>(whole);
  if (std::fabs(fraction - 0.5) < 1e-6) {
    return std::nullopt;
  }
  long long digits = whole + (fraction > 0.5 ? 1 : 0);
  // Written backwards from the end of the buffer; at most 10 digits, a point and a sign.
  std::size_t start = buffer.size();
  for (int place = 0; place <= decimals || digits > 0; ++place) {
    if (place == decimals && decimals > 0) {
      buffer[--start] = '.';
    }
    buffer[--start] = static_cast<char>('0' + digits % 10);
    digits /= 10;
  }
  if (std::signbit(value)) {
    buffer[--start] = '-';  // as printf: -0.04 with one decimal is "-0.0"
  }
  return std::string_view(buffer.data() + start, buffer.size() - start);
}

}  // namespace

std::string_view PrintFixed(double value, int decimals, FixedText& buffer) {
  if (const auto quick = PrintFixedQuickly(value, decimals, buffer)) {
    return *quick;
  }
  const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                          std::chars_format::fixed, decimals);
  if (error != std::errc()) {
    return {};
  }
  return {buffer.data(), static_cast<std::size_t>(end - buffer.data())};
}

std::u16string PrintFixed(double value, int decimals) {
  FixedText buffer;
  const std::string_view text = PrintFixed(value, decimals, buffer);
  return std::u16string(text.begin(), text.end());
}

}  // namespace nimbrel
