#include "readings/number_text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <iterator>
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

}  // namespace

std::optional<float> ReadLeadingNumber(std::u16string_view text) {
  const std::string narrow = NarrowAfterBlanks(text);
  const std::string_view number = WithoutPlusSign(narrow);
  float value = 0.0F;
  const std::from_chars_result read =
      std::from_chars(number.data(), number.data() + number.size(), value);
  // Out of a float's range counts as no number too, rather than as an infinity.
  if (read.ec != std::errc() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
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
std::optional<std::u16string> PrintFixedQuickly(double value, int decimals) {
  constexpr std::array<double, 4> kScale = {1.0, 10.0, 100.0, 1000.0};
  if (decimals < 0 || decimals > 3 || !std::isfinite(value) || std::fabs(value) >= 1e9) {
    return std::nullopt;
  }
  const double scaled = std::fabs(value) * kScale[static_cast<std::size_t>(decimals)];
  const double whole = std::floor(scaled);
  const double fraction = scaled - whole;
  if (std::fabs(fraction - 0.5) < 1e-6) {
    return std::nullopt;
  }
  auto digits = static_cast<long long>(whole) + (fraction > 0.5 ? 1 : 0);
  std::array<char16_t, 16> reversed{};
  std::size_t length = 0;
  for (int place = 0; place <= decimals || digits > 0; ++place) {
    if (place == decimals && decimals > 0) {
      reversed[length++] = u'.';
    }
    reversed[length++] = static_cast<char16_t>(u'0' + digits % 10);
    digits /= 10;
  }
  std::u16string text;
  if (std::signbit(value)) {
    text.push_back(u'-');  // as printf: -0.04 with one decimal is "-0.0"
  }
  text.append(std::make_reverse_iterator(reversed.begin() + static_cast<std::ptrdiff_t>(length)),
              std::make_reverse_iterator(reversed.begin()));
  return text;
}

}  // namespace

std::u16string PrintFixed(double value, int decimals) {
  if (auto quick = PrintFixedQuickly(value, decimals)) {
    return *std::move(quick);
  }
  // Room for any double printed with a few decimals: up to 309 digits before the point.
  std::array<char, 400> chars{};
  const auto [end, error] = std::to_chars(chars.data(), chars.data() + chars.size(), value,
                                          std::chars_format::fixed, decimals);
  if (error != std::errc()) {
    return {};
  }
  return std::u16string(chars.data(), end);
}

}  // namespace nimbrel
