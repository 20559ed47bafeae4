// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dashboard_texts.h"

#include <charconv>
#include <string>

namespace nimbrel::ui {

namespace {

// At least two digits, as "%.2d" prints them.
std::string TwoDigits(int number) {
  std::array<char, 16> digits{};
  const auto [end, error] = std::to_chars(digits.data(), digits.data() + digits.size(), number);
  std::string text(digits.data(), error == std::errc() ? end : digits.data());
  const std::size_t sign = !text.empty() && text.front() == '-' ? 1 : 0;
  if (text.size() - sign < 2) {
    text.insert(sign, 2 - (text.size() - sign), '0');
  }
  return text;
}

}  // namespace

std::size_t AreaField(const DashboardValueArea& area, const UnitSettings& units, int channel) {
  const auto channelOffset = static_cast<std::size_t>(2 * channel);
  switch (area.source) {
    case FieldSource::kChannelTemperature:
      return kFieldDewPoint + channelOffset;
    case FieldSource::kChannelHumidity:
      return kFieldHeatIndex + channelOffset;
    case FieldSource::kPressure:
      return PressureField(units);
    case FieldSource::kWindDirection:
      return WindDirectionField(units);
    case FieldSource::kFixed:
      break;
  }
  return area.field;
}

FormattedReading AreaReading(const DashboardValueArea& area, const LiveReadings& readings,
                             const UnitSettings& units, int channel) {
  const std::size_t field = AreaField(area, units, channel);
  if (field >= kRecordFieldCount) {
    return FormatReading(area.kind, {}, units);
  }
  return FormatReading(area.kind, readings[field].View(), units);
}

int PressureLabelKey(const UnitSettings& units) {
  return units.pressureType == PressureType::Absolute ? 19 : 18;
}

QString ChannelHeaderText(int channel) {
  return QStringLiteral("CH %1").arg(channel);
}

QString FormatStamp(const LocalDateTime& time) {
  const std::string text = TwoDigits(time.month) + "/ " + TwoDigits(time.day) + "/ " +
                           TwoDigits(time.year) + ", " + TwoDigits(time.hour) + ":" +
                           TwoDigits(time.minute) + (time.hour >= 12 ? " PM" : " AM");
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString StampPlaceholder() {
  return QStringLiteral("--/ --/ ----, --:--");
}

QString ToQString(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

void DashboardCaptionTexts::Relabel(const std::function<QString(int)>& text) {
  for (const DashboardCaption& caption : Captions()) {
    if (caption.key != 0) {
      keyTexts_.at(caption.key) = text(caption.key);
    }
  }
  // The pressure label's other text.
  for (const int key : {18, 19}) {
    keyTexts_.at(key) = text(key);
  }
}

QString DashboardCaptionTexts::Text(DashboardControl control, const UnitSettings& units,
                                    int channel, const QString& stamp) const {
  switch (control) {
    case DashboardControl::kChannelHeader:
      return ChannelHeaderText(channel);
    case DashboardControl::kStamp:
      return stamp;
    case DashboardControl::kPressureLabel:
      return keyTexts_.at(PressureLabelKey(units));
    default:
      break;
  }
  const DashboardCaption* caption = FindCaption(control);
  return caption == nullptr || caption->key == 0 ? QString() : keyTexts_.at(caption->key);
}

}  // namespace nimbrel::ui
