// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/chart_load.h"

#include <cmath>
#include <utility>

#include "readings/reading_format.h"
#include "readings/units.h"

namespace nimbrel {
namespace {

using std::chrono::days;

// One series to read: the record field it comes from and how it reaches the user's unit.
struct SeriesPlan {
  ChartSeries series;
  RecordField field;
  UnitConversion conversion;
};

// `decimals` are those of the console's text, shown when the unit is the console's own.
SeriesPlan Plan(ChartSeriesId id, RecordField field, UnitConversion conversion,
                std::u16string_view unit, int decimals, ChartStyle style = ChartStyle::kLine,
                ChartAxis axis = ChartAxis::kLeft, int channel = 0) {
  ChartSeries series;
  series.id = id;
  series.channel = channel;
  series.style = style;
  series.axis = axis;
  series.unit = unit;
  series.decimals = conversion.convert != nullptr ? conversion.decimals : decimals;
  return {std::move(series), field, conversion};
}

RecordField ChannelField(int channel, bool humidity) {
  return static_cast<RecordField>(kFieldChannel1Temperature + 2 * (channel - 1) +
                                  (humidity ? 1 : 0));
}

void AddChannels(const ChartRequest& request, bool humidity, const UnitConversion& conversion,
                 std::u16string_view unit, std::vector<SeriesPlan>& plans) {
  for (std::size_t i = 0; i < request.channels.size(); ++i) {
    if (request.channels[i]) {
      const int channel = static_cast<int>(i + 1);
      plans.push_back(
          Plan(humidity ? ChartSeriesId::kChannelHumidity : ChartSeriesId::kChannelTemperature,
               ChannelField(channel, humidity), conversion, unit, humidity ? 0 : 1,
               ChartStyle::kLine, ChartAxis::kLeft, channel));
    }
  }
}

std::vector<SeriesPlan> PlansOf(const ChartRequest& request) {
  using enum ChartSeriesId;
  const UnitSettings& units = request.units;
  std::vector<SeriesPlan> plans;
  switch (request.kind) {
    case ChartKind::kTemperature: {
      const UnitConversion c = TemperatureConversion(units.temperatureUnit);
      const std::u16string_view unit = TemperatureUnitText(units.temperatureUnit);
      plans = {Plan(kIndoorTemperature, kFieldIndoorTemperature, c, unit, 1),
               Plan(kOutdoorTemperature, kFieldOutdoorTemperature, c, unit, 1),
               Plan(kDewPoint, kFieldDewPoint, c, unit, 1),
               Plan(kHeatIndex, kFieldHeatIndex, c, unit, 1),
               Plan(kWindChill, kFieldWindChill, c, unit, 1)};
      AddChannels(request, false, c, unit, plans);
      break;
    }
    case ChartKind::kHumidity:
      plans = {Plan(kIndoorHumidity, kFieldIndoorHumidity, {}, HumidityUnitText(), 0),
               Plan(kOutdoorHumidity, kFieldOutdoorHumidity, {}, HumidityUnitText(), 0)};
      AddChannels(request, true, {}, HumidityUnitText(), plans);
      break;
    case ChartKind::kPressure:
      plans = {Plan(kPressure, PressureField(units), PressureConversion(units.pressureUnit),
                    PressureUnitText(units.pressureUnit), 1)};
      break;
    case ChartKind::kWind: {
      const UnitConversion c = WindSpeedConversion(units.windSpeedUnit);
      const std::u16string_view unit = WindSpeedUnitText(units.windSpeedUnit);
      plans = {Plan(kWindSpeed, kFieldWindSpeed, c, unit, 1),
               Plan(kWindGust, kFieldWindGust, c, unit, 1),
               Plan(kWindDirection, kFieldWindDirectionDegrees, {}, DegreeSign, 0,
                    ChartStyle::kPoints, ChartAxis::kRight)};
      break;
    }
    case ChartKind::kRain: {
      const UnitConversion c = RainConversion(units.rainUnit);
      plans = {Plan(kDailyRain, kFieldDailyRain, c, RainfallUnitText(units.rainUnit), 1,
                    ChartStyle::kBars),
               Plan(kRainRate, kFieldRainRate, c, RainRateUnitText(units.rainUnit), 1,
                    ChartStyle::kLine, ChartAxis::kRight)};
      break;
    }
    case ChartKind::kUv:
      plans = {Plan(kUvIndex, kFieldUvIndex, {}, {}, 0)};
      break;
  }
  return plans;
}

// The dashboard's arithmetic: the console's text read as a 32-bit float, then converted.
double InUserUnit(double value, const UnitConversion& conversion) {
  return conversion.convert != nullptr ? conversion.convert(static_cast<float>(value)) : value;
}

// Collects the samples of every planned series from records and live samples alike.
class SampleCollector {
 public:
  SampleCollector(std::vector<SeriesPlan>& plans, const ChartWindow& window)
      : plans_(plans), window_(window) {}

  void Add(RecordTimePoint time, std::span<const double> values) {
    if (time < window_.begin || time >= window_.end) {
      return;
    }
    for (std::size_t i = 0; i < plans_.size(); ++i) {
      if (!std::isnan(values[i])) {
        Add(plans_[i], time, values[i]);
      }
    }
  }

 private:
  // The console's daily rain is the running total of the day, so the day's last value is its
  // total; the largest is the same number, whatever order the records came in.
  static void Add(SeriesPlan& plan, RecordTimePoint time, double value) {
    std::vector<ChartSample>& samples = plan.series.samples;
    if (plan.series.style != ChartStyle::kBars) {
      samples.push_back({time, InUserUnit(value, plan.conversion)});
      return;
    }
    const RecordTimePoint day = std::chrono::floor<days>(time);
    const double total = InUserUnit(value, plan.conversion);
    if (samples.empty() || samples.back().time != day) {
      samples.push_back({day, total});
    } else {
      samples.back().value = std::max(samples.back().value, total);
    }
  }

  std::vector<SeriesPlan>& plans_;
  ChartWindow window_;
};

// The whole days that hold the window.
ArchiveRange RangeOf(const ChartWindow& window) {
  const auto last = std::chrono::floor<days>(window.end - std::chrono::seconds{1});
  return {false, std::chrono::floor<days>(window.begin),
          std::max(last, std::chrono::floor<days>(window.begin))};
}

}  // namespace

ArchiveStatus LoadChart(Archive& archive, const ChartRequest& request, RecordTimePoint now,
                        ChartData& data) {
  data = {};
  data.kind = request.kind;
  data.units = request.units;
  data.window = WindowOf(request.period, now);
  std::vector<SeriesPlan> plans = PlansOf(request);
  std::vector<RecordField> fields;
  fields.reserve(plans.size());
  for (const SeriesPlan& plan : plans) {
    fields.push_back(plan.field);
  }
  SampleCollector collector(plans, data.window);
  const auto visit = [&collector](RecordTimePoint time, std::span<const double> values) {
    collector.Add(time, values);
  };
  ArchiveStatus status = archive.ReadSeries(RangeOf(data.window), fields, visit);
  if (!status) {
    status = archive.ReadLiveSeries(data.window.begin, data.window.end, fields, visit);
  }
  for (SeriesPlan& plan : plans) {
    ChartSeries& series = plan.series;
    series.stats = StatsOf(series.samples);
    series.gapLimit = series.style == ChartStyle::kBars ? kBarSpan : GapLimitOf(series.samples);
    data.series.push_back(std::move(series));
  }
  return status;
}

}  // namespace nimbrel
