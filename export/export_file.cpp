// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/export_file.h"

#include <cerrno>
#include <ios>
#include <system_error>

namespace nimbrel {
namespace {

// The type of the path itself; a symbolic link is reported as a link, not as what it points to.
std::filesystem::file_type OwnType(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::symlink_status(path, error).type();
}

}  // namespace

bool CanWriteExportFile(const std::string& name, std::string& reason) {
  const std::filesystem::path path = PathFromUtf8(name);
  const bool existed = OwnType(path) != std::filesystem::file_type::not_found;
  std::filebuf probe;
  errno = 0;
  // Appending creates a missing file and keeps an existing one whole.
  if (probe.open(path, std::ios::out | std::ios::app | std::ios::binary) == nullptr) {
    reason = errno != 0 ? std::generic_category().message(errno) : "it cannot be opened";
    return false;
  }
  probe.close();
  if (!existed) {
    std::error_code error;
    std::filesystem::remove(path, error);
  }
  return true;
}

bool DiskExportFile::Create(const std::string& path) {
  path_ = PathFromUtf8(path);
  const std::filesystem::file_type before = OwnType(path_);
  removable_ = before == std::filesystem::file_type::not_found ||
               before == std::filesystem::file_type::regular;
  buffer_.pubsetbuf(storage_.get(), kBufferSize);
  return buffer_.open(path_, std::ios::out | std::ios::trunc | std::ios::binary) != nullptr;
}

bool DiskExportFile::Write(std::string_view bytes) {
  const auto size = static_cast<std::streamsize>(bytes.size());
  return buffer_.sputn(bytes.data(), size) == size;
}

bool DiskExportFile::Close() {
  // close() flushes the buffer and reports a failed flush or close as a null result.
  return buffer_.close() != nullptr;
}

void DiskExportFile::Discard() {
  buffer_.close();
  if (removable_ && OwnType(path_) == std::filesystem::file_type::regular) {
    std::error_code error;
    std::filesystem::remove(path_, error);
  }
  removable_ = false;
}

}  // namespace nimbrel
