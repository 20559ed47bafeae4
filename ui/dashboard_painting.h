// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "readings/live_readings.h"
#include "readings/unit_settings.h"

class QPainter;

namespace nimbrel::ui {

class PanelLook;
class DashboardArt;
class DashboardCaptionTexts;

// Everything one picture of the dashboard is made from.
struct DashboardScene {
  const PanelLook& look;
  const DashboardArt& art;
  const DashboardCaptionTexts& captions;
  const LiveReadings& readings;
  const UnitSettings& units;
  int channel;
  const QString& stamp;
  int clientBottom;  // the panel's height: the bottom row's frames reach down to it
};

// Paints the whole panel: background, the six frames with their icons, the captions, the fifteen
// values with the compass dial, and the stamp.
void PaintDashboard(QPainter& painter, const DashboardScene& scene);

}  // namespace nimbrel::ui
