#include "visa/socket_io.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "visa/failure_detail.h"

namespace hvzelta::visa {
namespace {

struct AddressList {
  addrinfo* head = nullptr;
  AddressList() = default;
  AddressList(const AddressList&) = delete;
  AddressList& operator=(const AddressList&) = delete;
  ~AddressList() {
    if (head) freeaddrinfo(head);
  }
};

// getaddrinfo has no timeout of its own, so a name (as opposed to a numeric
// address) is resolved on a helper thread that the caller stops waiting for
// at the deadline; the thread finishes on its own and frees what it found.
struct PendingResolution {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  AddressList addresses;
};

bool Resolve(const std::string& host, std::uint16_t port, const Deadline& deadline, AddressList& out) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV | AI_NUMERICHOST;
  const std::string service = std::to_string(port);
  if (getaddrinfo(host.c_str(), service.c_str(), &hints, &out.head) == 0) return true;
  out.head = nullptr;

  auto pending = std::make_shared<PendingResolution>();
  try {
    std::thread([pending, host, service] {
      addrinfo nameHints{};
      nameHints.ai_family = AF_UNSPEC;
      nameHints.ai_socktype = SOCK_STREAM;
      nameHints.ai_flags = AI_NUMERICSERV;
      addrinfo* found = nullptr;
      if (getaddrinfo(host.c_str(), service.c_str(), &nameHints, &found) != 0) found = nullptr;
      std::lock_guard lock(pending->mutex);
      pending->addresses.head = found;
      pending->finished = true;
      pending->done.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    return false;
  }
  std::unique_lock lock(pending->mutex);
  auto finished = [&] { return pending->finished; };
  if (deadline.Infinite()) {
    pending->done.wait(lock, finished);
  } else if (!pending->done.wait_for(lock, std::chrono::milliseconds(deadline.PollTimeout()), finished)) {
    return false;
  }
  std::swap(out.head, pending->addresses.head);
  return out.head != nullptr;
}

// 0 once connected, else the error number of the failure (ETIMEDOUT when
// the deadline passed first).
int ConnectOne(const addrinfo& address, const Deadline& deadline, UniqueFd& socket) {
  UniqueFd fd(::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol));
  if (!fd.Valid()) return errno;
  if (::connect(fd.Get(), address.ai_addr, address.ai_addrlen) != 0) {
    if (errno != EINPROGRESS) return errno;
    pollfd waiter{fd.Get(), POLLOUT, 0};
    int ready;
    do {
      ready = ::poll(&waiter, 1, deadline.PollTimeout());
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) return errno;
    if (ready == 0) return ETIMEDOUT;
    // Only a failed connection has an error to ask for.
    if (waiter.revents & (POLLERR | POLLHUP)) {
      int error = 0;
      socklen_t length = sizeof error;
      if (::getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
      if (error != 0) return error;
    }
  }
  // Blocking from here on (see socket_input.h); the other flags of a socket
  // fresh from socket() are all clear.
  if (::fcntl(fd.Get(), F_SETFL, 0) != 0) return errno;
  SetSocketFlag(fd.Get(), IPPROTO_TCP, TCP_NODELAY, true);
  socket = std::move(fd);
  return 0;
}

// The failure to connect to `where` in a user's words.
std::string DescribeConnectFailure(int error, const std::string& where, const Deadline& deadline) {
  switch (error) {
    case ECONNREFUSED:
      return "connection refused by " + where;
    case ETIMEDOUT: {
      const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline.Length()).count();
      return "no answer from " + where + " within " + std::to_string(ms) + " ms";
    }
    default:
      return "could not connect to " + where + ": " + std::strerror(error);
  }
}

ViStatus StatusFromErrno(int error) {
  switch (error) {
    case ECONNRESET:
    case EPIPE:
    case ENOTCONN:
    case ETIMEDOUT:
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ECONNABORTED:
      return VI_ERROR_CONN_LOST;
    case ENOMEM:
    case ENOBUFS:
      return VI_ERROR_ALLOC;
    default:
      return VI_ERROR_IO;
  }
}

// Waits until `fd` is ready for `events` or the deadline passes.
ViStatus WaitReady(int fd, short events, const Deadline& deadline) {
  pollfd waiter{fd, events, 0};
  for (;;) {
    int ready = ::poll(&waiter, 1, deadline.PollTimeout());
    if (ready > 0) return VI_SUCCESS;
    if (ready == 0) return VI_ERROR_TMO;
    if (errno != EINTR) return StatusFromErrno(errno);
  }
}

}  // namespace

ViStatus ConnectTcp(const std::string& host, std::uint16_t port, const Deadline& deadline, UniqueFd& socket) {
  const std::string where =
      (host.find(':') == std::string::npos ? host : "[" + host + "]") + ":" + std::to_string(port);
  AddressList addresses;
  if (!Resolve(host, port, deadline, addresses)) {
    NoteFailureDetail("the host name '" + host + "' could not be resolved");
    return VI_ERROR_RSRC_NFOUND;
  }
  int error = ETIMEDOUT;
  for (const addrinfo* address = addresses.head; address; address = address->ai_next) {
    if (deadline.Expired()) break;
    error = ConnectOne(*address, deadline, socket);
    if (error == 0) return VI_SUCCESS;
  }
  NoteFailureDetail(DescribeConnectFailure(error, where, deadline));
  return VI_ERROR_RSRC_NFOUND;
}

ViStatus SendAll(int fd, const iovec* pieces, int count, const Deadline& deadline, std::size_t* sent) {
  constexpr int kMaxPieces = 8;
  std::size_t total = 0;
  if (sent) *sent = 0;
  if (count > kMaxPieces) return VI_ERROR_INV_PARAMETER;
  iovec pending[kMaxPieces];
  std::memcpy(pending, pieces, sizeof(iovec) * static_cast<std::size_t>(count));
  iovec* next = pending;
  int remaining = count;
  while (remaining > 0) {
    if (next->iov_len == 0) {
      ++next;
      --remaining;
      continue;
    }
    msghdr message{};
    message.msg_iov = next;
    message.msg_iovlen = static_cast<std::size_t>(remaining);
    ssize_t done = ::sendmsg(fd, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (done < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) return StatusFromErrno(errno);
      if (ViStatus waited = WaitReady(fd, POLLOUT, deadline); waited != VI_SUCCESS) return waited;
      continue;
    }
    auto left = static_cast<std::size_t>(done);
    total += left;
    if (sent) *sent = total;
    while (remaining > 0 && left >= next->iov_len) {
      left -= next->iov_len;
      ++next;
      --remaining;
    }
    if (remaining > 0) {
      next->iov_base = static_cast<char*>(next->iov_base) + left;
      next->iov_len -= left;
    }
  }
  return VI_SUCCESS;
}

// One piece goes through send(), which spares the kernel copying a message
// header and an iovec from user space on every command.
ViStatus SendAll(int fd, const void* data, std::size_t size, const Deadline& deadline, std::size_t* sent) {
  const auto* next = static_cast<const unsigned char*>(data);
  std::size_t left = size;
  if (sent) *sent = 0;
  while (left > 0) {
    ssize_t done = ::send(fd, next, left, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (done < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) return StatusFromErrno(errno);
      if (ViStatus waited = WaitReady(fd, POLLOUT, deadline); waited != VI_SUCCESS) return waited;
      continue;
    }
    next += done;
    left -= static_cast<std::size_t>(done);
    if (sent) *sent = size - left;
  }
  return VI_SUCCESS;
}

ViStatus ReceiveSome(int fd, void* buffer, std::size_t capacity, const Deadline& deadline, std::size_t& received,
                     bool waitFirst) {
  received = 0;
  if (waitFirst) {
    if (ViStatus waited = WaitReady(fd, POLLIN, deadline); waited != VI_SUCCESS) return waited;
  }
  for (;;) {
    ssize_t got = ::recv(fd, buffer, capacity, MSG_DONTWAIT);
    if (got > 0) {
      received = static_cast<std::size_t>(got);
      return VI_SUCCESS;
    }
    if (got == 0) return VI_ERROR_CONN_LOST;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return StatusFromErrno(errno);
    if (ViStatus waited = WaitReady(fd, POLLIN, deadline); waited != VI_SUCCESS) return waited;
  }
}

bool SetReceiveTimeout(int fd, std::chrono::milliseconds timeout) {
  const timeval limit{static_cast<time_t>(timeout.count() / 1000), static_cast<suseconds_t>(timeout.count() % 1000 * 1000)};
  return ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) == 0;
}

ViStatus ReceiveBlocking(int fd, void* buffer, std::size_t capacity, std::size_t& received) {
  received = 0;
  const ssize_t got = ::recv(fd, buffer, capacity, 0);
  if (got > 0) {
    received = static_cast<std::size_t>(got);
    return VI_SUCCESS;
  }
  if (got == 0) return VI_ERROR_CONN_LOST;
  if (errno == EAGAIN || errno == EWOULDBLOCK) return VI_ERROR_TMO;
  if (errno == EINTR) return VI_SUCCESS;
  return StatusFromErrno(errno);
}

ViStatus ReceiveExact(int fd, void* buffer, std::size_t size, const Deadline& deadline) {
  auto* at = static_cast<unsigned char*>(buffer);
  while (size > 0) {
    std::size_t got = 0;
    if (ViStatus status = ReceiveSome(fd, at, size, deadline, got); status != VI_SUCCESS) return status;
    at += got;
    size -= got;
  }
  return VI_SUCCESS;
}

void DiscardArrivedInput(int fd) {
  unsigned char scratch[4096];
  // Bounded: input that keeps streaming in is left for the reads to come.
  for (int rounds = 0; rounds < 256; ++rounds) {
    ssize_t got = ::recv(fd, scratch, sizeof scratch, MSG_DONTWAIT);
    if (got <= 0 && !(got < 0 && errno == EINTR)) return;
  }
}

ViStatus SetSocketFlag(int fd, int level, int option, bool on) {
  int value = on ? 1 : 0;
  return ::setsockopt(fd, level, option, &value, sizeof value) == 0 ? VI_SUCCESS : VI_ERROR_IO;
}

void CopySocketFlags(int from, int to) {
  for (auto [level, option] : {std::pair<int, int>{IPPROTO_TCP, TCP_NODELAY}, std::pair<int, int>{SOL_SOCKET, SO_KEEPALIVE}}) {
    int value = 0;
    socklen_t length = sizeof value;
    if (::getsockopt(from, level, option, &value, &length) == 0) ::setsockopt(to, level, option, &value, sizeof value);
  }
}

}  // namespace hvzelta::visa
