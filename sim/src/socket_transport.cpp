#include "socket_transport.h"

#include <sys/socket.h>

#include <cerrno>

#include "scpi_session.h"

namespace zta_sim {

namespace {

class SocketReplySink final : public ReplySink {
 public:
  SocketReplySink(int fd, StopSignal& stop) : fd_(fd), stop_(stop) {}

  void Deliver(const Reply& reply) override {
    if (closed_) return;
    switch (reply.action) {
      case Reply::Action::Stall:
        break;  // the session answers nothing more; reads go on so a close is seen
      case Reply::Action::Drop:
        shutdown(fd_, SHUT_RDWR);
        closed_ = true;
        break;
      case Reply::Action::Send: {
        const std::string_view head = reply.bytes.substr(0, reply.head);
        const std::string_view tail = reply.bytes.substr(head.size());
        closed_ = !Pause(reply.delay) || !SendAll(fd_, head) ||
                  (!tail.empty() && (!Pause(reply.tailDelay) || !SendAll(fd_, tail)));
        break;
      }
      case Reply::Action::Trickle:
        // Until the client goes away (or the emulator stops): nothing else
        // is read from this connection meanwhile.
        closed_ = !Pause(reply.delay);
        while (!closed_) closed_ = !SendAll(fd_, reply.bytes) || !Pause(reply.tailDelay);
        break;
    }
  }

  bool closed() const { return closed_; }

 private:
  bool Pause(std::chrono::milliseconds delay) { return delay.count() <= 0 || stop_.SleepFor(delay); }

  int fd_;
  StopSignal& stop_;
  bool closed_ = false;
};

}  // namespace

SocketTransport::SocketTransport(const TransportContext& context, std::uint16_t port)
    : context_(context), port_(port), acceptor_([this](int fd) { Serve(fd); }, 32, context.idleTimeout) {}

void SocketTransport::Start() {
  port_ = acceptor_.Listen(context_.address, port_);
  acceptor_.Start();
}

void SocketTransport::Stop() { acceptor_.Stop(); }

void SocketTransport::Describe(Endpoints& endpoints) const { endpoints.socketPort = port_; }

void SocketTransport::Serve(int fd) {
  ScpiSession session(context_.instrument, context_.faults);
  SocketReplySink sink(fd, context_.stop);
  char buffer[16 * 1024];
  while (!sink.closed()) {
    const ssize_t received = recv(fd, buffer, sizeof buffer, 0);
    if (received < 0 && errno == EINTR) continue;
    if (received <= 0) break;
    session.Feed({buffer, static_cast<std::size_t>(received)}, false, sink);
  }
}

}  // namespace zta_sim
