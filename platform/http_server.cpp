// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/http_server.h"

#include "platform/gunzip.h"

#include <array>
#include <atomic>
#include <charconv>
#include <future>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/status.hpp>

namespace nimbrel::platform {
namespace {

namespace asio = boost::asio;
namespace http = boost::beast::http;
using tcp = asio::ip::tcp;
using boost::system::error_code;

// A live client that has taken nothing for this long is gone (or stalled): it is closed. Between
// events, a comment line every period keeps proxies from closing the stream and finds dead peers.
constexpr std::chrono::seconds kLivePeriod{15};

constexpr std::string_view kSecurityHeaders =
    "Content-Security-Policy: default-src 'self'\r\n"
    "X-Content-Type-Options: nosniff\r\n"
    "Referrer-Policy: no-referrer\r\n";

// The page's largest file unpacked is a few hundred kilobytes.
constexpr std::size_t kUnpackedLimit = std::size_t{8} << 20;

std::string Number(std::size_t value) {
  std::array<char, 24> text{};
  const auto end = std::to_chars(text.data(), text.data() + text.size(), value).ptr;
  return std::string(text.data(), end);
}

std::string StatusLine(int status) {
  std::string line = "HTTP/1.1 " + Number(static_cast<std::size_t>(status)) + " ";
  line.append(http::obsolete_reason(static_cast<http::status>(status)));
  return line + "\r\n";
}

// Header values come from our own handler, but a line break in one would split the answer.
bool SafeHeader(const web::Header& header) {
  constexpr std::string_view kBreaks = "\r\n";
  return !header.name.empty() && header.name.find_first_of(kBreaks) == std::string::npos &&
         header.value.find_first_of(kBreaks) == std::string::npos;
}

std::string Serialize(const web::Response& response, bool head, bool keepAlive) {
  std::string out = StatusLine(response.status);
  out.append("Content-Type: ").append(response.contentType).append("\r\n");
  out.append("Content-Length: ").append(Number(response.body.size())).append("\r\n");
  if (response.gzipped) {
    out.append("Content-Encoding: gzip\r\nVary: Accept-Encoding\r\n");
  }
  for (const web::Header& header : response.headers) {
    if (SafeHeader(header)) {
      out.append(header.name).append(": ").append(header.value).append("\r\n");
    }
  }
  out.append(kSecurityHeaders);
  if (!keepAlive) {
    out.append("Connection: close\r\n");
  }
  out.append("\r\n");
  if (!head) {
    out.append(response.body);
  }
  return out;
}

web::Response ErrorResponse(int status, std::string_view message) {
  web::Response response;
  response.status = status;
  response.body.append("{\"error\":\"").append(message).append("\"}");
  return response;
}

// Kept compressed; unpacked only for the rare client that cannot take gzip.
std::string SerializeUnpacked(const web::Response& response, bool head, bool keepAlive) {
  auto plain = Gunzip(response.body, kUnpackedLimit);
  if (!plain) {
    return Serialize(ErrorResponse(500, "the answer could not be unpacked"), head, keepAlive);
  }
  web::Response unpacked = response;
  unpacked.body = *std::move(plain);
  unpacked.gzipped = false;
  return Serialize(unpacked, head, keepAlive);
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
    text.remove_suffix(1);
  }
  return text;
}

bool SameLetters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) {
      return false;
    }
  }
  return true;
}

// "gzip" or "*" in Accept-Encoding, unless refused with q=0.
bool AcceptsGzip(std::string_view header) {
  while (!header.empty()) {
    const std::size_t comma = header.find(',');
    std::string_view item = header.substr(0, comma);
    header = comma == std::string_view::npos ? std::string_view{} : header.substr(comma + 1);
    const std::size_t semicolon = item.find(';');
    const std::string_view coding = Trim(item.substr(0, semicolon));
    if (!SameLetters(coding, "gzip") && coding != "*") {
      continue;
    }
    if (semicolon == std::string_view::npos) {
      return true;
    }
    const std::string_view parameter = Trim(item.substr(semicolon + 1));
    if (!(parameter.size() >= 3 && SameLetters(parameter.substr(0, 2), "q=") &&
          parameter.substr(2).find_first_not_of("0.") == std::string_view::npos)) {
      return true;
    }
  }
  return false;
}

std::string Endpoint(const std::string& address, std::uint16_t port) {
  const bool v6 = address.find(':') != std::string::npos;
  return (v6 ? "[" + address + "]" : address) + ":" + Number(port);
}

class Server;

// What the hub's wake-up reaches: cleared when the server stops, so a Publish racing Stop never
// touches a server that is gone.
struct Waker {
  std::mutex mutex;
  Server* server = nullptr;
};

class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(Server& server, tcp::socket socket);
  ~Session();
  void Start(bool overloaded);
  void Pump();
  void Close();
  bool Live() const { return live_; }

 private:
  void ReadRequest();
  void OnRead(error_code error);
  void Dispatch(const http::request<http::empty_body>& request);
  void Answer(const web::Response& response, bool head, bool keepAlive, bool takesGzip);
  void Refuse(int status, std::string_view message);
  void StartLive(bool head);
  void Linger();
  void Drain();
  void Tick();
  void SendLive();
  void WriteOut(bool keepAlive);
  template <class OnExpiry>
  void Arm(std::chrono::steady_clock::duration after, OnExpiry onExpiry);

  Server& server_;
  tcp::socket socket_;
  asio::steady_timer timer_;
  std::uint64_t armed_ = 0;  // tells a timer that has been re-armed from the current one
  boost::beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::empty_body>> parser_;
  std::string out_;
  bool timedOut_ = false;
  bool answered_ = false;  // a request has been answered on this connection
  bool live_ = false;
  bool writing_ = false;
  bool wroteSinceTick_ = true;
  std::uint64_t seen_ = 0;
  std::array<char, 256> sink_{};
};

class Server final : public HttpServer {
 public:
  Server(const HttpServerOptions& options, web::Handler handler, web::EventHub& hub)
      : options_(options),
        handler_(std::move(handler)),
        hub_(hub),
        pool_(options.handlerThreads == 0 ? 1 : options.handlerThreads) {}

  ~Server() override { Stop(); }

  bool Listen(std::string& error) {
    error_code ec;
    const asio::ip::address address = asio::ip::make_address(options_.address, ec);
    if (ec) {
      error = "'" + options_.address + "' is not an IP address (such as 127.0.0.1 or ::1)";
      return false;
    }
    const tcp::endpoint endpoint(address, options_.port);
    const std::string where = Endpoint(options_.address, options_.port);
    acceptor_.open(endpoint.protocol(), ec);
#ifndef _WIN32
    // A restart must not wait for the old connections' TIME_WAIT (on Windows the same option
    // would let two servers share the port).
    if (!ec) {
      acceptor_.set_option(tcp::acceptor::reuse_address(true), ec);
    }
#endif
    if (!ec) {
      acceptor_.bind(endpoint, ec);
    }
    if (!ec) {
      acceptor_.listen(asio::socket_base::max_listen_connections, ec);
    }
    if (ec == asio::error::address_in_use || ec == asio::error::access_denied) {
      error = ec == asio::error::address_in_use
                  ? where + " is already in use by another program"
                  : "not allowed to listen on " + where + " (a port below 1024 needs privileges)";
      return false;
    }
    if (ec == boost::system::errc::address_not_available) {
      error = options_.address + " is not an address of this computer";
      return false;
    }
    if (ec) {
      error = "cannot listen on " + where + ": " + ec.message();
      return false;
    }
    port_ = acceptor_.local_endpoint(ec).port();
    waker_ = std::make_shared<Waker>();
    waker_->server = this;
    hub_.OnPublish([waker = waker_] {
      std::lock_guard lock(waker->mutex);
      if (waker->server != nullptr) {
        waker->server->Wake();
      }
    });
    Accept();
    thread_ = std::thread([this] { io_.run(); });
    return true;
  }

  std::uint16_t Port() const override {
    return port_;
  }

  void Stop() override {
    if (!thread_.joinable()) {
      return;
    }
    {
      std::lock_guard lock(waker_->mutex);
      waker_->server = nullptr;
    }
    std::promise<void> closed;
    std::future<void> done = closed.get_future();
    asio::post(io_, [this, &closed] {
      error_code ignored;
      acceptor_.close(ignored);
      acceptPause_.cancel();
      for (const std::shared_ptr<Session>& session : Sessions()) {
        session->Close();
      }
      closed.set_value();
    });
    done.wait_for(std::chrono::seconds(1));
    pool_.stop();
    io_.stop();
    thread_.join();
    pool_.join();
  }

  void Wake() {
    asio::post(io_, [this] {
      for (const std::shared_ptr<Session>& session : Sessions()) {
        if (session->Live()) {
          session->Pump();
        }
      }
    });
  }

  // Makes the answer on a pool thread (an archive read must not hold up the live stream), then
  // hands it back to the network thread.
  template <class Done>
  void Handle(web::Request request, Done done) {
    asio::post(pool_, [this, request = std::move(request), done = std::move(done)]() mutable {
      web::Response response;
      try {
        response = handler_(request);
      } catch (...) {
        response = ErrorResponse(500, "internal error");
      }
      asio::post(io_, [done = std::move(done), response = std::move(response)]() mutable {
        done(response);
      });
    });
  }

  void Register(Session* session, std::weak_ptr<Session> weak) {
    std::lock_guard lock(mutex_);
    sessions_[session] = std::move(weak);
  }
  void Unregister(Session* session) {
    std::lock_guard lock(mutex_);
    sessions_.erase(session);
    --open_;
  }

  bool TakeLiveSlot() {
    if (++live_ > options_.maxLiveClients) {
      --live_;
      return false;
    }
    return true;
  }
  void FreeLiveSlot() {
    --live_;
  }

  const HttpServerOptions& Options() const {
    return options_;
  }
  web::EventHub& Hub() {
    return hub_;
  }
  asio::io_context& Io() {
    return io_;
  }

 private:
  void Accept() {
    acceptor_.async_accept([this](error_code error, tcp::socket socket) {
      if (error == asio::error::operation_aborted || !acceptor_.is_open()) {
        return;
      }
      if (error) {
        // Out of descriptors or memory: accepting again at once would only spin.
        acceptPause_.expires_after(std::chrono::milliseconds(100));
        acceptPause_.async_wait([this](error_code cancelled) {
          if (!cancelled) {
            Accept();
          }
        });
        return;
      }
      error_code ignored;
      socket.set_option(tcp::no_delay(true), ignored);
      const bool overloaded = ++open_ > options_.maxConnections;
      auto session = std::make_shared<Session>(*this, std::move(socket));
      Register(session.get(), session);
      session->Start(overloaded);
      Accept();
    });
  }

  std::vector<std::shared_ptr<Session>> Sessions() {
    std::vector<std::shared_ptr<Session>> sessions;
    std::lock_guard lock(mutex_);
    sessions.reserve(sessions_.size());
    for (const auto& [key, weak] : sessions_) {
      if (auto session = weak.lock()) {
        sessions.push_back(std::move(session));
      }
    }
    return sessions;
  }

  const HttpServerOptions options_;
  const web::Handler handler_;
  web::EventHub& hub_;
  std::mutex mutex_;
  std::unordered_map<Session*, std::weak_ptr<Session>> sessions_;
  std::atomic<std::size_t> open_{0};
  std::atomic<std::size_t> live_{0};
  std::shared_ptr<Waker> waker_;
  std::uint16_t port_ = 0;
  // Declared after what the sessions use: destroying these destroys the sessions still queued.
  asio::io_context io_{1};
  tcp::acceptor acceptor_{io_};
  asio::steady_timer acceptPause_{io_};
  asio::thread_pool pool_;
  std::thread thread_;
};

Session::Session(Server& server, tcp::socket socket)
    : server_(server), socket_(std::move(socket)), timer_(server.Io()) {}

Session::~Session() {
  if (live_) {
    server_.FreeLiveSlot();
  }
  server_.Unregister(this);
}

void Session::Start(bool overloaded) {
  if (overloaded) {
    Refuse(503, "too many connections");
    return;
  }
  ReadRequest();
}

template <class OnExpiry>
void Session::Arm(std::chrono::steady_clock::duration after, OnExpiry onExpiry) {
  const std::uint64_t armed = ++armed_;
  timer_.expires_after(after);
  timer_.async_wait([self = shared_from_this(), armed, onExpiry](error_code error) {
    if (!error && armed == self->armed_) {
      onExpiry(*self);
    }
  });
}

void Session::Close() {
  ++armed_;
  timer_.cancel();
  error_code ignored;
  socket_.shutdown(tcp::socket::shutdown_both, ignored);
  socket_.close(ignored);
}

void Session::ReadRequest() {
  parser_.emplace();
  parser_->header_limit(static_cast<std::uint32_t>(server_.Options().maxHeaderBytes));
  timedOut_ = false;
  Arm(server_.Options().requestTimeout, [](Session& self) {
    self.timedOut_ = true;
    error_code ignored;
    self.socket_.cancel(ignored);
  });
  http::async_read(
      socket_, buffer_, *parser_,
      [self = shared_from_this()](error_code error, std::size_t) { self->OnRead(error); });
}

void Session::OnRead(error_code error) {
  ++armed_;
  timer_.cancel();
  if (timedOut_) {
    // An idle kept-alive connection just ends; a request left unfinished is told why.
    if (answered_ && buffer_.size() == 0) {
      Close();
    } else {
      Refuse(408, "request not sent in time");
    }
    return;
  }
  if (error == http::error::header_limit) {
    // The parser has taken the request line once it was whole: without one, the URL was too long.
    const std::string_view target = parser_->get().target();
    const bool longUrl = target.empty() || target.size() > server_.Options().maxUrlBytes;
    Refuse(longUrl ? 414 : 431, longUrl ? "URL too long" : "request headers too large");
    return;
  }
  if (error == http::error::unexpected_body || error == http::error::body_limit) {
    Refuse(413, "a request body is not accepted");
    return;
  }
  if (error == http::error::end_of_stream || error == asio::error::eof ||
      error == asio::error::operation_aborted || error == asio::error::connection_reset ||
      error == asio::error::bad_descriptor) {
    Close();
    return;
  }
  if (error) {
    Refuse(400, "malformed request");
    return;
  }
  Dispatch(parser_->get());
}

void Session::Dispatch(const http::request<http::empty_body>& request) {
  const std::string_view target = request.target();
  if (target.size() > server_.Options().maxUrlBytes) {
    Refuse(414, "URL too long");
    return;
  }
  const bool head = request.method() == http::verb::head;
  if (request.method() != http::verb::get && !head) {
    web::Response response = ErrorResponse(405, "only GET and HEAD are served");
    response.headers.push_back({"Allow", "GET, HEAD"});
    Answer(response, false, request.keep_alive(), true);
    return;
  }
  web::Request handed;
  handed.method = head ? "HEAD" : "GET";
  const std::size_t question = target.find('?');
  handed.path = std::string(target.substr(0, question));
  if (question != std::string_view::npos) {
    handed.query = std::string(target.substr(question + 1));
  }
  if (handed.path == kEventStreamPath) {
    StartLive(head);
    return;
  }
  const auto encoding = request.find(http::field::accept_encoding);
  handed.acceptsGzip = encoding != request.end() && AcceptsGzip(encoding->value());
  const bool keepAlive = request.keep_alive();
  const bool takesGzip = handed.acceptsGzip;
  server_.Handle(std::move(handed), [self = shared_from_this(), head, keepAlive,
                                     takesGzip](const web::Response& response) {
    self->Answer(response, head, keepAlive, takesGzip);
  });
}

void Session::Answer(const web::Response& response, bool head, bool keepAlive, bool takesGzip) {
  out_ = response.gzipped && !takesGzip ? SerializeUnpacked(response, head, keepAlive)
                                        : Serialize(response, head, keepAlive);
  answered_ = true;
  WriteOut(keepAlive);
}

// Limit errors end the connection: what follows on it cannot be trusted to be a request.
void Session::Refuse(int status, std::string_view message) {
  out_ = Serialize(ErrorResponse(status, message), false, false);
  WriteOut(false);
}

void Session::WriteOut(bool keepAlive) {
  // A client that does not take its answer holds a connection: it gets as long as for sending.
  Arm(server_.Options().requestTimeout, [](Session& self) { self.Close(); });
  asio::async_write(socket_, asio::buffer(out_),
                    [self = shared_from_this(), keepAlive](error_code error, std::size_t) {
                      if (error) {
                        self->Close();
                        return;
                      }
                      if (!keepAlive) {
                        self->Linger();
                        return;
                      }
                      self->ReadRequest();
                    });
}

void Session::StartLive(bool head) {
  if (!server_.TakeLiveSlot()) {
    Refuse(503, "too many live clients");
    return;
  }
  live_ = true;
  out_ = StatusLine(200);
  out_.append(
      "Content-Type: text/event-stream\r\n"
      "Cache-Control: no-store\r\n");
  out_.append(kSecurityHeaders);
  out_.append("Connection: close\r\n\r\n");
  if (head) {
    WriteOut(false);
    return;
  }
  // A reconnecting browser waits this long (milliseconds) before it tries again.
  out_.append("retry: 2000\n\n");
  for (const std::string& event : server_.Hub().After(seen_)) {
    out_.append(event);
  }
  SendLive();
  Drain();  // a live client sends nothing: its reads end only when it has gone
  Tick();
}

// Closing with the rest of a refused request unread would reset the connection, and the client
// could lose the answer: its sending side is ended first and what it still sends is read away.
void Session::Linger() {
  error_code ignored;
  socket_.shutdown(tcp::socket::shutdown_send, ignored);
  Arm(std::chrono::seconds(2), [](Session& self) { self.Close(); });
  Drain();
}

// Reads and drops what the client sends, until it closes.
void Session::Drain() {
  socket_.async_read_some(asio::buffer(sink_),
                          [self = shared_from_this()](error_code error, std::size_t) {
                            if (error) {
                              self->Close();
                              return;
                            }
                            self->Drain();
                          });
}

void Session::Tick() {
  Arm(kLivePeriod, [](Session& self) {
    if (self.writing_ && !self.wroteSinceTick_) {
      self.Close();
      return;
    }
    self.wroteSinceTick_ = false;
    if (!self.writing_) {
      self.out_ = ":\n\n";
      self.SendLive();
    }
    self.Tick();
  });
}

void Session::Pump() {
  if (writing_ || !socket_.is_open()) {
    return;
  }
  const std::vector<std::string> events = server_.Hub().After(seen_);
  if (events.empty()) {
    return;
  }
  out_.clear();
  for (const std::string& event : events) {
    out_.append(event);
  }
  SendLive();
}

// One write at a time per live client; what was published meanwhile goes in the next.
void Session::SendLive() {
  writing_ = true;
  asio::async_write(socket_, asio::buffer(out_),
                    [self = shared_from_this()](error_code error, std::size_t) {
                      self->writing_ = false;
                      if (error) {
                        self->Close();
                        return;
                      }
                      self->wroteSinceTick_ = true;
                      self->Pump();
                    });
}

}  // namespace

std::unique_ptr<HttpServer> StartHttpServer(const HttpServerOptions& options, web::Handler handler,
                                            web::EventHub& hub, std::string& error) {
  auto server = std::make_unique<Server>(options, std::move(handler), hub);
  if (!server->Listen(error)) {
    return nullptr;
  }
  return server;
}

}  // namespace nimbrel::platform
