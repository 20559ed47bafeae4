// SPDX-License-Identifier: GPL-3.0-or-later
#include "i18n/pack_reader.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

namespace nimbrel {

namespace {

constexpr char16_t kByteOrderMark = 0xFEFF;
constexpr std::u16string_view kLineEnds = u"\r\n";
constexpr std::u16string_view kBlanks = u" \t\v\f";

// Little-endian code units; the caller has cut `bytes` to whole units.
std::u16string DecodeUnits(std::span<const std::uint8_t> bytes) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
  }
  return units;
}

std::u16string_view Trim(std::u16string_view text) {
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::u16string_view::npos) {
    return {};
  }
  const auto last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

// The profile-string reader hands out a value enclosed in matching quotes without them.
std::u16string_view Unquote(std::u16string_view value) {
  if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// Takes the next line off `rest`. CR LF, CR and LF all end a line; empty lines are skipped.
std::u16string_view NextLine(std::u16string_view& rest) {
  const auto end = std::min(rest.find_first_of(kLineEnds), rest.size());
  const auto line = rest.substr(0, end);
  const auto next = rest.find_first_not_of(kLineEnds, end);
  rest.remove_prefix(next == std::u16string_view::npos ? rest.size() : next);
  return line;
}

// The name of a header line "[name]"; nothing when the line is no header.
std::optional<std::u16string_view> SectionName(std::u16string_view line) {
  if (!line.starts_with(u'[')) {
    return std::nullopt;
  }
  const auto close = line.rfind(u']');
  if (close == std::u16string_view::npos) {
    return std::nullopt;
  }
  return Trim(line.substr(1, close - 1));
}

char16_t LowerAscii(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool SameName(std::u16string_view name, std::string_view section) {
  if (name.size() != section.size()) {
    return false;
  }
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto wanted = static_cast<char16_t>(static_cast<unsigned char>(section[i]));
    if (LowerAscii(name[i]) != LowerAscii(wanted)) {
      return false;
    }
  }
  return true;
}

// n for a key "ln" with n from 1 to 69 (either case of the l, no leading zero); 0 for any other.
int KeyNumber(std::u16string_view key) {
  if (key.size() < 2 || key.size() > 3 || LowerAscii(key[0]) != u'l' || key[1] == u'0') {
    return 0;
  }
  int number = 0;
  for (const char16_t digit : key.substr(1)) {
    if (digit < u'0' || digit > u'9') {
      return 0;
    }
    number = number * 10 + (digit - u'0');
  }
  return number <= kLastLanguageKey ? number : 0;
}

struct KeyLine {
  std::u16string_view key;
  std::u16string_view value;
};

std::optional<KeyLine> SplitKeyLine(std::u16string_view line) {
  const auto equals = line.find(u'=');
  if (equals == std::u16string_view::npos) {
    return std::nullopt;
  }
  return KeyLine{Trim(line.substr(0, equals)), Unquote(Trim(line.substr(equals + 1)))};
}

// Moves `rest` past the header of the first section named `section`; false when there is none.
bool SkipToSection(std::u16string_view& rest, std::string_view section) {
  while (!rest.empty()) {
    const auto name = SectionName(Trim(NextLine(rest)));
    if (name && SameName(*name, section)) {
      return true;
    }
  }
  return false;
}

// Reads the key lines of a section body, up to the next header.
void ReadSectionBody(std::u16string_view rest, LanguageTable& table) {
  std::array<bool, kLanguageKeyCount> seen{};
  while (!rest.empty()) {
    const auto line = Trim(NextLine(rest));
    if (SectionName(line)) {
      return;
    }
    const auto keyLine = SplitKeyLine(line);
    const int key = keyLine ? KeyNumber(keyLine->key) : 0;
    if (key == 0 || seen[key - 1]) {
      continue;
    }
    seen[key - 1] = true;
    table[key - 1] = keyLine->value.substr(0, kLanguageTextMax);
  }
}

}  // namespace

std::span<const std::uint8_t> PackTextBytes(std::span<const std::uint8_t> pack) {
  const std::size_t whole = pack.size() - pack.size() % 2;
  for (std::size_t i = 0; i < whole; i += 2) {
    if (pack[i] == 0 && pack[i + 1] == 0) {
      return pack.first(i);
    }
  }
  return pack.first(whole);
}

bool ReadLanguagePack(std::span<const std::uint8_t> pack, std::string_view section,
                      LanguageTable& table) {
  table = LanguageTable{};
  const std::u16string units = DecodeUnits(PackTextBytes(pack));
  std::u16string_view rest = units;
  if (!rest.starts_with(kByteOrderMark)) {
    return false;
  }
  rest.remove_prefix(1);
  if (!SkipToSection(rest, section)) {
    return false;
  }
  ReadSectionBody(rest, table);
  return true;
}

}  // namespace nimbrel
