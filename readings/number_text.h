// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace nimbrel {

// Numbers are read and printed the same way whatever the user's locale: the console always
// writes a decimal point, and so do the dashboard and the export file.

// The decimal number at the start of a reading, as a 32-bit float: leading blanks are skipped,
// then an optional sign, digits, an optional fraction and exponent; reading stops at the first
// character that does not fit. Nothing when the text does not begin with a finite number.
std::optional<float> ReadLeadingNumber(std::u16string_view text);
std::optional<float> ReadLeadingNumber(std::string_view text);

// The whole number at the start of a text (leading blanks, optional sign, digits); 0 when the
// text does not begin with one, or when it does not fit an int.
int ReadLeadingInteger(std::u16string_view text);

// The value with a fixed number of decimals, rounded to nearest as "%.1f" or "%.2f" would.
std::u16string PrintFixed(double value, int decimals);

// Room for any double printed with a few decimals: up to 309 digits before the point.
using FixedText = std::array<char, 400>;
// The same printed into the caller's buffer; the view is empty when the value cannot be printed.
std::string_view PrintFixed(double value, int decimals, FixedText& buffer);

}  // namespace nimbrel
