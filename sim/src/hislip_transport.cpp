#include "hislip_transport.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <cerrno>

#include "hislip_channel.h"

namespace zta_sim {

namespace {

// Room for every session's two channels, so that the session limit, not
// the connection limit, turns the next client away, with a FatalError that
// says why.
constexpr std::size_t kMaxConnections = 2 * HislipServer::kMaxSessions + 4;

class SocketConnection final : public HislipConnection {
 public:
  explicit SocketConnection(int fd) : fd_(fd) {}

  bool Send(std::string_view header, std::string_view payload) override {
    iovec pieces[2] = {{const_cast<char*>(header.data()), header.size()},
                       {const_cast<char*>(payload.data()), payload.size()}};
    msghdr message{};
    message.msg_iov = pieces;
    message.msg_iovlen = 2;
    std::size_t left = header.size() + payload.size();
    while (left > 0) {
      const ssize_t sent = sendmsg(fd_, &message, MSG_NOSIGNAL);
      if (sent < 0 && errno == EINTR) continue;
      if (sent <= 0) return false;
      left -= static_cast<std::size_t>(sent);
      // Step over what went out, into the piece that did not go whole.
      std::size_t done = static_cast<std::size_t>(sent);
      while (message.msg_iovlen > 0 && done >= message.msg_iov->iov_len) {
        done -= message.msg_iov->iov_len;
        ++message.msg_iov;
        --message.msg_iovlen;
      }
      if (message.msg_iovlen > 0) {
        message.msg_iov->iov_base = static_cast<char*>(message.msg_iov->iov_base) + done;
        message.msg_iov->iov_len -= done;
      }
    }
    return true;
  }

  void Shutdown() override { shutdown(fd_, SHUT_RDWR); }

  std::size_t Unread() const override {
    int unread = 0;
    return ioctl(fd_, FIONREAD, &unread) == 0 && unread > 0 ? static_cast<std::size_t>(unread) : 0;
  }

 private:
  int fd_;
};

}  // namespace

HislipTransport::HislipTransport(const TransportContext& context, std::uint16_t port)
    : context_(context),
      port_(port),
      server_(context.instrument),
      acceptor_([this](int fd) { Serve(fd); }, kMaxConnections) {}

void HislipTransport::Start() {
  port_ = acceptor_.Listen(context_.address, port_);
  acceptor_.Start();
}

void HislipTransport::Stop() {
  server_.Stop();
  acceptor_.Stop();
}

void HislipTransport::Describe(Endpoints& endpoints) const { endpoints.hislipPort = port_; }

void HislipTransport::Serve(int fd) {
  SocketConnection connection(fd);
  HislipChannel channel(server_, connection, context_.instrument, context_.faults);
  char buffer[16 * 1024];
  bool open = true;
  while (open) {
    pollfd readable{fd, POLLIN, 0};
    const int ready = poll(&readable, 1, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) break;
    channel.SetBusy(true);
    ssize_t received = 0;
    do {
      received = recv(fd, buffer, sizeof buffer, 0);
    } while (received < 0 && errno == EINTR);
    open = received > 0 && channel.Feed({buffer, static_cast<std::size_t>(received)});
    channel.SetBusy(false);
  }
}

}  // namespace zta_sim
