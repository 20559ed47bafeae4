// SPDX-License-Identifier: GPL-3.0-or-later
#include "simulator/weather_model.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace nimbrel {

using namespace std::chrono;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr std::int64_t kBucketsPerDay = 24 * 60 / kHistoryInterval.count();
constexpr std::int64_t kBucketsPerHour = 60 / kHistoryInterval.count();
// The longest a week or a month can reach back, with room to spare, so that a ledger started
// this far back has passed both boundaries.
constexpr std::int64_t kLedgerWarmUp = 38 * kBucketsPerDay;

// Noise streams: one per quantity, so that each drifts on its own.
enum Stream : std::uint64_t {
  kClimate = 1,
  kTemperatureSlow,
  kTemperatureFast,
  kDailyRange,
  kHumidity,
  kPressureSlow,
  kPressureFast,
  kWindSlow,
  kWindFast,
  kGust,
  kRainSlow,
  kRainFast,
  kDirectionSlow,
  kDirectionFast,
  kIndoor,
  kIndoorHumidity,
  kCloud,
  kChannel,
  kDropout,
};

constexpr std::array<const char*, 16> kPointNames = {"N",  "NNE", "NE", "ENE", "E",  "ESE",
                                                     "SE", "SSE", "S",  "SSW", "SW", "WSW",
                                                     "W",  "WNW", "NW", "NNW"};

// The finaliser of splitmix64: the same numbers on every platform, unlike std's distributions.
std::uint64_t Mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

std::uint64_t Hash(std::uint64_t seed, std::uint64_t stream, std::int64_t knot) {
  return Mix(seed ^ Mix(stream * 0x100000001B3ULL ^ Mix(static_cast<std::uint64_t>(knot))));
}

// A value in [-1, 1] for each whole-numbered knot.
double Knot(std::uint64_t seed, std::uint64_t stream, std::int64_t knot) {
  return static_cast<double>(Hash(seed, stream, knot) >> 11) * 0x1.0p-52 - 1.0;
}

std::string Whole(double value) {
  return std::to_string(std::lround(value));
}

// One decimal from whole tenths, so that no locale and no "-0.0" creep in.
std::string Tenths(long tenths) {
  const long magnitude = std::labs(tenths);
  std::string text = tenths < 0 ? "-" : "";
  text += std::to_string(magnitude / 10);
  text += '.';
  text += static_cast<char>('0' + magnitude % 10);
  return text;
}

std::string Tenths(double value) {
  return Tenths(std::lround(value * 10.0));
}

std::string TwoDigits(int value) {
  std::string text = std::to_string(value);
  return value < 10 ? "0" + text : text;
}

double Clamp(double value, double low, double high) {
  return std::min(std::max(value, low), high);
}

// Magnus formula.
double DewPoint(double temperature, double humidity) {
  constexpr double a = 17.62;
  constexpr double b = 243.12;
  const double gamma =
      std::log(std::max(humidity, 1.0) / 100.0) + a * temperature / (b + temperature);
  return b * gamma / (a - gamma);
}

// Rothfusz regression, in Fahrenheit; below 80 °F the heat index is the temperature.
double HeatIndex(double temperature, double humidity) {
  const double t = temperature * 9.0 / 5.0 + 32.0;
  if (t < 80.0) {
    return temperature;
  }
  const double h = humidity;
  const double f = -42.379 + 2.04901523 * t + 10.14333127 * h - 0.22475541 * t * h -
                   0.00683783 * t * t - 0.05481717 * h * h + 0.00122874 * t * t * h +
                   0.00085282 * t * h * h - 0.00000199 * t * t * h * h;
  return (f - 32.0) * 5.0 / 9.0;
}

double WindChill(double temperature, double windSpeed) {
  if (temperature > 10.0 || windSpeed <= 4.8) {
    return temperature;
  }
  const double v = std::pow(windSpeed, 0.16);
  return 13.12 + 0.6215 * temperature - 11.37 * v + 0.3965 * temperature * v;
}

int DayOfYear(sys_days day) {
  const year_month_day date{day};
  return static_cast<int>((day - sys_days{date.year() / January / 1}).count());
}

std::int64_t BucketOf(ConsoleTime when) {
  return floor<minutes>(when).time_since_epoch().count() / kHistoryInterval.count();
}

ConsoleTime BucketTime(std::int64_t bucket) {
  return ConsoleTime(minutes(bucket * kHistoryInterval.count()));
}

}  // namespace

ConsoleTime ToConsoleTime(const LocalDateTime& when) {
  const year_month_day date{year(when.year), month(static_cast<unsigned>(when.month)),
                            day(static_cast<unsigned>(when.day))};
  return sys_days(date) + hours(when.hour) + minutes(when.minute) + seconds(when.second);
}

LocalDateTime FromConsoleTime(ConsoleTime when) {
  const sys_days day = floor<days>(when);
  const year_month_day date{day};
  const hh_mm_ss time{when - day};
  return {static_cast<int>(date.year()),
          static_cast<int>(unsigned(date.month())),
          static_cast<int>(unsigned(date.day())),
          static_cast<int>(time.hours().count()),
          static_cast<int>(time.minutes().count()),
          static_cast<int>(time.seconds().count())};
}

bool IsValidDate(int year, int month, int day) {
  if (month < 1 || month > 12 || day < 1 || day > 31) {
    return false;
  }
  return std::chrono::year_month_day(std::chrono::year(year),
                                     std::chrono::month(static_cast<unsigned>(month)),
                                     std::chrono::day(static_cast<unsigned>(day)))
      .ok();
}

int LoggerPercent(std::size_t records) {
  return static_cast<int>((std::min(records, kLoggerCapacity) * 100 + kLoggerCapacity - 1) /
                          kLoggerCapacity);
}

// Rain totals kept the way the console keeps them: the last hour, and since midnight, Monday and
// the first of the month. Walked one five-minute bucket at a time.
class RainLedger {
 public:
  RainLedger(const WeatherModel& model, std::int64_t bucket)
      : model_(model), bucket_(bucket - kLedgerWarmUp) {
    AdvanceTo(bucket);
  }

  void AdvanceTo(std::int64_t bucket) {
    while (bucket_ < bucket) {
      Step();
    }
  }

  const WeatherModel::RainTotals& Totals() const { return totals_; }

 private:
  void Step() {
    ++bucket_;
    if (bucket_ % kBucketsPerDay == 0) {
      const sys_days day{days(bucket_ / kBucketsPerDay)};
      totals_.daily = 0;
      if (weekday(day) == Monday) {
        totals_.weekly = 0;
      }
      if (year_month_day(day).day() == std::chrono::day(1)) {
        totals_.monthly = 0;
      }
    }
    const long rain = model_.RainInBucket(bucket_);
    const std::size_t slot = static_cast<std::size_t>(bucket_ % kBucketsPerHour);
    totals_.hourly += rain - lastHour_[slot];
    lastHour_[slot] = rain;
    totals_.daily += rain;
    totals_.weekly += rain;
    totals_.monthly += rain;
  }

  const WeatherModel& model_;
  std::int64_t bucket_;
  std::array<long, kBucketsPerHour> lastHour_{};
  WeatherModel::RainTotals totals_;
};

WeatherModel::WeatherModel(std::uint64_t seed) : seed_(seed) {}

ConsoleTime WeatherModel::HistoryStart() const {
  // Somewhere in 2025, at midnight.
  const sys_days first = sys_days{year(2025) / January / 1} + days(seed_ % 365);
  return ConsoleTime(first);
}

std::vector<std::string> WeatherModel::History(std::size_t count, int loggerPercent) const {
  std::vector<std::string> lines;
  lines.reserve(count);
  const std::int64_t first = BucketOf(HistoryStart());
  RainLedger ledger(*this, first);
  for (std::size_t i = 0; i < count; ++i) {
    const std::int64_t bucket = first + static_cast<std::int64_t>(i);
    ledger.AdvanceTo(bucket);
    lines.push_back(Format(BucketTime(bucket), loggerPercent, ledger.Totals()));
  }
  return lines;
}

std::string WeatherModel::RecordAt(ConsoleTime when, int loggerPercent) const {
  const RainLedger ledger(*this, BucketOf(when));
  return Format(when, loggerPercent, ledger.Totals());
}

double WeatherModel::Smooth(std::uint64_t stream, double x) const {
  const double knot = std::floor(x);
  const double u = x - knot;
  const double s = u * u * (3.0 - 2.0 * u);
  const auto k = static_cast<std::int64_t>(knot);
  return Knot(seed_, stream, k) * (1.0 - s) + Knot(seed_, stream, k + 1) * s;
}

double WeatherModel::RainRate(double minute) const {
  const double wet = Smooth(kRainSlow, minute / 300.0) + 0.35 * Smooth(kRainFast, minute / 45.0);
  return wet > 0.7 ? (wet - 0.7) * 8.0 : 0.0;
}

long WeatherModel::RainInBucket(std::int64_t bucket) const {
  const double middle = (static_cast<double>(bucket) - 0.5) * kHistoryInterval.count();
  return std::lround(RainRate(middle) * kHistoryInterval.count() / 60.0 * 100.0);
}

bool WeatherModel::OutdoorLost(std::int64_t bucket) const {
  // On about every other day the outdoor sensor is out of reach for a quarter of an hour.
  const std::int64_t day = bucket / kBucketsPerDay;
  const std::uint64_t draw = Hash(seed_, kDropout, day);
  if (draw % 2 != 0) {
    return false;
  }
  const auto start = static_cast<std::int64_t>((draw >> 8) % (kBucketsPerDay - 3));
  const std::int64_t inDay = bucket - day * kBucketsPerDay;
  return inDay >= start && inDay < start + 3;
}

WeatherModel::Sample WeatherModel::SampleAt(double minute, int dayOfYear) const {
  const double hour = std::fmod(minute, 24.0 * 60.0) / 60.0;
  const double season = -std::cos(2.0 * kPi * (dayOfYear - 20) / 365.25);  // -1 January, 1 July
  const double climate = 4.0 * Knot(seed_, kClimate, 0);
  const double range = 4.0 + 2.0 * Smooth(kDailyRange, minute / (3 * 24 * 60.0));
  const double daily = range * std::cos(2.0 * kPi * (hour - 15.0) / 24.0);
  const double drift = 3.0 * Smooth(kTemperatureSlow, minute / 480.0) +
                       0.6 * Smooth(kTemperatureFast, minute / 90.0);
  const double rain = RainRate(minute);
  const double sun = hour > 6.0 && hour < 18.0 ? std::sin(kPi * (hour - 6.0) / 12.0) : 0.0;

  Sample s{};
  s.outdoorTemperature = 10.0 + 9.0 * season + climate + daily + drift;
  s.outdoorHumidity = Clamp(
      72.0 - 2.2 * (daily + drift) + 8.0 * Smooth(kHumidity, minute / 600.0) + (rain > 0 ? 18 : 0),
      18.0, 99.0);
  s.rainRate = rain;
  s.indoorTemperature = 21.0 + 0.8 * std::cos(2.0 * kPi * (hour - 19.0) / 24.0) +
                        0.4 * Smooth(kIndoor, minute / 300.0);
  s.indoorHumidity = 45.0 + 6.0 * Smooth(kIndoorHumidity, minute / 1440.0) + 2.0 * season;
  s.windSpeed = std::max(
      0.0, 7.0 + 9.0 * Smooth(kWindSlow, minute / 360.0) + 3.0 * Smooth(kWindFast, minute / 30.0));
  s.windGust = s.windSpeed * (1.3 + 0.3 * std::fabs(Smooth(kGust, minute / 15.0)));
  const double direction = 230.0 + 100.0 * Smooth(kDirectionSlow, minute / 600.0) +
                           20.0 * Smooth(kDirectionFast, minute / 20.0);
  s.windDirection = static_cast<int>(std::lround(direction) % 360 + 360) % 360;
  s.relativePressure = 1013.0 + 14.0 * Smooth(kPressureSlow, minute / 1800.0) +
                       3.0 * Smooth(kPressureFast, minute / 240.0);
  s.absolutePressure = s.relativePressure - 8.5 - 3.0 * Knot(seed_, kClimate, 1);
  const double cloud = rain > 0 ? 0.2 : 0.6 + 0.4 * Smooth(kCloud, minute / 180.0);
  s.uvIndex = sun * (4.5 + 3.5 * season) * cloud;
  // Channel 1 a bedroom, 2 a greenhouse, 3 a cellar.
  s.channelTemperature[0] = s.indoorTemperature - 1.5 + 0.3 * Smooth(kChannel, minute / 200.0);
  s.channelHumidity[0] = s.indoorHumidity + 3.0;
  s.channelTemperature[1] = s.outdoorTemperature + 3.0 + 6.0 * sun * cloud;
  s.channelHumidity[1] = Clamp(s.outdoorHumidity - 5.0, 15.0, 99.0);
  s.channelTemperature[2] = 11.0 + 2.0 * season;
  s.channelHumidity[2] = 70.0 + 4.0 * Smooth(kChannel + 100, minute / 2880.0);
  return s;
}

std::string WeatherModel::Format(ConsoleTime when, int loggerPercent,
                                 const RainTotals& rain) const {
  const sys_days day = floor<days>(when);
  const year_month_day date{day};
  const hh_mm_ss time{when - day};
  const double minute = static_cast<double>(floor<minutes>(when).time_since_epoch().count());
  const Sample s = SampleAt(minute, DayOfYear(day));
  const bool lost = OutdoorLost(BucketOf(when));
  const auto hundredthsToTenths = [](long hundredths) { return Tenths((hundredths + 5) / 10); };
  const auto temperature = [lost](double value) {
    return lost ? std::string("--.-") : Tenths(value);
  };

  std::array<std::string, 36> f;
  f[0] = std::to_string(loggerPercent);
  f[1] = std::to_string(static_cast<int>(date.year())) + "-" +
         TwoDigits(static_cast<int>(unsigned(date.month()))) + "-" +
         TwoDigits(static_cast<int>(unsigned(date.day())));
  f[2] = TwoDigits(static_cast<int>(time.hours().count())) + ":" +
         TwoDigits(static_cast<int>(time.minutes().count()));
  f[3] = Tenths(s.indoorTemperature);
  f[4] = Whole(s.indoorHumidity);
  f[5] = temperature(s.outdoorTemperature);
  f[6] = lost ? "--" : Whole(s.outdoorHumidity);
  f[7] = hundredthsToTenths(rain.daily);
  f[8] = Tenths(s.rainRate);
  f[9] = Tenths(s.windSpeed);
  f[10] = Tenths(s.windGust);
  f[11] = std::to_string(s.windDirection);
  f[12] = kPointNames[static_cast<std::size_t>((s.windDirection * 2 + 22) / 45 % 16)];
  f[13] = Tenths(s.relativePressure);
  f[14] = Tenths(s.absolutePressure);
  f[15] = Whole(s.uvIndex);
  f[16] = temperature(DewPoint(s.outdoorTemperature, s.outdoorHumidity));
  f[17] = temperature(HeatIndex(s.outdoorTemperature, s.outdoorHumidity));
  for (std::size_t channel = 0; channel < 7; ++channel) {
    const bool present = channel < 3;
    f[18 + 2 * channel] = present ? Tenths(s.channelTemperature[channel]) : "--.-";
    f[19 + 2 * channel] = present ? Whole(s.channelHumidity[channel]) : "--";
  }
  f[32] = temperature(WindChill(s.outdoorTemperature, s.windSpeed));
  f[33] = hundredthsToTenths(rain.hourly);
  f[34] = hundredthsToTenths(rain.weekly);
  f[35] = hundredthsToTenths(rain.monthly);

  std::string text = f[0];
  for (std::size_t i = 1; i < f.size(); ++i) {
    text += ' ';
    text += f[i];
  }
  return text;
}

}  // namespace nimbrel
