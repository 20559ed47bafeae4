// SPDX-License-Identifier: GPL-3.0-or-later
// The web server under load: a live reading reaching 200 open event streams, and many clients
// at once asking for a series-sized answer.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/http_server.h"

namespace {

using nimbrel::platform::HttpServer;
using nimbrel::web::EventHub;

int Connect(std::uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    throw std::runtime_error("cannot connect");
  }
  return fd;
}

void SendAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t sent = send(fd, text.data(), text.size(), MSG_NOSIGNAL);
    if (sent <= 0) {
      throw std::runtime_error("cannot send");
    }
    text.remove_prefix(static_cast<std::size_t>(sent));
  }
}

// Reads each client until its text holds `wanted`; all of them, polled together.
void AwaitAll(std::vector<pollfd>& clients, std::vector<std::string>& texts,
              std::string_view wanted) {
  std::vector<bool> done(clients.size(), false);
  std::size_t left = clients.size();
  std::vector<char> chunk(1 << 16);
  while (left > 0) {
    if (poll(clients.data(), clients.size(), 10'000) <= 0) {
      throw std::runtime_error("a live client got nothing");
    }
    for (std::size_t i = 0; i < clients.size(); ++i) {
      if ((clients[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
        continue;
      }
      const ssize_t n = recv(clients[i].fd, chunk.data(), chunk.size(), 0);
      if (n <= 0) {
        throw std::runtime_error("a live client was closed");
      }
      texts[i].append(chunk.data(), static_cast<std::size_t>(n));
      if (!done[i] && texts[i].find(wanted) != std::string::npos) {
        done[i] = true;
        --left;
        texts[i].clear();
      }
    }
  }
}

std::unique_ptr<HttpServer> Start(EventHub& hub, const std::string& body) {
  nimbrel::platform::HttpServerOptions options;
  options.maxLiveClients = 1000;
  options.maxConnections = 2000;
  std::string error;
  auto server = nimbrel::platform::StartHttpServer(
      options,
      [&body](const nimbrel::web::Request&) {
        nimbrel::web::Response response;
        response.body = body;
        return response;
      },
      hub, error);
  if (!server) {
    throw std::runtime_error(error);
  }
  return server;
}

// From Publish to the last of N live clients having the event (a ~1 KB state object). The
// server's memory for them is measured from outside, by scripts/http-load.py.
void BM_LiveEventToClients(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  EventHub hub;
  hub.Publish("current", "{\"n\":0}");
  auto server = Start(hub, "");
  std::vector<pollfd> clients;
  std::vector<std::string> texts(count);
  for (std::size_t i = 0; i < count; ++i) {
    clients.push_back({Connect(server->Port()), POLLIN, 0});
    SendAll(clients.back().fd, "GET /api/v1/events HTTP/1.1\r\nHost: b\r\n\r\n");
  }
  AwaitAll(clients, texts, "data: {\"n\":0}\n\n");
  const std::string pad(900, 'x');
  int n = 0;
  for (auto _ : state) {
    const std::string data = "{\"n\":" + std::to_string(++n) + ",\"pad\":\"" + pad + "\"}";
    hub.Publish("current", data);
    AwaitAll(clients, texts, data + "\n\n");
  }
  for (const pollfd& client : clients) {
    close(client.fd);
  }
}
BENCHMARK(BM_LiveEventToClients)->Arg(200)->Unit(benchmark::kMillisecond)->UseRealTime();

// 1,000 requests for a 60 KB answer from 20 clients at once, a connection each; counts failures.
void BM_ManyClientsAtOnce(benchmark::State& state) {
  std::string body = "{\"series\":[";
  while (body.size() < 60'000) {
    body += "[\"2025-01-02T00:00\",12.5,13.1,11.9,14.2],";
  }
  body += "[]]}";
  EventHub hub;
  auto server = Start(hub, body);
  std::atomic<int> failed{0};
  for (auto _ : state) {
    std::vector<std::thread> clients;
    for (int c = 0; c < 20; ++c) {
      clients.emplace_back([&] {
        std::vector<char> chunk(1 << 16);
        for (int r = 0; r < 50; ++r) {
          const int fd = Connect(server->Port());
          SendAll(fd, "GET /series HTTP/1.1\r\nConnection: close\r\n\r\n");
          std::size_t total = 0;
          for (ssize_t n; (n = recv(fd, chunk.data(), chunk.size(), 0)) > 0;) {
            total += static_cast<std::size_t>(n);
          }
          close(fd);
          if (total < body.size()) {
            ++failed;
          }
        }
      });
    }
    for (std::thread& client : clients) {
      client.join();
    }
  }
  state.counters["failed"] = failed.load();
}
BENCHMARK(BM_ManyClientsAtOnce)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
