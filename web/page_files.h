// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>
#include <string_view>

namespace nimbrel::web {

// One file of the page, built into the program, kept gzip-compressed as it is sent.
struct EmbeddedFile {
  std::string_view path;  // as requested: "/index.html", "/app.js"
  std::string_view contentType;
  std::string_view gzipped;
};

// Every file of the page; "/" is "/index.html".
std::span<const EmbeddedFile> PageFiles();

}  // namespace nimbrel::web
