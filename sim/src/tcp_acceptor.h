#pragma once

// A listening TCP socket that hands each accepted connection to a handler
// running on a thread of its own. Stop() wakes every blocking call by
// shutting the sockets down, then joins; connections beyond the limit are
// closed at once. With an idle timeout, a receive on a connection that
// stays silent that long fails, and the handler ends the connection.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <thread>

namespace zta_sim {

class TcpAcceptor {
 public:
  using Handler = std::function<void(int fd)>;

  explicit TcpAcceptor(Handler handler, std::size_t maxConnections = 32,
                       std::chrono::milliseconds idleTimeout = std::chrono::milliseconds{0});
  ~TcpAcceptor();
  TcpAcceptor(const TcpAcceptor&) = delete;
  TcpAcceptor& operator=(const TcpAcceptor&) = delete;

  // Binds and listens; returns the port. Throws std::system_error.
  std::uint16_t Listen(const std::string& address, std::uint16_t port);
  void Start();
  void Stop();

 private:
  struct Connection {
    std::thread thread;
    int fd = -1;
    bool done = false;
  };

  void AcceptLoop();
  void Serve(std::list<Connection>::iterator connection);
  void JoinFinished();

  const Handler handler_;
  const std::size_t maxConnections_;
  const std::chrono::milliseconds idleTimeout_;
  int listenFd_ = -1;
  std::thread acceptThread_;
  std::mutex mutex_;
  std::list<Connection> connections_;
  bool stopping_ = false;
};

// Sends all of `bytes`; false when the connection failed.
bool SendAll(int fd, std::string_view bytes);

}  // namespace zta_sim
