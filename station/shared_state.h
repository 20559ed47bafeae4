// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <mutex>
#include <string>

namespace nimbrel {

// The flags the threads of the program share: the GUI thread, the station reader, the export
// thread. One object for the run (each test makes its own).
class SharedState {
 public:
  std::atomic<bool> linkConnected{false};      // the console is connected
  std::atomic<bool> readerStop{false};         // the reader must end
  std::atomic<bool> downloadActive{false};     // a history download (or its export) is under way
  std::atomic<bool> downloadCancelled{false};  // history frames are refused
  std::atomic<int> historyTotal{0};            // records announced by the download
  std::atomic<bool> historyReady{false};       // every record of the download is accounted for
  std::atomic<bool> exportRunning{false};      // an export thread reads the history store
  // Set when the program asks for the history; the reader then forgets records given up before.
  std::atomic<bool> historyRequested{false};
  std::atomic<bool> archiveOnly{false};   // the download's one destination is the archive
  std::atomic<bool> mergeRunning{false};  // a merge into the archive reads the history store

  // The chosen export file. History frames are refused while there is neither it nor the archive
  // as the destination.
  void SetExportFileName(std::string path);
  std::string ExportFileName() const;
  bool HasExportFileName() const { return hasExportFileName_.load(); }
  // Where the download goes: the export file, or the archive alone.
  bool HasDestination() const { return HasExportFileName() || archiveOnly; }

 private:
  mutable std::mutex exportFileNameMutex_;
  std::string exportFileName_;
  std::atomic<bool> hasExportFileName_{false};
};

}  // namespace nimbrel
