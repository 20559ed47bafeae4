// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/curl_web_sender.h"

#include <curl/curl.h>

#include <algorithm>
#include <charconv>
#include <memory>
#include <mutex>
#include <string_view>

#include "platform/service_senders.h"

#ifndef NIMBREL_VERSION
#define NIMBREL_VERSION "0.1.0"
#endif

namespace nimbrel {
namespace {

// libcurl's process-wide set-up must run once before any thread makes a handle.
void InitialiseCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyCleanup {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiCleanup {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct ListCleanup {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Easy = std::unique_ptr<CURL, EasyCleanup>;
using Multi = std::unique_ptr<CURLM, MultiCleanup>;
using HeaderList = std::unique_ptr<curl_slist, ListCleanup>;

// What the callbacks fill in while the exchange runs.
struct Exchange {
  WebReply reply;
  bool bodyFull = false;  // the body reached its limit; the rest was refused on purpose
};

bool IsSpace(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (IsSpace(text.front()) || text.front() == '\r' || text.front() == '\n')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (IsSpace(text.back()) || text.back() == '\r' || text.back() == '\n')) {
    text.remove_suffix(1);
  }
  return text;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return (x | 0x20) == (y | 0x20);
         });
}

// The longest wait a reply can ask for: a longer one is taken as this, so that no reply can
// silence a service for good, nor overflow the arithmetic of a schedule.
constexpr std::chrono::seconds kLongestRetryAfter{24 * 3600};

// "Retry-After: 120" gives 120 s; a date or a negative number gives nothing.
std::optional<std::chrono::seconds> RetryAfterOf(std::string_view line) {
  const auto colon = line.find(':');
  if (colon == std::string_view::npos ||
      !EqualsIgnoringCase(Trimmed(line.substr(0, colon)), "retry-after")) {
    return std::nullopt;
  }
  const std::string_view value = Trimmed(line.substr(colon + 1));
  long long seconds = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
  if (error == std::errc::result_out_of_range && end == value.data() + value.size() &&
      value.front() != '-') {
    return kLongestRetryAfter;
  }
  if (error != std::errc() || end != value.data() + value.size() || seconds < 0) {
    return std::nullopt;
  }
  return std::min(std::chrono::seconds(seconds), kLongestRetryAfter);
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto& exchange = *static_cast<Exchange*>(user);
  const std::string_view line(data, size * count);
  if (line.starts_with("HTTP/")) {
    exchange.reply.retryAfter.reset();  // a new reply (after "100 Continue", say)
  } else if (auto retry = RetryAfterOf(line)) {
    exchange.reply.retryAfter = retry;
  }
  return size * count;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto& exchange = *static_cast<Exchange*>(user);
  std::string& body = exchange.reply.body;
  const size_t bytes = size * count;
  const size_t taken = std::min(bytes, kWebReplyLimit - body.size());
  body.append(data, taken);
  if (body.size() < kWebReplyLimit) {
    return bytes;
  }
  // Enough to judge the reply: refusing the rest ends the transfer at once.
  exchange.bodyFull = true;
  return taken == bytes && taken > 0 ? bytes : 0;
}

// The URL up to its query or fragment: safe to show, since only the query holds keys.
std::string_view WithoutQuery(std::string_view url) {
  return url.substr(0, url.find_first_of("?#"));
}

bool HoldsLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

WebFailure FailureOf(CURLcode code) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
      return WebFailure::kNoConnection;
    case CURLE_OPERATION_TIMEDOUT:
      return WebFailure::kTimedOut;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
      return WebFailure::kCertificate;
    case CURLE_ABORTED_BY_CALLBACK:
      return WebFailure::kStopped;
    default:
      return WebFailure::kOther;
  }
}

WebReply Failed(WebFailure failure, std::string_view url, std::string_view words) {
  WebReply reply;
  reply.failure = failure;
  reply.detail = std::string(WithoutQuery(url)) + ": " + std::string(words);
  return reply;
}

// The words of a failure, with anything of the query cut out in case the library quoted it.
std::string FailureWords(CURLcode code, const char* buffer, std::string_view url) {
  std::string words = buffer[0] != '\0' ? buffer : curl_easy_strerror(code);
  const auto mark = url.find('?');
  if (mark != std::string_view::npos && mark + 1 < url.size()) {
    const std::string_view query = url.substr(mark + 1);
    for (auto at = words.find(query); at != std::string::npos; at = words.find(query, at)) {
      words.replace(at, query.size(), "...");
    }
  }
  return words;
}

// Runs the exchange on a multi handle, so that a stop request wakes the wait at once.
CURLcode Perform(CURL* easy, const std::stop_token& stop) {
  const Multi multi(curl_multi_init());
  if (!multi || curl_multi_add_handle(multi.get(), easy) != CURLM_OK) {
    return CURLE_OUT_OF_MEMORY;
  }
  CURLcode result = CURLE_ABORTED_BY_CALLBACK;
  {
    const std::stop_callback wake(stop, [m = multi.get()] { curl_multi_wakeup(m); });
    int running = 1;
    while (!stop.stop_requested()) {
      if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
        result = CURLE_FAILED_INIT;
        break;
      }
      if (running == 0) {
        int left = 0;
        const CURLMsg* message = curl_multi_info_read(multi.get(), &left);
        result = message != nullptr && message->msg == CURLMSG_DONE ? message->data.result
                                                                    : CURLE_GOT_NOTHING;
        break;
      }
      if (curl_multi_poll(multi.get(), nullptr, 0, 1000, nullptr) != CURLM_OK) {
        result = CURLE_FAILED_INIT;
        break;
      }
    }
  }
  curl_multi_remove_handle(multi.get(), easy);
  return stop.stop_requested() ? CURLE_ABORTED_BY_CALLBACK : result;
}

// The request's extra header lines; nothing when one holds a line break, which would smuggle a
// header of its own into the request, or has no name.
std::optional<HeaderList> HeaderLines(const WebRequest& request) {
  HeaderList lines;
  for (const auto& [name, value] : request.headers) {
    if (name.empty() || HoldsLineBreak(name) || HoldsLineBreak(value)) {
      return std::nullopt;
    }
    curl_slist* longer = curl_slist_append(lines.get(), (name + ": " + value).c_str());
    if (longer == nullptr) {
      return std::nullopt;
    }
    static_cast<void>(lines.release());  // `longer` is the same list, or the first of it
    lines.reset(longer);
  }
  return lines;
}

long Milliseconds(std::chrono::seconds time) {
  return static_cast<long>(std::chrono::milliseconds(time).count());
}

void SetOptions(CURL* e, const WebRequest& request, const WebTimeouts& timeouts,
                curl_slist* headers, Exchange& exchange, char* errors) {
  curl_easy_setopt(e, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "https,http");
  curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_USERAGENT, "Nimbrel/" NIMBREL_VERSION);
  curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, Milliseconds(timeouts.connect));
  curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, Milliseconds(timeouts.whole));
  curl_easy_setopt(e, CURLOPT_ERRORBUFFER, errors);
  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(e, CURLOPT_HEADERDATA, &exchange);
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, &exchange);
  if (!request.caFile.empty()) {
    // That authority alone, not the system's besides.
    curl_easy_setopt(e, CURLOPT_CAINFO, request.caFile.c_str());
    curl_easy_setopt(e, CURLOPT_CAPATH, static_cast<char*>(nullptr));
  }
}

}  // namespace

CurlWebSender::CurlWebSender(WebTimeouts timeouts) : timeouts_(timeouts) {
  InitialiseCurlOnce();
}

WebReply CurlWebSender::Get(const WebRequest& request, std::stop_token stop) {
  const std::string_view url = request.url;
  if (!url.starts_with("https://") && !url.starts_with("http://")) {
    return Failed(WebFailure::kOther, url, "not an http:// or https:// address");
  }
  const std::optional<HeaderList> headers = HeaderLines(request);
  if (!headers) {
    return Failed(WebFailure::kOther, url, "a header line holds a line break or no name");
  }
  const Easy easy(curl_easy_init());
  if (!easy) {
    return Failed(WebFailure::kOther, url, "libcurl could not start");
  }
  Exchange exchange;
  char errors[CURL_ERROR_SIZE] = {};
  SetOptions(easy.get(), request, timeouts_, headers->get(), exchange, errors);
  const CURLcode code = Perform(easy.get(), stop);
  if (code != CURLE_OK && !(code == CURLE_WRITE_ERROR && exchange.bodyFull)) {
    const WebFailure failure = stop.stop_requested() ? WebFailure::kStopped : FailureOf(code);
    return Failed(failure, url,
                  failure == WebFailure::kStopped ? "stopped" : FailureWords(code, errors, url));
  }
  long status = 0;
  curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
  exchange.reply.status = static_cast<int>(status);
  return std::move(exchange.reply);
}

std::unique_ptr<WebSender> MakeWebSender(const WebTimeouts& timeouts) {
  return std::make_unique<CurlWebSender>(timeouts);
}

}  // namespace nimbrel
