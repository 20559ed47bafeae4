// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/chart/chart_painter.h"

#include <QBuffer>
#include <QDate>
#include <QDateTime>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QLineF>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QTime>
#include <algorithm>
#include <cmath>
#include <vector>

#include "chart/chart_columns.h"
#include "i18n/own_texts.h"
#include "readings/number_text.h"

namespace nimbrel {
namespace {

using std::chrono::days;
using std::chrono::hours;
using std::chrono::seconds;

constexpr double kTitleHeight = 24;
constexpr double kLegendRowHeight = 17;
constexpr double kLegendEntryWidth = 290;
constexpr double kAxisWidth = 58;
constexpr double kTimeAxisHeight = 22;
constexpr double kMargin = 10;
constexpr int kTextPixels = 11;
constexpr int kTitlePixels = 14;

const QColor kInk{0x30, 0x30, 0x30};
const QColor kGrid{0xDD, 0xDD, 0xDD};
// Distinct on white and for the common forms of colour blindness.
constexpr std::array<QRgb, 8> kSeriesColours = {0x0072B2, 0xD55E00, 0x009E73, 0xCC79A7,
                                                0x56B4E9, 0xE69F00, 0x000000, 0x999999};

QColor ColourOf(std::size_t index) {
  return QColor::fromRgb(kSeriesColours[index % kSeriesColours.size()]);
}

QFont FontOf(int pixels, bool bold = false) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

QString Number(double value, int decimals) {
  FixedText buffer{};
  return QString::fromUtf8(PrintFixed(value, decimals, buffer));
}

QString Unit(std::u16string_view unit) {
  return QString::fromUtf16(unit.data(), static_cast<qsizetype>(unit.size()));
}

bool HasRightAxis(const ChartData& data) {
  return std::any_of(data.series.begin(), data.series.end(),
                     [](const ChartSeries& s) { return s.axis == ChartAxis::kRight; });
}

int LegendRows(double width, std::size_t entries) {
  const auto perRow =
      static_cast<std::size_t>(std::max(1.0, std::floor(width / kLegendEntryWidth)));
  return static_cast<int>((entries + perRow - 1) / perRow);
}

// ---- Value axes --------------------------------------------------------------------------------

struct ValueAxis {
  double low = 0;
  double high = 1;
  double step = 1;
  int decimals = 0;
  bool compass = false;  // wind direction as compass points
};

// A range of round numbers holding [low, high], with about five steps.
ValueAxis RoundAxis(double low, double high) {
  if (!(high > low)) {
    low -= 1;
    high += 1;
  }
  const double raw = (high - low) / 5;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  double step = magnitude;
  for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
    step = factor * magnitude;
    if (step >= raw) {
      break;
    }
  }
  const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
  return {std::floor(low / step) * step, std::ceil(high / step) * step, step, decimals, false};
}

ValueAxis AxisOf(const ChartData& data, ChartAxis side) {
  double low = 0;
  double high = 0;
  bool any = false;
  bool fromZero = false;
  for (const ChartSeries& series : data.series) {
    if (series.axis != side) {
      continue;
    }
    if (series.id == ChartSeriesId::kWindDirection) {
      return {0, 360, 90, 0, data.units.windDirectionFormat == WindDirectionFormat::Points16};
    }
    fromZero =
        fromZero || series.style == ChartStyle::kBars || series.id == ChartSeriesId::kRainRate;
    if (series.stats.count > 0) {
      low = any ? std::min(low, series.stats.min) : series.stats.min;
      high = any ? std::max(high, series.stats.max) : series.stats.max;
      any = true;
    }
  }
  if (fromZero) {
    low = std::min(low, 0.0);
    high = std::max(high, low + 1);
  }
  return RoundAxis(low, high);
}

double YOf(const QRectF& plot, const ValueAxis& axis, double value) {
  return plot.bottom() - (value - axis.low) / (axis.high - axis.low) * plot.height();
}

QString AxisLabel(const ValueAxis& axis, double value) {
  if (axis.compass) {
    static const std::array<QString, 5> kPoints = {"N", "E", "S", "W", "N"};
    return kPoints[static_cast<std::size_t>(std::lround(value / 90)) % kPoints.size()];
  }
  return Number(value, axis.decimals);
}

void DrawValueAxis(QPainter& painter, const QRectF& plot, const ValueAxis& axis, bool right,
                   const QString& unit, bool grid) {
  painter.setFont(FontOf(kTextPixels));
  const int steps = static_cast<int>(std::lround((axis.high - axis.low) / axis.step));
  for (int i = 0; i <= steps; ++i) {
    const double value = axis.low + i * axis.step;
    const double y = YOf(plot, axis, value);
    if (grid) {
      painter.setPen(QPen(kGrid, 1));
      painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }
    painter.setPen(kInk);
    const QRectF box = right ? QRectF(plot.right() + 4, y - 8, kAxisWidth - 6, 16)
                             : QRectF(plot.left() - kAxisWidth, y - 8, kAxisWidth - 4, 16);
    painter.drawText(box, (right ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter,
                     AxisLabel(axis, value));
  }
  const QRectF unitBox =
      right ? QRectF(plot.right() + 4, plot.top() - 18, kAxisWidth, 14)
            : QRectF(plot.left() - kAxisWidth, plot.top() - 18, kAxisWidth - 4, 14);
  painter.drawText(unitBox, (right ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignBottom, unit);
}

// ---- Time axis ---------------------------------------------------------------------------------

// Tick steps, shortest first; 0 stands for whole months.
constexpr std::array<seconds, 12> kTimeSteps = {hours{1},  hours{2}, hours{3},   hours{6},
                                                hours{12}, days{1},  days{2},    days{4},
                                                days{7},   days{14}, seconds{0}, seconds{0}};

// The short date of the locale without its year: "02/01" or "02.01.".
QString DayMonthFormat(const QLocale& locale) {
  QString format = locale.dateFormat(QLocale::ShortFormat);
  static const QRegularExpression kYear(QStringLiteral("[^dM]*y+[^dM]*"));
  format.replace(kYear, QString());
  if (format.contains(QLatin1Char('.')) && !format.endsWith(QLatin1Char('.'))) {
    format += QLatin1Char('.');
  }
  return format;
}

std::vector<RecordTimePoint> MonthTicks(const ChartWindow& window, int months) {
  std::vector<RecordTimePoint> ticks;
  const std::chrono::year_month_day first{std::chrono::floor<days>(window.begin)};
  std::chrono::year_month month = first.year() / first.month();
  for (int guard = 0; guard < 1200; ++guard, month += std::chrono::months{1}) {
    const RecordTimePoint tick = std::chrono::local_days{month / 1};
    if (tick >= window.end) {
      break;
    }
    const int index = static_cast<int>(unsigned(month.month())) - 1;
    if (tick >= window.begin && index % months == 0) {
      ticks.push_back(tick);
    }
  }
  return ticks;
}

std::vector<RecordTimePoint> EvenTicks(const ChartWindow& window, seconds step) {
  std::vector<RecordTimePoint> ticks;
  const auto count = window.begin.time_since_epoch() / step;
  for (RecordTimePoint tick{count * step}; tick < window.end; tick += step) {
    if (tick >= window.begin) {
      ticks.push_back(tick);
    }
  }
  return ticks;
}

void DrawTimeAxis(QPainter& painter, const ChartFrame& frame, const QLocale& locale) {
  const seconds span = frame.window.end - frame.window.begin;
  const double pixelsPerSecond = frame.plot.width() / static_cast<double>(span.count());
  constexpr double kLabelSpacing = 80;
  std::vector<RecordTimePoint> ticks;
  bool daily = false;
  bool monthly = false;
  for (const seconds step : kTimeSteps) {
    if (step.count() == 0) {
      const double monthPixels = pixelsPerSecond * 30.4 * 86400;
      ticks = MonthTicks(frame.window, monthPixels >= kLabelSpacing ? 1 : 3);
      monthly = true;
      break;
    }
    if (static_cast<double>(step.count()) * pixelsPerSecond >= kLabelSpacing) {
      ticks = EvenTicks(frame.window, step);
      daily = step >= days{1};
      break;
    }
  }
  const QString dayFormat = DayMonthFormat(locale);
  painter.setFont(FontOf(kTextPixels));
  for (const RecordTimePoint tick : ticks) {
    const double x = XOfTime(frame, tick);
    painter.setPen(QPen(kGrid, 1));
    painter.drawLine(QPointF(x, frame.plot.top()), QPointF(x, frame.plot.bottom()));
    const QDateTime when = ChartDateTime(tick);
    QString label;
    if (monthly) {
      label = locale.monthName(when.date().month(), QLocale::ShortFormat);
      if (when.date().month() <= 3 || tick == ticks.front()) {
        label += QLatin1Char(' ') + QString::number(when.date().year());
      }
    } else if (daily || when.time() == QTime(0, 0)) {
      label = locale.toString(when.date(), dayFormat);
    } else {
      label = locale.toString(when.time(), QLocale::ShortFormat);
    }
    // Centred under its tick, but never past the plot's ends, where it would be cut off.
    const double width = painter.fontMetrics().horizontalAdvance(label) + 2.0;
    const double left =
        std::max(frame.plot.left(), std::min(x - width / 2, frame.plot.right() - width));
    painter.setPen(kInk);
    painter.drawText(QRectF(left, frame.plot.bottom() + 3, width, kTimeAxisHeight - 4),
                     Qt::AlignHCenter | Qt::AlignTop, label);
  }
}

// ---- Series ------------------------------------------------------------------------------------

// Joins between columns are smoothed; the spans of a column, upright lines on a pixel's middle,
// look the same without, and the year's tall spans cost most of its drawing when smoothed.
void DrawLine(QPainter& painter, const ChartFrame& frame, const ValueAxis& axis,
              const std::vector<ChartColumn>& columns) {
  std::vector<QLineF> joins;
  std::vector<QLineF> spans;
  joins.reserve(columns.size());
  spans.reserve(columns.size());
  const QRectF& plot = frame.plot;
  std::optional<QPointF> previous;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const ChartColumn& column = columns[i];
    if (!column.present) {
      continue;
    }
    const double x = plot.left() + static_cast<double>(i) + 0.5;
    const QPointF first(x, YOf(plot, axis, column.first));
    if (previous && !column.gapBefore) {
      joins.emplace_back(*previous, first);
    }
    const double top = YOf(plot, axis, column.max);
    const double bottom = YOf(plot, axis, column.min);
    if (bottom - top >= 1) {
      spans.emplace_back(QPointF(x, top), QPointF(x, bottom));
    } else if (!previous || column.gapBefore) {
      spans.emplace_back(QPointF(x, top - 1), QPointF(x, bottom));  // a lone sample shows
    }
    previous = QPointF(x, YOf(plot, axis, column.last));
  }
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.drawLines(joins.data(), static_cast<int>(joins.size()));
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.drawLines(spans.data(), static_cast<int>(spans.size()));
}

void DrawPoints(QPainter& painter, const ChartFrame& frame, const ValueAxis& axis,
                const std::vector<ChartColumn>& columns) {
  std::vector<QPointF> points;
  points.reserve(2 * columns.size());
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].present) {
      const double x = frame.plot.left() + static_cast<double>(i) + 0.5;
      points.emplace_back(x, YOf(frame.plot, axis, columns[i].min));
      if (columns[i].max != columns[i].min) {
        points.emplace_back(x, YOf(frame.plot, axis, columns[i].max));
      }
    }
  }
  painter.drawPoints(points.data(), static_cast<int>(points.size()));
}

void DrawBars(QPainter& painter, const ChartFrame& frame, const ValueAxis& axis,
              const ChartSeries& series, const QColor& colour) {
  const double zero = YOf(frame.plot, axis, std::max(axis.low, 0.0));
  for (const ChartSample& sample : series.samples) {
    const double left = std::max(XOfTime(frame, sample.time), frame.plot.left());
    const double right = std::min(XOfTime(frame, sample.time + kBarSpan), frame.plot.right());
    if (right <= left) {
      continue;
    }
    const double gap = right - left > 4 ? 1 : 0;
    const QRectF bar(QPointF(left + gap, YOf(frame.plot, axis, sample.value)),
                     QPointF(right - gap, zero));
    painter.fillRect(bar.normalized(), colour);
  }
}

void DrawSeries(QPainter& painter, const ChartFrame& frame, const ValueAxis& axis,
                const ChartSeries& series, const QColor& colour) {
  painter.save();
  painter.setClipRect(frame.plot.adjusted(-1, -1, 1, 1));
  if (series.style == ChartStyle::kBars) {
    QColor fill = colour;
    fill.setAlpha(170);
    DrawBars(painter, frame, axis, series, fill);
  } else {
    const auto columns =
        ColumnsOf(series, frame.window, static_cast<int>(std::floor(frame.plot.width())));
    const bool points = series.style == ChartStyle::kPoints;
    // Square dots without smoothing, and lines with flat ends: round ends and smoothed dots cost
    // a curve each, several times the whole drawing of a year.
    painter.setRenderHint(QPainter::Antialiasing, !points);
    painter.setPen(QPen(colour, points ? 2.0 : 1.4, Qt::SolidLine,
                        points ? Qt::SquareCap : Qt::FlatCap, Qt::MiterJoin));
    if (points) {
      DrawPoints(painter, frame, axis, columns);
    } else {
      DrawLine(painter, frame, axis, columns);
    }
  }
  painter.restore();
}

// ---- Title and legend --------------------------------------------------------------------------

QString SeriesName(const ChartSeries& series, const ChartTexts& texts) {
  const QString& name = texts.seriesNames[static_cast<std::size_t>(series.id)];
  return series.channel > 0 ? name.arg(series.channel) : name;
}

QString StatsText(const ChartSeries& series, const ChartTexts& texts) {
  if (series.stats.count == 0) {
    return QStringLiteral("--");
  }
  if (series.id == ChartSeriesId::kWindDirection) {
    return {};  // the mean of angles says nothing
  }
  const QString unit = series.unit.empty() ? QString() : QLatin1Char(' ') + Unit(series.unit);
  const int decimals = series.decimals;
  const QChar space(' ');
  return texts.minimum + space + Number(series.stats.min, decimals) + space + space +
         texts.maximum + space + Number(series.stats.max, decimals) + space + space + texts.mean +
         space + Number(series.stats.mean, decimals) + unit;
}

void DrawTitle(QPainter& painter, const QRectF& rect, const ChartData& data,
               const ChartTexts& texts) {
  const QRectF box(rect.left() + kMargin, rect.top() + 4, rect.width() - 2 * kMargin,
                   kTitleHeight - 4);
  painter.setPen(kInk);
  painter.setFont(FontOf(kTitlePixels, true));
  painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter,
                   texts.kindTitles[static_cast<std::size_t>(data.kind)]);
  const QString period = ChartTimeText(texts.locale, data.window.begin) +
                         QStringLiteral(" \u2013 ") +
                         ChartTimeText(texts.locale, data.window.end - std::chrono::minutes{1});
  painter.setFont(FontOf(kTextPixels));
  painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, period);
}

void DrawLegend(QPainter& painter, const QRectF& rect, const ChartData& data,
                const ChartTexts& texts) {
  const double width = rect.width() - 2 * kMargin;
  const auto perRow =
      static_cast<std::size_t>(std::max(1.0, std::floor(width / kLegendEntryWidth)));
  const double entryWidth = width / static_cast<double>(perRow);
  const QFont plain = FontOf(kTextPixels);
  const QFont bold = FontOf(kTextPixels, true);
  for (std::size_t i = 0; i < data.series.size(); ++i) {
    const ChartSeries& series = data.series[i];
    const double x = rect.left() + kMargin + static_cast<double>(i % perRow) * entryWidth;
    const double y = rect.top() + kTitleHeight + static_cast<double>(i / perRow) * kLegendRowHeight;
    painter.fillRect(QRectF(x, y + 5, 12, 6), ColourOf(i));
    painter.setPen(kInk);
    painter.setFont(bold);
    const QString name = SeriesName(series, texts);
    const double nameWidth = QFontMetricsF(bold).horizontalAdvance(name);
    painter.drawText(QRectF(x + 16, y, nameWidth + 2, kLegendRowHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, name);
    painter.setFont(plain);
    const double statsWidth = std::max(0.0, entryWidth - 26 - nameWidth);
    painter.drawText(
        QRectF(x + 22 + nameWidth, y, statsWidth, kLegendRowHeight),
        Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetricsF(plain).elidedText(StatsText(series, texts), Qt::ElideRight, statsWidth));
  }
}

QString AxisUnit(const ChartData& data, ChartAxis side) {
  for (const ChartSeries& series : data.series) {
    if (series.axis == side) {
      return series.id == ChartSeriesId::kWindDirection &&
                     data.units.windDirectionFormat == WindDirectionFormat::Points16
                 ? QString()
                 : Unit(series.unit);
    }
  }
  return {};
}

}  // namespace

QDateTime ChartDateTime(RecordTimePoint time) {
  const auto day = std::chrono::floor<days>(time);
  const std::chrono::year_month_day date{day};
  const std::chrono::hh_mm_ss clock{time - day};
  return {QDate(static_cast<int>(date.year()), static_cast<int>(unsigned(date.month())),
                static_cast<int>(unsigned(date.day()))),
          QTime(static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count())),
          Qt::UTC};
}

QString ChartTimeText(const QLocale& locale, RecordTimePoint time) {
  const QDateTime when = ChartDateTime(time);
  return locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
         locale.toString(when.time(), QLocale::ShortFormat);
}

ChartTexts OwnChartTexts(LanguageIndex language, const UnitSettings& units) {
  const auto text = [language](int key) {
    const std::u16string_view own = OwnText(language, key);
    return QString::fromUtf16(own.data(), static_cast<qsizetype>(own.size()));
  };
  ChartTexts texts;
  for (std::size_t kind = 0; kind < texts.kindTitles.size(); ++kind) {
    texts.kindTitles[kind] = text(kOwnFirstKind + static_cast<int>(kind));
  }
  for (std::size_t series = 0; series < texts.seriesNames.size(); ++series) {
    texts.seriesNames[series] = text(kOwnFirstSeries + static_cast<int>(series));
  }
  if (units.pressureType == PressureType::Absolute) {
    texts.seriesNames[static_cast<std::size_t>(ChartSeriesId::kPressure)] =
        text(kOwnAbsolutePressure);
  }
  texts.minimum = text(kOwnMinimum);
  texts.maximum = text(kOwnMaximum);
  texts.mean = text(kOwnMean);
  texts.noRecords = text(kOwnChartNoRecords);
  return texts;
}

ChartFrame FrameOf(const QRectF& rect, const ChartData& data) {
  const double top = rect.top() + kTitleHeight +
                     LegendRows(rect.width() - 2 * kMargin, data.series.size()) * kLegendRowHeight +
                     20;
  const double right = rect.right() - (HasRightAxis(data) ? kAxisWidth : 2 * kMargin);
  const double bottom = rect.bottom() - kTimeAxisHeight;
  const double left = rect.left() + kAxisWidth + kMargin;
  return {QRectF(QPointF(left, top), QPointF(std::max(left + 1, right), std::max(top + 1, bottom))),
          data.window};
}

RecordTimePoint TimeAtX(const ChartFrame& frame, double x) {
  const auto span = static_cast<double>((frame.window.end - frame.window.begin).count());
  const double share = std::clamp((x - frame.plot.left()) / frame.plot.width(), 0.0, 1.0);
  return frame.window.begin + seconds{std::llround(share * span)};
}

double XOfTime(const ChartFrame& frame, RecordTimePoint time) {
  const auto span = static_cast<double>((frame.window.end - frame.window.begin).count());
  const auto offset = static_cast<double>((time - frame.window.begin).count());
  return frame.plot.left() + (span > 0 ? offset / span : 0) * frame.plot.width();
}

void PaintChart(QPainter& painter, const QRectF& rect, const ChartData& data,
                const ChartTexts& texts) {
  painter.save();
  painter.fillRect(rect, Qt::white);
  const ChartFrame frame = FrameOf(rect, data);
  DrawTitle(painter, rect, data, texts);
  const ValueAxis left = AxisOf(data, ChartAxis::kLeft);
  const ValueAxis right = AxisOf(data, ChartAxis::kRight);
  DrawTimeAxis(painter, frame, texts.locale);
  DrawValueAxis(painter, frame.plot, left, false, AxisUnit(data, ChartAxis::kLeft), true);
  if (HasRightAxis(data)) {
    DrawValueAxis(painter, frame.plot, right, true, AxisUnit(data, ChartAxis::kRight), false);
  }
  painter.setPen(QPen(kInk, 1));
  painter.drawRect(frame.plot);
  if (data.Empty()) {
    painter.setFont(FontOf(kTitlePixels));
    painter.drawText(frame.plot, Qt::AlignCenter, texts.noRecords);
  }
  // Bars first, so that lines over them stay visible.
  for (const ChartStyle style : {ChartStyle::kBars, ChartStyle::kLine, ChartStyle::kPoints}) {
    for (std::size_t i = 0; i < data.series.size(); ++i) {
      const ChartSeries& series = data.series[i];
      if (series.style == style) {
        DrawSeries(painter, frame, series.axis == ChartAxis::kRight ? right : left, series,
                   ColourOf(i));
      }
    }
  }
  DrawLegend(painter, rect, data, texts);
  painter.restore();
}

namespace {

// The whole picture as the file's bytes; false when it cannot be drawn (too large to hold).
bool DrawPicture(const ChartData& data, const ChartTexts& texts, QSize size, bool svg,
                 QBuffer& picture) {
  const QRectF rect(QPointF(0, 0), QSizeF(size));
  if (svg) {
    QSvgGenerator generator;
    generator.setOutputDevice(&picture);
    generator.setSize(size);
    generator.setViewBox(rect);
    generator.setTitle(texts.kindTitles[static_cast<std::size_t>(data.kind)]);
    QPainter painter;
    if (!painter.begin(&generator)) {
      return false;
    }
    PaintChart(painter, rect, data, texts);
    return painter.end();
  }
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) {
    return false;
  }
  {
    QPainter painter(&image);
    PaintChart(painter, rect, data, texts);
  }
  return image.save(&picture, "PNG");
}

}  // namespace

bool SaveChart(const ChartData& data, const ChartTexts& texts, QSize size, const QString& path,
               QString& error) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix != QLatin1String("png") && suffix != QLatin1String("svg")) {
    error = QStringLiteral("The chart file \"%1\" must end in .png or .svg.").arg(path);
    return false;
  }
  if (size.width() < 200 || size.height() < 150) {
    error = QStringLiteral("A chart needs at least 200 x 150 pixels.");
    return false;
  }
  QBuffer picture;
  picture.open(QIODevice::WriteOnly);
  if (!DrawPicture(data, texts, size, suffix == QLatin1String("svg"), picture)) {
    error = QStringLiteral("The chart cannot be drawn at %1 x %2 pixels.")
                .arg(size.width())
                .arg(size.height());
    return false;
  }
  // Written beside the file and renamed over it, so that a picture already there stays whole
  // until the new one is complete.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(picture.data()) != picture.data().size() ||
      !file.commit()) {
    error =
        QStringLiteral("The chart cannot be written to \"%1\" (%2).").arg(path, file.errorString());
    return false;
  }
  return true;
}

}  // namespace nimbrel
