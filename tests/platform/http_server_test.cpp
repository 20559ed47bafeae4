// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/http_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <string>
#include <vector>

namespace nimbrel::platform {
namespace {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

constexpr char kPacked[] =
    "\x1f\x8b\x08\x08\x00\x00\x00\x00\x02\xff\x77\x2e\x74\x78\x74\x00\xab\x56\x2a\x48\x4c\xce"
    "\x4e\x4d\x51\xb2\x52\x2a\xcf\x2f\x4a\x29\x56\xaa\xad\x26\x42\x04\x00\x00\x04\x6b\xa8\x36"
    "\x00\x00\x00";

web::Response Echo(const web::Request& request) {
  if (request.path == "/throw") {
    throw std::runtime_error("boom");
  }
  web::Response response;
  response.body = "{\"path\":\"" + request.path + "\",\"query\":\"" + request.query +
                  "\",\"gzip\":" + (request.acceptsGzip ? "true" : "false") + "}";
  if (request.path == "/packed") {  // {"packed":"words"} three times, gzip with a file name
    response.body = std::string(kPacked, sizeof kPacked - 1);
    response.gzipped = true;
  }
  response.gzipped |= request.path == "/damaged";
  response.headers.push_back({"Cache-Control", "no-cache"});
  response.headers.push_back({"X-Split", "a\r\nSet-Cookie: b"});
  return response;
}

class Client {
 public:
  Client(std::uint16_t port, const std::string& address = "127.0.0.1") : socket_(io_) {
    socket_.connect(tcp::endpoint(asio::ip::make_address(address), port));
  }
  void Send(const std::string& text) { asio::write(socket_, asio::buffer(text)); }
  // Everything until the server closes.
  std::string ReadAll() {
    std::string text;
    boost::system::error_code error;
    asio::read(socket_, asio::dynamic_buffer(text), error);
    return text;
  }
  // Reads until `wanted` has arrived (or the server closed); true when it did.
  bool ReadUntil(const std::string& wanted) {
    std::array<char, 4096> chunk{};
    while (received_.find(wanted) == std::string::npos) {
      boost::system::error_code error;
      const std::size_t n = socket_.read_some(asio::buffer(chunk), error);
      if (error) {
        return false;
      }
      received_.append(chunk.data(), n);
    }
    return true;
  }
  // Sends a GET for `target` and reads until `wanted`.
  bool Get(const std::string& target, const std::string& wanted) {
    Send("GET " + target + " HTTP/1.1\r\n\r\n");
    return ReadUntil(wanted);
  }
  const std::string& Received() const { return received_; }
  void Forget() { received_.clear(); }

 private:
  asio::io_context io_;
  tcp::socket socket_;
  std::string received_;
};

class HttpServerTest : public ::testing::Test {
 protected:
  void Start(HttpServerOptions options = {}) {
    std::string error;
    server_ = StartHttpServer(options, Echo, hub_, error);
    ASSERT_NE(server_, nullptr) << error;
  }
  std::string Exchange(const std::string& request) {
    Client client(server_->Port());
    client.Send(request);
    return client.ReadAll();
  }

  web::EventHub hub_;
  std::unique_ptr<HttpServer> server_;
};

TEST_F(HttpServerTest, AnswersEachKindOfRequestWithItsStatus) {
  HttpServerOptions options;
  options.requestTimeout = std::chrono::milliseconds(300);
  Start(options);
  const std::string end = "Connection: close\r\n\r\n";
  struct Case {
    std::string request;
    std::string status;
    std::string inBody;
  } cases[] = {
      {"GET /a%20b?x=1&y=%C3 HTTP/1.1\r\nHost: h\r\nAccept-Encoding: br, gzip\r\n" + end,
       "HTTP/1.1 200 OK", R"({"path":"/a%20b","query":"x=1&y=%C3","gzip":true})"},
      {"GET / HTTP/1.1\r\nAccept-Encoding: gzip;q=0, deflate\r\n" + end, "HTTP/1.1 200 OK",
       R"("gzip":false)"},
      {"GET /packed HTTP/1.1\r\nAccept-Encoding: gzip\r\n" + end, "HTTP/1.1 200 OK",
       "Content-Encoding: gzip"},
      // A client without gzip gets the bytes unpacked; a damaged stream is the server's fault.
      {"GET /packed HTTP/1.0\r\n\r\n", "HTTP/1.1 200 OK",
       "\r\n\r\n{\"packed\":\"words\"}{\"packed\":\"words\"}{\"packed\":\"words\"}"},
      {"GET /damaged HTTP/1.1\r\n" + end, "HTTP/1.1 500", R"({"error":)"},
      {"GET /throw HTTP/1.1\r\n" + end, "HTTP/1.1 500", R"({"error":)"},
      {"POST / HTTP/1.1\r\nContent-Length: 0\r\n" + end, "HTTP/1.1 405", "Allow: GET, HEAD"},
      {"DELETE /x HTTP/1.1\r\n" + end, "HTTP/1.1 405", R"({"error":)"},
      {"GET /" + std::string(3000, 'a') + " HTTP/1.1\r\n" + end, "HTTP/1.1 414", R"({"error":)"},
      {"GET /" + std::string(9000, 'a') + " HTTP/1.1\r\n" + end, "HTTP/1.1 414", R"({"error":)"},
      {"GET / HTTP/1.1\r\nX-Big: " + std::string(9000, 'h') + "\r\n" + end, "HTTP/1.1 431",
       R"({"error":)"},
      {"GET / HTTP/1.1\r\nContent-Length: 5\r\n" + end + "hello", "HTTP/1.1 413", R"({"error":)"},
      {"HELLO\r\n\r\n", "HTTP/1.1 400", R"({"error":)"},
      {"GET / HTTP/1.1\r\nHost: never-finished", "HTTP/1.1 408", R"({"error":)"},
      {"", "HTTP/1.1 408", R"({"error":)"},
  };
  for (const Case& c : cases) {
    const std::string answer = Exchange(c.request);
    SCOPED_TRACE(c.request.substr(0, 60));
    EXPECT_EQ(answer.rfind(c.status, 0), 0u) << answer.substr(0, 200);
    EXPECT_NE(answer.find(c.inBody), std::string::npos) << answer.substr(0, 400);
    EXPECT_NE(answer.find("Content-Security-Policy: default-src 'self'\r\n"), std::string::npos);
    EXPECT_NE(answer.find("X-Content-Type-Options: nosniff\r\n"), std::string::npos);
    EXPECT_NE(answer.find("Referrer-Policy: no-referrer\r\n"), std::string::npos);
    EXPECT_EQ(answer.find("Set-Cookie"), std::string::npos);
  }
  // HEAD: the headers of the GET, without the body.
  const std::string head = Exchange("HEAD /h HTTP/1.1\r\n" + end);
  EXPECT_EQ(head.rfind("HTTP/1.1 200 OK", 0), 0u);
  EXPECT_NE(head.find("Content-Length: 37\r\n"), std::string::npos) << head;
  EXPECT_EQ(head.substr(head.size() - 4), "\r\n\r\n");
}

TEST_F(HttpServerTest, KeepsAConnectionForSeveralRequests) {
  Start();
  Client client(server_->Port());
  client.Send("GET /one HTTP/1.1\r\n\r\nGET /two HTTP/1.1\r\n\r\n");
  EXPECT_TRUE(client.ReadUntil(R"("path":"/two")"));
  EXPECT_NE(client.Received().find(R"("path":"/one")"), std::string::npos);
}

TEST_F(HttpServerTest, StreamsPublishedEventsToEveryLiveClient) {
  hub_.Publish("current", R"({"n":1})");
  Start();
  std::vector<std::unique_ptr<Client>> clients;
  for (int i = 0; i < 3; ++i) {
    clients.push_back(std::make_unique<Client>(server_->Port()));
    clients.back()->Send("GET /api/v1/events?x=1 HTTP/1.1\r\nHost: h\r\n\r\n");
    // Each starts from the newest event.
    ASSERT_TRUE(clients.back()->ReadUntil("data: {\"n\":1}\n\n"));
  }
  EXPECT_EQ(clients[0]->Received().rfind("HTTP/1.1 200 OK", 0), 0u);
  EXPECT_NE(clients[0]->Received().find("Content-Type: text/event-stream\r\n"), std::string::npos);
  hub_.Publish("current", R"({"n":2})");
  hub_.Publish("state", R"({"n":3})");
  for (const auto& client : clients) {
    ASSERT_TRUE(client->ReadUntil("event: state\ndata: {\"n\":3}\n\n"));
    EXPECT_NE(client->Received().find("data: {\"n\":2}\n\n"), std::string::npos);
  }
  // A client that went away is forgotten; the others go on.
  clients.pop_back();
  hub_.Publish("current", R"({"n":4})");
  for (const auto& client : clients) {
    ASSERT_TRUE(client->ReadUntil("data: {\"n\":4}\n\n"));
  }
}

TEST_F(HttpServerTest, AClientThatReadsNothingHoldsUpNoOther) {
  Start();
  Client stalled(server_->Port());
  Client reader(server_->Port());
  ASSERT_TRUE(stalled.Get("/api/v1/events", "retry:"));
  ASSERT_TRUE(reader.Get("/api/v1/events", "retry:"));
  // Far more than the socket buffers hold: the stalled client's writes stop, the reader's go on.
  const std::string filler(100'000, 'f');
  for (int i = 0; i < 200; ++i) {
    hub_.Publish("current", "{\"f\":\"" + filler + "\"}");
    ASSERT_TRUE(reader.ReadUntil(filler + "\"}\n\n"));
    reader.Forget();
  }
  hub_.Publish("current", R"({"last":1})");
  EXPECT_TRUE(reader.ReadUntil(R"({"last":1})"));
}

TEST_F(HttpServerTest, RefusesClientsBeyondItsLimits) {
  // Each limit on a server of its own: a refused connection is closed when its client has gone.
  struct Case {
    std::size_t liveClients;
    std::size_t connections;
    std::string heldTarget;
    std::string refused;
  } cases[] = {
      {1, 10, "/api/v1/events", "too many live clients"},
      {10, 1, "/idle", "too many connections"},
  };
  for (const Case& c : cases) {
    HttpServerOptions options;
    options.maxLiveClients = c.liveClients;
    options.maxConnections = c.connections;
    Start(options);
    Client held(server_->Port());
    ASSERT_TRUE(held.Get(c.heldTarget, "\r\n\r\n"));
    const std::string answer = Exchange("GET /api/v1/events HTTP/1.1\r\n\r\n");
    EXPECT_EQ(answer.rfind("HTTP/1.1 503", 0), 0u) << answer;
    EXPECT_NE(answer.find(c.refused), std::string::npos) << answer;
  }
}

TEST_F(HttpServerTest, SaysWhyItCannotListen) {
  Start();
  struct Case {
    std::string address;
    std::uint16_t port;
    std::string message;
  } cases[] = {
      {"127.0.0.1", server_->Port(), "already in use"},
      {"localhost", 0, "is not an IP address"},
      {"192.0.2.1", 0, "is not an address of this computer"},
  };
  for (const Case& c : cases) {
    HttpServerOptions options;
    options.address = c.address;
    options.port = c.port;
    std::string error;
    EXPECT_EQ(StartHttpServer(options, Echo, hub_, error), nullptr);
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
  }
}

TEST_F(HttpServerTest, ServesOnIpv6AndStopsWithClientsConnected) {
  HttpServerOptions options;
  options.address = "::1";
  std::string error;
  server_ = StartHttpServer(options, Echo, hub_, error);
  if (server_ == nullptr) {
    GTEST_SKIP() << "no IPv6 here: " << error;
  }
  Client live(server_->Port(), "::1");
  ASSERT_TRUE(live.Get("/api/v1/events", "retry:"));
  server_->Stop();
  EXPECT_FALSE(live.ReadUntil("never sent"));
  hub_.Publish("current", "{}");  // no server left to wake
}

}  // namespace
}  // namespace nimbrel::platform
