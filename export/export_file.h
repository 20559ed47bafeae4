// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "i18n/utf8.h"

namespace nimbrel {

// Where the export's bytes go. Every call reports failure, so a full disk is never taken for a
// finished export.
class ExportFile {
 public:
  virtual ~ExportFile() = default;

  // Creates the file, or truncates it, for writing raw bytes; false when it cannot be opened.
  virtual bool Create(const std::string& path) = 0;
  // Appends the bytes; false when any of them could not be written.
  virtual bool Write(std::string_view bytes) = 0;
  // Flushes and closes; false when anything written so far was lost.
  virtual bool Close() = 0;
  // Closes without caring for the outcome and deletes the partial file, but only a regular file
  // that this export created or truncated.
  virtual void Discard() = 0;
};

// The file on disk, through one buffered stream in binary mode (no newline translation, no
// locale). The path is UTF-8 and is used whole, however long.
class DiskExportFile : public ExportFile {
 public:
  bool Create(const std::string& path) override;
  bool Write(std::string_view bytes) override;
  bool Close() override;
  void Discard() override;

 private:
  // Rows are small; a large buffer turns 60,000 of them into a few dozen writes.
  static constexpr std::size_t kBufferSize = 1 << 20;
  std::unique_ptr<char[]> storage_ = std::make_unique<char[]>(kBufferSize);
  std::filebuf buffer_;
  std::filesystem::path path_;
  // True when the path named no file or a regular file (not a link, a device or a pipe) before
  // the export opened it, so that removing the partial file removes only what the export wrote.
  bool removable_ = false;
};

// Whether the export will be able to write `path`, asked before the console's history is: a file
// that exists is opened without truncating it and left as it was, one that does not is created and
// removed again. On failure `reason` holds the system's word for it.
bool CanWriteExportFile(const std::string& path, std::string& reason);

}  // namespace nimbrel
