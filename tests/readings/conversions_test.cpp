// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <array>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "readings/compass.h"
#include "readings/number_text.h"
#include "readings/reading_format.h"
#include "readings/units.h"

namespace nimbrel {
namespace {

std::u16string Wide(std::string_view ascii) {
  return {ascii.begin(), ascii.end()};
}

// The C library, in the "C" locale, is the reference for reading and printing; what is no
// finite number is not read.
TEST(NumberText, ReadsAndPrintsAsTheCLibraryDoesInTheCLocale) {
  for (const char* text : {"23.5", "  -4.25x", "+1e2", ".5", "7.", "1013.2", "3e", "0.1", "-0",
                           "1.2.3", "16777217", "0.0000000001", "9.87654321e-3"}) {
    float expected = 0;
    ASSERT_EQ(std::sscanf(text, "%f", &expected), 1);
    EXPECT_EQ(ReadLeadingNumber(Wide(text)), expected) << text;
  }
  // Short decimals, as the console writes them, take a quicker road than long ones: same floats.
  for (int units = -3000000; units <= 3000000; units += 997) {
    for (const int decimals : {0, 1, 3, 7}) {
      std::array<char, 32> text{};
      std::snprintf(text.data(), text.size(), "%.*f", decimals, units / std::pow(10.0, decimals));
      float expected = 0;
      std::sscanf(text.data(), "%f", &expected);
      ASSERT_EQ(ReadLeadingNumber(std::string_view(text.data())), expected) << text.data();
    }
  }
  for (const double value : {74.3, -40.0, 0.125, 2.675, 0.005, 759.95, -0.04, 1e20}) {
    for (const int decimals : {1, 2}) {
      std::array<char, 64> expected{};
      std::snprintf(expected.data(), expected.size(), "%.*f", decimals, value);
      EXPECT_EQ(PrintFixed(value, decimals), Wide(expected.data()));
    }
  }
  for (const std::u16string_view text : {u"", u"abc", u"-", u"+-1", u"1e39", u"inf", u"nan"}) {
    EXPECT_FALSE(ReadLeadingNumber(text).has_value());
  }
  EXPECT_EQ(ReadLeadingInteger(u" +42.9x"), 42);
  EXPECT_EQ(ReadLeadingInteger(u"99999999999"), 0);
}

// Whole-number bounds, not 22.5-degree sectors: east ends at 100, not 101.
TEST(Compass, SectorsAndPointNames) {
  const int sectors[][2] = {{-5, 1},  {11, 1},   {12, 2},   {100, 5}, {101, 6},
                            {190, 9}, {191, 10}, {348, 16}, {349, 1}, {1000, 1}};
  for (const auto& [degrees, sector] : sectors) {
    EXPECT_EQ(CompassSectorFromDegrees(degrees), sector) << degrees;
  }
  EXPECT_EQ(CompassPointIndex(u"E"), 5);
  for (const std::u16string_view text : {u"n", u"--", u"", u"N ", u"NNWW"}) {
    EXPECT_EQ(CompassPointIndex(text), -1);
  }
}

TEST(NumberText, IgnoresTheUsersLocale) {
#ifdef NIMBREL_TEST_LOCALE_DIR
  setenv("LOCPATH", NIMBREL_TEST_LOCALE_DIR, 1);  // the copy built with the tests
#endif
#ifdef _WIN32
  const char* german = "German_Germany.1252";
#else
  const char* german = "de_DE.UTF-8";
#endif
  if (std::setlocale(LC_ALL, german) == nullptr) {
    GTEST_SKIP() << "no German locale (decimal comma) on this machine";
  }
  const UnitSettings units{.temperatureUnit = TemperatureUnit::Fahrenheit};
  const std::u16string shown = FormatReading(ReadingKind::Temperature, u"23.5", units).value;
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(shown, u"74.3");  // read as 23.5 (not 23) and printed with a point
}

}  // namespace
}  // namespace nimbrel
