// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "export/export_file.h"
#include "export/export_writer.h"
#include "export/history_store.h"
#include "tests/support/temp_dir.h"

namespace nimbrel::testing {

// The record of a console line.
HistoryRecord Record(std::string_view text);

// Puts the lines into slots 0, 1, ... (an empty line leaves its slot empty).
void Fill(HistoryStore& store, std::initializer_list<std::string_view> lines);

// The file's bytes, and its text read back as UTF-16LE after a byte-order mark (decoded here, not
// by the writer's encoder). An odd byte count or a missing mark gives the text "<not UTF-16LE>".
std::string FileBytes(const std::string& path);
std::u16string FileText(const std::string& path);

// Records each hand-off with the DownloadActive and exportRunning flags as they were during it.
class RecordingSink : public ExportFinishedSink {
 public:
  struct Call {
    int result;
    bool downloadActive;
    bool exportRunning;
    friend bool operator==(const Call&, const Call&) = default;
  };
  explicit RecordingSink(const SharedState& state) : state_(state) {}
  void ExportFinished(int result) override;
  std::vector<Call> Calls() const;

 private:
  const SharedState& state_;
  mutable std::mutex mutex_;
  std::vector<Call> calls_;
};

// The file on disk, but every write beyond `budget` bytes fails (the bytes that fit are written
// first, as a filling disk would), and Close fails when told to. A hook, when given, is called on
// the export's thread before Create (call 0) and before each write (1: the header, 2: the rows...).
class FailingFile : public ExportFile {
 public:
  explicit FailingFile(
      std::size_t budget, bool closeFails = false, std::function<void(int)> hook = [](int) {})
      : budget_(budget), closeFails_(closeFails), hook_(std::move(hook)) {}
  bool Create(const std::string& path) override {
    hook_(calls_++);
    return disk_.Create(path);
  }
  bool Write(std::string_view bytes) override;
  bool Close() override { return disk_.Close() && !closeFails_; }
  void Discard() override { disk_.Discard(); }

 private:
  DiskExportFile disk_;
  std::size_t budget_;
  bool closeFails_;
  std::function<void(int)> hook_;
  int calls_ = 0;
};

}  // namespace nimbrel::testing
