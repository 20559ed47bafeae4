// SPDX-License-Identifier: GPL-3.0-or-later
// nimbrel-cli stats and report run as a user runs them, over an archive the test builds from
// record texts of its own; the expected figures come straight from those texts.
#include <gtest/gtest.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "tests/cli/cli_folder.h"

namespace nimbrel::testing {
namespace {

using namespace std::chrono;

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string Two(long value) {
  return (value < 10 ? "0" : "") + std::to_string(value);
}

std::string Date(local_days day) {
  const year_month_day date{day};
  return std::to_string(static_cast<int>(date.year())) + "-" +
         Two(static_cast<unsigned>(date.month())) + "-" + Two(static_cast<unsigned>(date.day()));
}

// Ten-minute records from late November to early January, with two whole days missing, dashes
// in every kind of field now and then, dry days, and two records whose date cannot be read.
std::vector<std::string> Winter() {
  std::vector<std::string> texts;
  unsigned seed = 5;
  const auto next = [&seed](unsigned range) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % range;
  };
  static constexpr const char* kPoints[] = {"N", "NNE", "NE", "ENE", "E", "ESE", "SE", "SSE",
                                            "S", "SSW", "SW", "WSW", "W", "WNW", "NW", "NNW"};
  for (local_days day = local_days{2024y / 11 / 28}; day <= local_days{2025y / 1 / 5};
       day += days{1}) {
    if (day == local_days{2024y / 12 / 24} || day == local_days{2025y / 1 / 2}) {
      continue;
    }
    const bool dry = day.time_since_epoch().count() % 3 == 0;
    double rain = 0;
    for (int minute = 0; minute < 24 * 60; minute += 10) {
      const double rate = !dry && next(12) == 0 ? 0.3 * (1 + next(20)) : 0;
      rain += rate / 6;
      const unsigned point = next(16);
      const auto temperature = Fixed(-6 + next(200) / 10.0, 1);
      std::string text = "12 " + Date(day) + " " + Two(minute / 60) + ":" + Two(minute % 60);
      text += " 21.5 45 " + (next(30) == 0 ? std::string("--.-") : temperature) + " " +
              std::to_string(40 + next(58)) + " " + (next(40) == 0 ? "-" : Fixed(rain, 1)) + " " +
              Fixed(rate, 1) + " " + (next(25) == 0 ? "-.-" : Fixed(next(300) / 10.0, 1)) + " " +
              Fixed(next(500) / 10.0, 1) + " " + std::to_string(point * 22 + 5) + " " +
              kPoints[point] + " " + (next(35) == 0 ? "----.-" : Fixed(990 + next(400) / 10.0, 1)) +
              " 1000.0 " + std::to_string(next(4)) + " 1.0 " + temperature + " " + temperature +
              " 60 --.- -- --.- -- --.- -- --.- -- --.- -- --.- -- " + temperature + " 0.0 0.0 0.0";
      texts.push_back(text);
    }
  }
  texts.push_back("12 2024-13-40 10:00 99.0 45 99.0 99 99.0 99.0 99.0 99.0 0 N 1050.0 1050.0 9");
  texts.push_back("12 2024-12-31 xx 99.0 45 99.0 99 99.0 99.0 99.0 99.0 0 N 1050.0 1050.0 9");
  return texts;
}

std::vector<std::string_view> Split(std::string_view text) {
  std::vector<std::string_view> fields;
  for (std::size_t space; (space = text.find(' ')) != std::string_view::npos;) {
    fields.push_back(text.substr(0, space));
    text.remove_prefix(space + 1);
  }
  fields.push_back(text);
  return fields;
}

std::optional<double> Number(std::string_view field, bool temperature) {
  if (temperature ? field.find("--") != field.npos : field.find('-') != field.npos) {
    return std::nullopt;
  }
  double value = 0;
  std::from_chars(field.data(), field.data() + field.size(), value);
  return value;
}

struct Dated {
  local_days day;
  std::string time;  // "2025-01-04T14:35"
  std::vector<std::string_view> fields;
};

// The records whose date and time read, in the order they were made.
std::vector<Dated> DatedRecords(const std::vector<std::string>& texts, local_days first,
                                local_days last) {
  std::vector<Dated> dated;
  for (const std::string& text : texts) {
    const auto fields = Split(text);
    int y = 0;
    unsigned m = 0, d = 0, h = 99, min = 99;
    if (std::sscanf(std::string(fields[1]).c_str(), "%d-%u-%u", &y, &m, &d) != 3 ||
        std::sscanf(std::string(fields[2]).c_str(), "%u:%u", &h, &min) != 2 || h > 23) {
      continue;
    }
    const year_month_day date{year{y}, month{m}, day{d}};
    if (date.ok() && local_days{date} >= first && local_days{date} <= last) {
      dated.push_back(
          {local_days{date}, Date(local_days{date}) + "T" + std::string(fields[2]), fields});
    }
  }
  return dated;
}

// One value's JSON object as the issue shows it, from field `field` of the records.
std::string ExpectedValue(const std::vector<Dated>& records, std::size_t field, bool temperature,
                          int decimals) {
  std::optional<std::pair<double, std::string>> high, low;
  double sum = 0;
  long count = 0;
  for (const Dated& record : records) {
    if (const auto value = Number(record.fields[field], temperature)) {
      if (!high || *value > high->first)
        high = {{*value, record.time}};
      if (!low || *value < low->first)
        low = {{*value, record.time}};
      sum += *value;
      ++count;
    }
  }
  const auto extreme = [&](const auto& at) {
    return "{\"value\":" + Fixed(at->first, decimals) + ",\"time\":\"" + at->second + "\"}";
  };
  return "{\"high\":" + extreme(high) + ",\"low\":" + extreme(low) +
         ",\"mean\":" + Fixed(sum / count, decimals) + ",\"count\":" + std::to_string(count) + "}";
}

std::string ExpectedRain(const std::vector<Dated>& records) {
  std::map<local_days, double> days;
  for (const Dated& record : records) {
    if (const auto value = Number(record.fields[7], false)) {
      days[record.day] = std::max(days[record.day], *value);
    }
  }
  double total = 0;
  int rainDays = 0;
  std::pair<double, local_days> wettest{-1, {}};
  for (const auto& [day, rain] : days) {
    total += rain;
    rainDays += rain > 0 ? 1 : 0;
    wettest = rain > wettest.first ? std::pair(rain, day) : wettest;
  }
  const std::string rate = ExpectedValue(records, 8, false, 1);
  return "\"rain\":{\"total\":" + Fixed(total, 1) +
         ",\"wettest_day\":{\"value\":" + Fixed(wettest.first, 1) + ",\"date\":\"" +
         Date(wettest.second) + "\"},\"rain_days\":" + std::to_string(rainDays) +
         ",\"rate_high\":" + rate.substr(8, rate.find("},\"low\"") - 7) + "}";
}

class StatsCli : public CliFolderTest {
 protected:
  void SetUp() override {
    CliFolderTest::SetUp();
    ArchiveError error{};
    const auto archive = OpenArchive({dir_ / "archive.sqlite"}, error);
    ASSERT_TRUE(archive) << error.message;
    const std::vector<std::string_view> views(texts_.begin(), texts_.end());
    MergeCounts counts;
    ASSERT_FALSE(archive->Merge(views, counts));
  }
  CliRun Cli(const std::string& args) const {
    return CliFolderTest::Cli("--archive " + OutArg("archive.sqlite") + " " + args);
  }

  const std::vector<std::string> texts_ = Winter();
};

TEST_F(StatsCli, ASeasonAcrossTheNewYearMatchesTheRecords) {
  const CliRun run = Cli("--rain-season-start 12 stats --season 2024 --json");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const auto records =
      DatedRecords(texts_, local_days{2024y / 12 / 1}, local_days{2025y / 11 / 30});
  std::string missing = "\"2024-12-24\",\"2025-01-02\"";
  for (local_days day = local_days{2025y / 1 / 6}; day <= local_days{2025y / 11 / 30};
       day += days{1}) {
    missing += ",\"" + Date(day) + "\"";
  }
  EXPECT_TRUE(run.out.starts_with("{\"from\":\"2024-12-01\",\"to\":\"2025-11-30\",\"records\":" +
                                  std::to_string(records.size()) + ",\"missing_days\":[" + missing +
                                  "],"))
      << run.out.substr(0, 300);
  for (const auto& [key, field, temperature, decimals] :
       {std::tuple{"outdoor_temperature", 5, true, 1},
        {"dew_point", 16, true, 1},
        {"outdoor_humidity", 6, false, 0},
        {"pressure_relative", 13, false, 1},
        {"wind_speed", 9, false, 1},
        {"wind_gust", 10, false, 1},
        {"uv_index", 15, false, 0}}) {
    const std::string expected =
        "\"" + std::string(key) +
        "\":" + ExpectedValue(records, static_cast<std::size_t>(field), temperature, decimals);
    EXPECT_NE(run.out.find(expected), std::string::npos) << expected;
  }
  EXPECT_NE(
      run.out.find("\"ch2_temperature\":{\"high\":null,\"low\":null,\"mean\":null,\"count\":0}"),
      std::string::npos);
  EXPECT_TRUE(run.out.ends_with(ExpectedRain(records) + "}\n")) << ExpectedRain(records);
}

TEST_F(StatsCli, UnitsAndTheSeasonStartChangeTheFigures) {
  const auto december =
      DatedRecords(texts_, local_days{2024y / 12 / 1}, local_days{2024y / 12 / 31});
  double high = -100, rain = 0;
  std::map<local_days, double> rainOfDay;
  for (const Dated& record : december) {
    high = std::max(high, Number(record.fields[5], true).value_or(-100));
    const double day = Number(record.fields[7], false).value_or(0);
    rainOfDay[record.day] = std::max(rainOfDay[record.day], day);
  }
  for (const auto& [day, mm] : rainOfDay) {
    rain += mm;
  }
  struct Row {
    std::string args;
    std::string expected;
  };
  const Row rows[] = {
      {"--temperature F --rain in stats --month 2024-12 --json",
       "\"high\":{\"value\":" + Fixed(std::floor((float(high) * 1.8 + 32) * 10) * 0.1, 1)},
      {"--temperature F --rain in stats --month 2024-12 --json",
       "\"rain\":{\"total\":" + Fixed(rain * 0.03937007874015748, 2)},
      {"--pressure inHg --wind mph stats --month 2024-12", "inHg"},
      {"--rain-season-start 1 stats --season 2025 --json",
       "{\"from\":\"2025-01-01\",\"to\":\"2025-12-31\",\"records\":" +
           std::to_string(
               DatedRecords(texts_, local_days{2025y / 1 / 1}, local_days{2025y / 12 / 31})
                   .size())},
      {"stats --all --json", "{\"from\":\"2024-11-28\",\"to\":\"2025-01-05\","},
      {"stats --day 2025-1-1", "Period: 2025-01-01 to 2025-01-01\nRecords: 144\n"},
  };
  for (const Row& row : rows) {
    const CliRun run = Cli(row.args);
    EXPECT_EQ(run.exitCode, 0) << row.args << ": " << run.err;
    EXPECT_NE(run.out.find(row.expected), std::string::npos) << row.args << "\n" << run.out;
  }
}

TEST_F(StatsCli, WrongCommandLinesAndEmptyPeriodsSayWhy) {
  struct Row {
    std::string args;
    int exitCode;
    std::string says;
  };
  const Row rows[] = {
      {"stats --day 2025-02-30", 2, "--day takes a date such as 2025-1-2"},
      {"stats --month 2025-13", 2, "--month takes a year and month"},
      {"stats --year 2025 --month 2025-1", 2, "give one of --day"},
      {"stats", 2, "give one of --day"},
      {"stats --week 3", 2, "unknown option: --week"},
      {"report --year 2024 --format xml", 2, "--format takes text or csv"},
      {"report --month 2024-12 --degree-base warm", 2, "--degree-base takes a temperature"},
      {"report --format csv", 2, "give either --month Y-M or --year Y"},
      {"stats --month 2023-5", 1, "holds no records from 2023-05-01 to 2023-05-31"},
      {"report --year 2023", 1, "holds no records from 2023-01-01 to 2023-12-31"},
      {"report --month 2024-12 --out " + OutArg("no-folder/report.txt"), 1, "cannot be written"},
  };
  for (const Row& row : rows) {
    const CliRun run = Cli(row.args);
    EXPECT_EQ(run.exitCode, row.exitCode) << row.args;
    EXPECT_NE(run.err.find(row.says), std::string::npos) << row.args << ": " << run.err;
    EXPECT_TRUE(run.out.empty()) << row.args;
  }
  const CliRun missing = CliFolderTest::Cli("--archive " + OutArg("none.sqlite") + " stats --all");
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("does not exist"), std::string::npos) << missing.err;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "none.sqlite"));
}

TEST_F(StatsCli, AMonthsReportMarksTheMissingDayAndCountsDegreeDays) {
  const auto tenth = DatedRecords(texts_, local_days{2024y / 12 / 10}, local_days{2024y / 12 / 10});
  double sum = 0, high = -100;
  std::string highTime;
  int count = 0;
  for (const Dated& record : tenth) {
    if (const auto value = Number(record.fields[5], true)) {
      sum += *value;
      ++count;
      if (*value > high) {
        high = *value;
        highTime = record.time;
      }
    }
  }
  const std::string mean = Fixed(sum / count, 1);
  const auto degrees = [&](double base) {
    const double below = base - std::stod(mean);
    return Fixed(std::max(0.0, below), 1) + "," + Fixed(std::max(0.0, -below), 1);
  };
  const CliRun text = Cli("report --month 2024-12");
  ASSERT_EQ(text.exitCode, 0) << text.err;
  EXPECT_TRUE(text.out.starts_with("MONTHLY CLIMATOLOGICAL SUMMARY for December 2024\n"));
  EXPECT_NE(text.out.find("\nDAY    MEAN   HIGH   TIME    LOW   TIME    HDD    CDD   RAIN AVG-WIND "
                          "HIGH-GUST   TIME DOM-DIR\n"),
            std::string::npos);
  EXPECT_NE(text.out.find("\n 24     ---    ---    ---"), std::string::npos);
  EXPECT_NE(text.out.find("\n 10" + std::string(8 - mean.size(), ' ') + mean), std::string::npos);
  EXPECT_TRUE(text.out.ends_with("\nDays without records: 24\n")) << text.out;

  ASSERT_EQ(
      Cli("report --month 2024-12 --format csv --degree-base 10 --out " + OutArg("r.csv")).exitCode,
      0);
  const std::string csv = ReadFile(dir_ / "r.csv");
  EXPECT_TRUE(csv.starts_with("period,records,temperature_mean_c,temperature_high_c,"));
  EXPECT_NE(csv.find("\n2024-12-24,0,,,,,,,,,,,,\n"), std::string::npos);
  EXPECT_NE(csv.find("\n2024-12-10,144," + mean + "," + Fixed(high, 1) + "," + highTime + ","),
            std::string::npos)
      << csv;
  EXPECT_NE(csv.find(degrees(10)), std::string::npos) << degrees(10);
  EXPECT_NE(Cli("report --month 2024-12 --format csv").out.find(degrees(18.3)), std::string::npos);
  EXPECT_NE(Cli("report --year 2024").out.find("\nDec "), std::string::npos);
}

}  // namespace
}  // namespace nimbrel::testing
