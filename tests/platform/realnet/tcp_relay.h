// SPDX-License-Identifier: GPL-3.0-or-later
// A TCP listener on 127.0.0.1 that plays a host for the real backend: a
// relay to another port that counts the SMB messages the client sends and
// may hold each chunk back for a delay, or a host that stays silent, answers
// garbage, or starts a reply that never ends.
#ifndef VELMORA_TESTS_REALNET_TCP_RELAY_H
#define VELMORA_TESTS_REALNET_TCP_RELAY_H

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TcpRelay {
 public:
  enum class Mode { kForward, kSilent, kGarbage, kEndless };

  explicit TcpRelay(Mode mode, unsigned target_port = 0, std::chrono::milliseconds delay = {})
      : mode_(mode), target_port_(target_port), delay_(delay) {
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr *>(&address), length) == 0 && listen(listener_, 16) == 0 &&
        getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &length) == 0)
      port_ = ntohs(address.sin_port);
    accepting_ = std::thread([this] { Accept(); });
  }

  ~TcpRelay() {
    stop_ = true;
    accepting_.join();
    std::lock_guard<std::mutex> guard(lock_);  // no connection comes now
    for (int fd : sockets_) shutdown(fd, SHUT_RDWR);
    for (std::thread &thread : threads_) thread.join();
    for (int fd : sockets_) close(fd);
    close(listener_);
  }

  unsigned port() const { return port_; }
  // SMB messages the client has sent through the relay.
  unsigned long Messages() const { return messages_; }

 private:
  static sockaddr_in Loopback(unsigned port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
  }

  void Accept() {
    while (!stop_) {
      pollfd ready{listener_, POLLIN, 0};
      if (poll(&ready, 1, 50) <= 0) continue;
      const int client = accept(listener_, nullptr, nullptr);
      if (client < 0) continue;
      std::lock_guard<std::mutex> guard(lock_);
      sockets_.push_back(client);
      if (mode_ != Mode::kForward) {
        threads_.emplace_back([this, client] { Misbehave(client); });
        continue;
      }
      const int server = socket(AF_INET, SOCK_STREAM, 0);
      sockets_.push_back(server);
      sockaddr_in address = Loopback(target_port_);
      if (connect(server, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) continue;
      threads_.emplace_back([this, client, server] { Pump(client, server, true); });
      threads_.emplace_back([this, client, server] { Pump(server, client, false); });
    }
  }

  void Misbehave(int client) {
    char buffer[4096];
    if (recv(client, buffer, sizeof buffer, 0) <= 0) return;
    if (mode_ == Mode::kGarbage) {
      const std::string garbage(4096, '\xA5');
      send(client, garbage.data(), garbage.size(), MSG_NOSIGNAL);
    }
    if (mode_ == Mode::kEndless) {
      // A message header that announces 16 MB, then a byte now and then.
      send(client, "\0\xFF\xFF\xFF", 4, MSG_NOSIGNAL);
      while (!stop_ && send(client, "\xFE", 1, MSG_NOSIGNAL) == 1)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    while (!stop_ && recv(client, buffer, sizeof buffer, 0) > 0) {
    }
  }

  // Copies one direction, each chunk `delay_` after it arrived; counts the
  // client's SMB messages by their 4-byte session headers.
  void Pump(int from, int to, bool count) {
    size_t header_seen = 0, body_left = 0;
    unsigned char header[4];
    char buffer[65536];
    for (ssize_t n; (n = recv(from, buffer, sizeof buffer, 0)) > 0;) {
      for (ssize_t i = 0; count && i < n;) {
        if (body_left > 0) {
          const size_t take = std::min(body_left, static_cast<size_t>(n - i));
          body_left -= take;
          i += take;
        } else if ((header[header_seen++] = static_cast<unsigned char>(buffer[i++])), header_seen == 4) {
          header_seen = 0;
          body_left = (size_t{header[1]} << 16) | (size_t{header[2]} << 8) | header[3];
          ++messages_;
        }
      }
      std::this_thread::sleep_for(delay_);
      send(to, buffer, n, MSG_NOSIGNAL);
    }
    shutdown(to, SHUT_WR);
  }

  const Mode mode_;
  const unsigned target_port_;
  const std::chrono::milliseconds delay_;
  int listener_ = socket(AF_INET, SOCK_STREAM, 0);
  unsigned port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<unsigned long> messages_{0};
  std::mutex lock_;
  std::vector<int> sockets_;
  std::deque<std::thread> threads_;
  std::thread accepting_;
};

#endif
