// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dashboard_layout.h"

#include <algorithm>
#include <array>

#include "ui/look.h"

namespace nimbrel::ui {

namespace {

using C = DashboardControl;

constexpr DialogBox kIndoor{6, 16, 106, 108};
constexpr DialogBox kOutdoor{116, 16, 106, 108};
constexpr DialogBox kWind{226, 16, 215, 108};
constexpr DialogBox kChannel{6, 128, 106, 108};
constexpr DialogBox kRain{116, 128, 106, 108};
constexpr DialogBox kIndex{226, 128, 215, 108};

// A box given relative to its tile's top-left corner.
constexpr DialogBox In(const DialogBox& tile, int x, int y, int width, int height) {
  return {tile.x + x, tile.y + y, width, height};
}

// Every tile has the same rows: the header, then a label and its value above the separator and
// another pair below it.
constexpr int kHeaderY = 4;
constexpr int kHeaderHeight = 13;
constexpr int kUpperLabelY = 21;
constexpr int kUpperValueY = 33;
constexpr int kLowerLabelY = 66;
constexpr int kLowerValueY = 78;
constexpr int kLabelHeight = 11;
constexpr int kValueHeight = 18;
constexpr int kInset = 8;
constexpr int kSmallColumn = 92;  // a small tile's values
constexpr int kSmallLabel = 94;   // its labels may reach closer to the frame
constexpr int kWindColumn = 78;   // left of the wind tile's separator
constexpr int kIndexLeftColumn = 100;
constexpr int kIndexLeftLabel = 108;
constexpr int kIndexRightX = 121;  // where the index tile's right-hand separator starts
constexpr int kIndexRightColumn = 86;
constexpr int kIndexRightLabel = 90;

constexpr QRgb kGreen = qRgb(0x13, 0x89, 0x72);
constexpr QRgb kGrey = qRgb(0x91, 0x91, 0x91);
constexpr QRgb kOrange = qRgb(0xD1, 0x71, 0x2A);

constexpr std::array kTiles = {
    DashboardTile{C::kIndoorTile, kIndoor, kGreen, FrameSeparators::kAcross, false,
                  TileIcon::kThermometer},
    DashboardTile{C::kOutdoorTile, kOutdoor, kGrey, FrameSeparators::kAcross, false,
                  TileIcon::kThermometer},
    DashboardTile{C::kWindTile, kWind, kGrey, FrameSeparators::kWind, false, TileIcon::kWind},
    DashboardTile{C::kRainTile, kRain, kGrey, FrameSeparators::kAcross, true, TileIcon::kRain},
    DashboardTile{C::kIndexTile, kIndex, kGrey, FrameSeparators::kIndex, true, TileIcon::kGauge},
    DashboardTile{C::kChannelTile, kChannel, kOrange, FrameSeparators::kAcross, true,
                  TileIcon::kThermometer},
};

using R = CaptionRole;
using A = CaptionAlignment;

constexpr DashboardCaption Header(C control, const DialogBox& tile, int key) {
  return {control, In(tile, kInset, kHeaderY, 64, kHeaderHeight), key, R::kHeader, A::kLeft};
}
constexpr DashboardCaption Label(C control, const DialogBox& tile, int x, int y, int width,
                                 int key) {
  return {control, In(tile, x, y, width, kLabelHeight), key, R::kLabel, A::kLeft};
}

constexpr std::array kCaptions = {
    Header(C::kIndoorHeader, kIndoor, 6),
    Label(C::kIndoorTemperatureLabel, kIndoor, kInset, kUpperLabelY, kSmallLabel, 8),
    Label(C::kIndoorHumidityLabel, kIndoor, kInset, kLowerLabelY, kSmallLabel, 9),
    Header(C::kOutdoorHeader, kOutdoor, 7),
    Label(C::kOutdoorTemperatureLabel, kOutdoor, kInset, kUpperLabelY, kSmallLabel, 8),
    Label(C::kOutdoorHumidityLabel, kOutdoor, kInset, kLowerLabelY, kSmallLabel, 9),
    Header(C::kWindHeader, kWind, 10),
    Label(C::kWindSpeedLabel, kWind, kInset, kUpperLabelY, kWindColumn, 11),
    Label(C::kWindGustLabel, kWind, kInset, kLowerLabelY, kWindColumn, 13),
    DashboardCaption{C::kWindDirectionLabel, In(kWind, 105, kHeaderY, 90, kHeaderHeight), 12,
                     R::kLabel, A::kCentre},
    DashboardCaption{C::kChannelHeader, In(kChannel, 33, kHeaderY, 40, kHeaderHeight), 0,
                     R::kHeader, A::kCentre},
    Label(C::kChannelTemperatureLabel, kChannel, kInset, kUpperLabelY, kSmallLabel, 8),
    Label(C::kChannelHumidityLabel, kChannel, kInset, kLowerLabelY, kSmallLabel, 9),
    Header(C::kRainHeader, kRain, 14),
    Label(C::kDailyRainLabel, kRain, kInset, kUpperLabelY, kSmallLabel, 15),
    Label(C::kRainRateLabel, kRain, kInset, kLowerLabelY, kSmallLabel, 16),
    Header(C::kIndexHeader, kIndex, 17),
    // Its text follows the pressure type: l18 relative, l19 absolute.
    Label(C::kPressureLabel, kIndex, kInset, kUpperLabelY, kIndexLeftLabel, 18),
    Label(C::kDewPointLabel, kIndex, kInset, kLowerLabelY, kIndexLeftLabel, 21),
    Label(C::kUvIndexLabel, kIndex, kIndexRightX, kUpperLabelY, kIndexRightLabel, 20),
    Label(C::kHeatIndexLabel, kIndex, kIndexRightX, kLowerLabelY, kIndexRightLabel, 22),
    // The caption is drawn right-aligned just left of the stamp's text.
    DashboardCaption{C::kStampCaption, DialogBox{200, 4, 128, 10}, 58, R::kStamp, A::kRight},
    DashboardCaption{C::kStamp, DialogBox{330, 4, 99, 10}, 0, R::kStamp, A::kRight},
};

using K = ReadingKind;
using F = FieldSource;

constexpr DashboardValueArea Value(C control, const DialogBox& tile, int x, int y, int width,
                                   ReadingKind kind, FieldSource source, std::size_t field = 0) {
  return {control, In(tile, x, y, width, kValueHeight), kind, source, field};
}

// In the order of painting.
constexpr std::array kValueAreas = {
    Value(C::kIndoorTemperature, kIndoor, kInset, kUpperValueY, kSmallColumn, K::Temperature,
          F::kFixed, kFieldIndoorTemperature),
    Value(C::kOutdoorTemperature, kOutdoor, kInset, kUpperValueY, kSmallColumn, K::Temperature,
          F::kFixed, kFieldOutdoorTemperature),
    Value(C::kChannelTemperature, kChannel, kInset, kUpperValueY, kSmallColumn, K::Temperature,
          F::kChannelTemperature),
    Value(C::kChannelHumidity, kChannel, kInset, kLowerValueY, kSmallColumn, K::Humidity,
          F::kChannelHumidity),
    Value(C::kDewPoint, kIndex, kInset, kLowerValueY, kIndexLeftColumn, K::Temperature, F::kFixed,
          kFieldDewPoint),
    Value(C::kHeatIndex, kIndex, kIndexRightX, kLowerValueY, kIndexRightColumn, K::Temperature,
          F::kFixed, kFieldHeatIndex),
    Value(C::kPressure, kIndex, kInset, kUpperValueY, kIndexLeftColumn, K::Pressure, F::kPressure),
    Value(C::kWindSpeed, kWind, kInset, kUpperValueY, kWindColumn, K::WindSpeed, F::kFixed,
          kFieldWindSpeed),
    Value(C::kWindGust, kWind, kInset, kLowerValueY, kWindColumn, K::WindSpeed, F::kFixed,
          kFieldWindGust),
    Value(C::kDailyRain, kRain, kInset, kUpperValueY, kSmallColumn, K::Rainfall, F::kFixed,
          kFieldDailyRain),
    Value(C::kRainRate, kRain, kInset, kLowerValueY, kSmallColumn, K::RainRate, F::kFixed,
          kFieldRainRate),
    Value(C::kIndoorHumidity, kIndoor, kInset, kLowerValueY, kSmallColumn, K::Humidity, F::kFixed,
          kFieldIndoorHumidity),
    Value(C::kOutdoorHumidity, kOutdoor, kInset, kLowerValueY, kSmallColumn, K::Humidity, F::kFixed,
          kFieldOutdoorHumidity),
    // Centred on the compass dial.
    DashboardValueArea{C::kWindDirection, In(kWind, 110, 45, 80, 16), K::WindDirection,
                       F::kWindDirection, 0},
    // Centred under its label.
    Value(C::kUvIndex, kIndex, kIndexRightX, kUpperValueY, 40, K::UvIndex, F::kFixed,
          kFieldUvIndex),
};

// The refresh button in the top right corner and the arrows beside the channel header.
constexpr DialogBox kRefreshBox{433, 5, 7, 7};
constexpr DialogBox kPreviousChannelBox = In(kChannel, 28, 5, 10, 11);
constexpr DialogBox kNextChannelBox = In(kChannel, 68, 5, 10, 11);

}  // namespace

QRect PanelRect(const DialogBox& box) {
  return DialogRect(box.x, box.y, box.width, box.height);
}

std::span<const DashboardTile> Tiles() {
  return kTiles;
}

std::span<const DashboardCaption> Captions() {
  return kCaptions;
}

std::span<const DashboardValueArea> ValueAreas() {
  return kValueAreas;
}

const DashboardCaption* FindCaption(DashboardControl control) {
  const auto found =
      std::find_if(kCaptions.begin(), kCaptions.end(),
                   [control](const DashboardCaption& c) { return c.control == control; });
  return found == kCaptions.end() ? nullptr : &*found;
}

const DashboardValueArea* FindValueArea(DashboardControl control) {
  const auto found =
      std::find_if(kValueAreas.begin(), kValueAreas.end(),
                   [control](const DashboardValueArea& v) { return v.control == control; });
  return found == kValueAreas.end() ? nullptr : &*found;
}

QRect ControlRect(DashboardControl control) {
  if (const DashboardCaption* caption = FindCaption(control)) {
    return PanelRect(caption->box);
  }
  if (const DashboardValueArea* area = FindValueArea(control)) {
    return PanelRect(area->box);
  }
  for (const DashboardTile& tile : kTiles) {
    if (tile.control == control) {
      return PanelRect(tile.box);
    }
  }
  switch (control) {
    case C::kRefreshButton:
      return PanelRect(kRefreshBox);
    case C::kPreviousChannel:
      return PanelRect(kPreviousChannelBox);
    case C::kNextChannel:
      return PanelRect(kNextChannelBox);
    default:
      return {};
  }
}

QRect DialRect() {
  const QRect area = ControlRect(C::kWindDirection);
  const int centreX = area.left() + area.width() / 2;
  const int centreY = area.top() + area.height() / 2;
  return {centreX - kDialSize / 2 + 1, centreY - kDialSize / 2 - 2, kDialSize, kDialSize};
}

QRect TileIconRect(const DashboardTile& tile) {
  const QRect frame = PanelRect(tile.box);
  constexpr int kMargin = 9;
  return {frame.left() + frame.width() - kMargin - kTileIconSize, frame.top() + kMargin,
          kTileIconSize, kTileIconSize};
}

}  // namespace nimbrel::ui
