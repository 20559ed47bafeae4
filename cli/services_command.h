// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/options.h"
#include "settings/service_settings.h"
#include "settings/settings_store.h"

namespace nimbrel::cli {

// services set NAME [...]: the changes asked for; what is not given stays as it is.
struct ServiceChanges {
  std::string name;
  std::optional<bool> on;
  std::optional<std::string> id;
  std::optional<std::string> keyFile;  // "-": standard input
  std::optional<long> interval;        // minutes
  std::optional<bool> catchUp;
  std::optional<std::string> endpoint;
  std::optional<std::string> caFile;
  std::optional<double> latitude;
  std::optional<double> longitude;
};

struct ServicesArgs {
  bool list = false;
  bool json = false;
  ServiceChanges set;
};

// Reads `services list [--json]` or `services set NAME ...`; an error text for a wrong line.
std::optional<std::string> ParseServicesArgs(const std::vector<std::string_view>& args,
                                             ServicesArgs& parsed);

// The changes applied to a composed service (`key`: the key file's text, when one was given);
// an error text, and nothing changed, for a value out of range or a service switched on without
// what it needs.
std::optional<std::string> ApplyServiceChanges(const ServiceChanges& changes,
                                               const std::optional<std::string>& key,
                                               ServicesSettings& settings);

// Everything `services list` shows: the composed services and the console's two.
struct ServicesView {
  ServicesSettings settings;
  StationIdAndKey wu;
  StationIdAndKey wc;
  ServiceOutcomes outcomes;
};

// One block per service, keys masked.
std::string ServicesListText(const ServicesView& view);
// One JSON array of one object per service, keys masked.
std::string ServicesListJson(const ServicesView& view);

int RunServicesCommand(const GlobalOptions& options);

}  // namespace nimbrel::cli
