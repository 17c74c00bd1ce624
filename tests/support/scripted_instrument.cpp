#include "support/scripted_instrument.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <utility>

namespace hvzelta::testing {

namespace {

constexpr int kPollMs = 20;

bool WaitReadable(int fd, const std::atomic<bool>& stop) {
  while (!stop) {
    pollfd entry{fd, POLLIN, 0};
    const int ready = ::poll(&entry, 1, kPollMs);
    if (ready > 0) return true;
    if (ready < 0) return false;
  }
  return false;
}

}  // namespace

ScriptedInstrument::ScriptedInstrument() {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 4) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("scripted instrument: cannot listen on loopback");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

ScriptedInstrument::~ScriptedInstrument() {
  stop_ = true;
  thread_.join();
  ::close(listener_);
}

std::string ScriptedInstrument::Resource() const {
  return "TCPIP::127.0.0.1::" + std::to_string(port_) + "::SOCKET";
}

void ScriptedInstrument::Answer(const std::string& command, const std::string& reply) {
  std::lock_guard lock(mutex_);
  answers_[command] = reply;
}

void ScriptedInstrument::Silence(const std::string& command) {
  std::lock_guard lock(mutex_);
  silenced_.push_back(command);
}

std::vector<std::string> ScriptedInstrument::TakeReceived() {
  std::lock_guard lock(mutex_);
  return std::exchange(received_, {});
}

void ScriptedInstrument::Serve() {
  while (WaitReadable(listener_, stop_)) {
    const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    Handle(connection);
    ::close(connection);
  }
}

void ScriptedInstrument::Handle(int connection) {
  std::string pending;
  char chunk[4096];
  while (WaitReadable(connection, stop_)) {
    const ssize_t got = ::recv(connection, chunk, sizeof chunk, 0);
    if (got <= 0) return;
    pending.append(chunk, static_cast<std::size_t>(got));
    for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
      const std::string line = pending.substr(0, end);
      pending.erase(0, end + 1);
      std::optional<std::string> reply;
      {
        std::lock_guard lock(mutex_);
        received_.push_back(line);
        const auto answer = answers_.find(line);
        if (std::find(silenced_.begin(), silenced_.end(), line) == silenced_.end()) {
          if (answer != answers_.end()) {
            reply = answer->second + '\n';
          } else if (line.find('?') != std::string::npos) {
            reply = "0\n";
          }
        }
      }
      if (reply) ::send(connection, reply->data(), reply->size(), MSG_NOSIGNAL);
    }
  }
}

}  // namespace hvzelta::testing
