// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/shared_state.h"

#include <utility>

namespace nimbrel {

void SharedState::SetExportFileName(std::string path) {
  std::lock_guard lock(exportFileNameMutex_);
  hasExportFileName_ = !path.empty();
  exportFileName_ = std::move(path);
}

std::string SharedState::ExportFileName() const {
  std::lock_guard lock(exportFileNameMutex_);
  return exportFileName_;
}

}  // namespace nimbrel
