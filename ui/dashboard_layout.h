// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QRgb>
#include <cstddef>
#include <span>

#include "readings/reading_format.h"
#include "ui/frames.h"

namespace nimbrel::ui {

// The dashboard's parts, numbered as its window template numbers its controls.
enum class DashboardControl : int {
  kRefreshButton = 1009,
  kChannelTile = 1055,
  kIndoorHeader = 1058,
  kPreviousChannel = 1059,
  kIndoorTemperatureLabel = 1060,
  kIndoorTemperature = 1062,
  kIndoorTile = 1064,
  kNextChannel = 1065,
  kOutdoorTile = 1066,
  kIndoorHumidityLabel = 1070,
  kIndoorHumidity = 1073,
  kIndexTile = 1091,
  kPressureLabel = 1092,
  kPressure = 1093,
  kDewPointLabel = 1095,
  kDewPoint = 1096,
  kIndexHeader = 1098,
  kUvIndexLabel = 1099,
  kUvIndex = 1100,
  kHeatIndexLabel = 1101,
  kHeatIndex = 1102,
  kStampCaption = 1105,
  kStamp = 1106,
  kOutdoorHeader = 1167,
  kOutdoorTemperatureLabel = 1168,
  kOutdoorTemperature = 1169,
  kOutdoorHumidityLabel = 1171,
  kOutdoorHumidity = 1172,
  kWindTile = 1174,
  kWindHeader = 1175,
  kWindSpeedLabel = 1176,
  kWindSpeed = 1177,
  kWindGustLabel = 1179,
  kWindGust = 1180,
  kWindDirectionLabel = 1182,
  kWindDirection = 1183,
  kChannelHeader = 1184,
  kChannelTemperatureLabel = 1185,
  kChannelTemperature = 1186,
  kChannelHumidityLabel = 1188,
  kChannelHumidity = 1189,
  kRainTile = 1191,
  kRainHeader = 1192,
  kDailyRainLabel = 1193,
  kDailyRain = 1194,
  kRainRateLabel = 1196,
  kRainRate = 1197,
};

// A place on the panel in dialog units (the panel is 448 x 240 of them).
struct DialogBox {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// The box in the panel's pixels.
QRect PanelRect(const DialogBox& box);

// The small picture in a tile's top right corner.
enum class TileIcon { kThermometer, kWind, kRain, kGauge };

struct DashboardTile {
  DashboardControl control;
  DialogBox box;
  QRgb frameColor;
  FrameSeparators separators;
  bool bottomRow;  // its frame reaches down to the panel's bottom edge
  TileIcon icon;
};

enum class CaptionRole {
  kHeader,  // header font, #636363
  kLabel,   // label font, #055DA0
  kStamp,   // the panel's own font, #919191
};

enum class CaptionAlignment { kLeft, kCentre, kRight };

struct DashboardCaption {
  DashboardControl control;
  DialogBox box;
  // The language key of its text; 0 for the captions whose text is not a language text.
  int key;
  CaptionRole role;
  CaptionAlignment alignment;
};

// Which field of the live readings a value area shows.
enum class FieldSource {
  kFixed,               // `field`
  kChannelTemperature,  // of the selected channel
  kChannelHumidity,
  kPressure,       // relative or absolute, by the pressure type
  kWindDirection,  // compass point or degrees, by the direction format
};

struct DashboardValueArea {
  DashboardControl control;
  DialogBox box;
  ReadingKind kind;
  FieldSource source;
  std::size_t field;  // for kFixed
};

// The tiles in the order their frames are painted.
std::span<const DashboardTile> Tiles();
std::span<const DashboardCaption> Captions();
// The value areas in the order they are painted.
std::span<const DashboardValueArea> ValueAreas();

// The caption or value area of a control; nullptr for a control that is none.
const DashboardCaption* FindCaption(DashboardControl control);
const DashboardValueArea* FindValueArea(DashboardControl control);

// The pixel rectangle of any control of the template (an empty one for an unknown control).
QRect ControlRect(DashboardControl control);

// The compass dial: its centre lies on the wind direction area's centre, one pixel right and two
// up.
inline constexpr int kDialSize = 160;
QRect DialRect();

// Where a tile's icon sits, in pixels.
inline constexpr int kTileIconSize = 28;
QRect TileIconRect(const DashboardTile& tile);

}  // namespace nimbrel::ui
