// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gunzip.h"

#include <array>
#include <boost/beast/zlib/inflate_stream.hpp>
#include <cstdint>

namespace nimbrel::platform {

namespace {

namespace zlib = boost::beast::zlib;

constexpr std::size_t kFixedHeader = 10;
constexpr std::size_t kTrailer = 8;  // CRC-32 and length, which we do not check: our own bytes
constexpr std::uint8_t kExtra = 4;
constexpr std::uint8_t kName = 8;
constexpr std::uint8_t kComment = 16;
constexpr std::uint8_t kHeaderCrc = 2;

// Where the deflate data begins, past the header and its optional fields.
std::optional<std::size_t> DeflateStart(std::string_view bytes) {
  if (bytes.size() < kFixedHeader + kTrailer || static_cast<std::uint8_t>(bytes[0]) != 0x1f ||
      static_cast<std::uint8_t>(bytes[1]) != 0x8b || bytes[2] != 8) {
    return std::nullopt;
  }
  const auto flags = static_cast<std::uint8_t>(bytes[3]);
  std::size_t at = kFixedHeader;
  if (flags & kExtra) {
    if (at + 2 > bytes.size()) {
      return std::nullopt;
    }
    at +=
        2 + (static_cast<std::uint8_t>(bytes[at]) | static_cast<std::uint8_t>(bytes[at + 1]) << 8);
  }
  for (const std::uint8_t zeroEnded : {kName, kComment}) {
    if (flags & zeroEnded) {
      const std::size_t zero = bytes.find('\0', at);
      if (zero == std::string_view::npos) {
        return std::nullopt;
      }
      at = zero + 1;
    }
  }
  if (flags & kHeaderCrc) {
    at += 2;
  }
  return at + kTrailer <= bytes.size() ? std::optional(at) : std::nullopt;
}

}  // namespace

std::optional<std::string> Gunzip(std::string_view gzipped, std::size_t limit) {
  const auto start = DeflateStart(gzipped);
  if (!start) {
    return std::nullopt;
  }
  zlib::inflate_stream inflater;
  zlib::z_params params;
  params.next_in = gzipped.data() + *start;
  params.avail_in = gzipped.size() - *start - kTrailer;
  std::string out;
  std::array<char, 16384> buffer{};
  for (;;) {
    params.next_out = buffer.data();
    params.avail_out = buffer.size();
    const std::size_t before = params.avail_in;
    boost::system::error_code error;
    inflater.write(params, zlib::Flush::sync, error);
    out.append(buffer.data(), buffer.size() - params.avail_out);
    if (out.size() > limit) {
      return std::nullopt;
    }
    if (error == zlib::error::end_of_stream) {
      return out;
    }
    if (error && error != zlib::error::need_buffers) {
      return std::nullopt;
    }
    if (params.avail_out != 0 && (params.avail_in == 0 || params.avail_in == before)) {
      return std::nullopt;  // cut short, or stuck
    }
  }
}

}  // namespace nimbrel::platform
