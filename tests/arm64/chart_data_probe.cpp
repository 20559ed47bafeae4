// SPDX-License-Identifier: GPL-3.0-or-later
// Prints the numbers behind every chart of an archive over whole days: each series' samples,
// statistics and the pixel columns a drawing of 900 columns reads, every value in its shortest
// exact form. Two builds that print the same bytes compute the same charts, to the last bit.
//   chart_data_probe ARCHIVE FROM TO  (days as 2025-1-12)
#include <charconv>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "archive/archive.h"
#include "chart/chart_columns.h"
#include "chart/chart_load.h"

namespace {

using namespace nimbrel;
using namespace std::chrono;

constexpr int kColumns = 900;

std::optional<local_days> ReadDay(std::string_view text) {
  int parts[3] = {};
  const char* at = text.data();
  const char* const end = text.data() + text.size();
  for (int i = 0; i < 3; ++i) {
    const auto [next, error] = std::from_chars(at, end, parts[i]);
    if (error != std::errc() || (i < 2 && (next == end || *next != '-'))) {
      return std::nullopt;
    }
    at = i < 2 ? next + 1 : next;
  }
  const year_month_day day{year{parts[0]} / parts[1] / parts[2]};
  if (at != end || !day.ok()) {
    return std::nullopt;
  }
  return local_days{day};
}

void Number(std::string& out, double value) {
  char text[32];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
  out += ' ';
}

void Integer(std::string& out, long long value) {
  char text[24];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
  out += ' ';
}

void AppendSeries(std::string& out, const ChartSeries& series, const ChartWindow& window) {
  out += "series ";
  Integer(out, static_cast<int>(series.id));
  Integer(out, series.channel);
  Integer(out, static_cast<int>(series.style));
  Integer(out, series.decimals);
  Integer(out, series.gapLimit.count());
  Number(out, series.stats.min);
  Number(out, series.stats.max);
  Number(out, series.stats.mean);
  Integer(out, static_cast<long long>(series.stats.count));
  out += '\n';
  for (const ChartSample& sample : series.samples) {
    Integer(out, sample.time.time_since_epoch().count());
    Number(out, sample.value);
    out += '\n';
  }
  for (const ChartColumn& column : ColumnsOf(series, window, kColumns)) {
    if (!column.present) {
      out += "-\n";
      continue;
    }
    for (const double value : {column.first, column.last, column.min, column.max}) {
      Number(out, value);
    }
    out += column.gapBefore ? "gap\n" : "\n";
  }
}

// The units of both ends of each list: the console's own and the other choices.
UnitSettings UnitsOf(bool other) {
  if (!other) {
    return {};
  }
  return {TemperatureUnit::Fahrenheit, RainUnit::Inch,         PressureUnit::InHg,
          WindSpeedUnit::Knots,        PressureType::Absolute, WindDirectionFormat::Degrees360};
}

}  // namespace

int main(int argc, char** argv) {
  const auto first = argc == 4 ? ReadDay(argv[2]) : std::nullopt;
  const auto last = argc == 4 ? ReadDay(argv[3]) : std::nullopt;
  if (!first || !last) {
    std::fprintf(stderr, "usage: chart_data_probe ARCHIVE FROM TO (days as 2025-1-12)\n");
    return 2;
  }
  ArchiveError error{};
  ArchiveOptions options;
  options.path = argv[1];
  const std::unique_ptr<Archive> archive = OpenArchive(options, error);
  if (!archive) {
    std::fprintf(stderr, "chart_data_probe: %s\n", error.message.c_str());
    return 1;
  }
  std::string out;
  for (const bool other : {false, true}) {
    for (const ChartKind kind : kChartKinds) {
      ChartRequest request;
      request.kind = kind;
      request.period = {ChartSpan::kChosen, *first, *last};
      request.channels.fill(true);
      request.units = UnitsOf(other);
      ChartData data;
      if (const ArchiveStatus status = LoadChart(*archive, request, {}, data)) {
        std::fprintf(stderr, "chart_data_probe: %s\n", status->message.c_str());
        return 1;
      }
      out += "chart " + std::string(ChartKindName(kind)) + (other ? " other units\n" : "\n");
      for (const ChartSeries& series : data.series) {
        AppendSeries(out, series, data.window);
      }
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}
