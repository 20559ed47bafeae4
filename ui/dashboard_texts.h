// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <array>
#include <cstddef>
#include <functional>

#include "i18n/language.h"
#include "readings/live_readings.h"
#include "readings/reading_format.h"
#include "readings/unit_settings.h"
#include "station/link.h"
#include "ui/dashboard_layout.h"

namespace nimbrel::ui {

// The extra channels the arrows step through.
inline constexpr int kFirstChannel = 1;
inline constexpr int kLastChannel = 7;

// The field of the live readings that a value area shows now.
std::size_t AreaField(const DashboardValueArea& area, const UnitSettings& units, int channel);

// What a value area shows: its field formatted in the user's units.
FormattedReading AreaReading(const DashboardValueArea& area, const LiveReadings& readings,
                             const UnitSettings& units, int channel);

// The pressure label follows the pressure type: l18 relative, l19 absolute.
int PressureLabelKey(const UnitSettings& units);

QString ChannelHeaderText(int channel);

// "MM/ DD/ YYYY, HH:MM AM": the hour stays on the 24-hour clock; 0 to 11 is AM, 12 to 23 PM.
QString FormatStamp(const LocalDateTime& time);
// Shown until data has been read once.
QString StampPlaceholder();

QString ToQString(std::u16string_view text);

// The captions' texts in the current language.
class DashboardCaptionTexts {
 public:
  // Takes the text of every language key a caption may show; `text` gives key n as shown on
  // screen.
  void Relabel(const std::function<QString(int)>& text);

  // The text a caption shows now. The pressure label follows `units`, the channel header
  // `channel`, the stamp is `stamp`.
  QString Text(DashboardControl control, const UnitSettings& units, int channel,
               const QString& stamp) const;

 private:
  std::array<QString, kLastLanguageKey + 1> keyTexts_;  // indexed by key
};

}  // namespace nimbrel::ui
