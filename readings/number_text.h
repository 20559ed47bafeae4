#pragma once

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

// The whole number at the start of a text (leading blanks, optional sign, digits); 0 when the
// text does not begin with one, or when it does not fit an int.
int ReadLeadingInteger(std::u16string_view text);

// The value with a fixed number of decimals, rounded to nearest as "%.1f" or "%.2f" would.
std::u16string PrintFixed(double value, int decimals);

}  // namespace nimbrel
