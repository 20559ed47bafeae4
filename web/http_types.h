// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nimbrel::web {

// One request as the HTTP server hands it over: the method and the target as sent (the server
// has already refused what breaks its limits), the query undecoded.
struct Request {
  std::string method;        // "GET" or "HEAD"; the server answers anything else with 405 itself
  std::string path;          // the target before '?', undecoded
  std::string query;         // after '?', undecoded; empty when none
  bool acceptsGzip = false;  // the server unpacks a gzipped answer for a client that does not
};

struct Header {
  std::string name;
  std::string value;
};

// One whole answer. A body that is gzip-compressed already says so in `gzipped`; the server adds
// Content-Encoding, Content-Length and the security headers itself.
struct Response {
  int status = 200;
  std::string contentType = "application/json";
  std::string body;
  bool gzipped = false;
  std::vector<Header> headers;  // others, such as Cache-Control
};

// What answers the requests; called on the server's threads, so it must be safe to call from
// several at once.
using Handler = std::function<Response(const Request&)>;

}  // namespace nimbrel::web
