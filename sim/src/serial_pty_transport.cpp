#include "serial_pty_transport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <string_view>
#include <utility>
#include <cstdint>
#include <system_error>

#include "scpi_session.h"

namespace zta_sim {

namespace {

[[noreturn]] void ThrowErrno(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

// Waits until `fd` is ready for `events`, the wake descriptor fires or
// `timeoutMs` passes (-1: no limit). 1 ready, 0 timed out, -1 woken or failed.
int WaitReady(int fd, short events, int wake, int timeoutMs = -1) {
  pollfd fds[2] = {{fd, events, 0}, {wake, POLLIN, 0}};
  while (true) {
    const int ready = poll(fds, 2, timeoutMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || (fds[1].revents & POLLIN) != 0) return -1;
    if (ready == 0) return 0;
    if ((fds[0].revents & (events | POLLHUP | POLLERR)) != 0) return 1;
  }
}

constexpr short kReadable = POLLIN | POLLPRI;

// Reads the master side and sends replies on it. Input that comes while a
// reply is held back is kept for later; a clear seen meanwhile ends the
// reply and drops the replies of the same input.
class PtyLine final : public ReplySink {
 public:
  PtyLine(int master, int wake) : master_(master), wake_(wake) {}

  // Takes what the master has: data is kept, a flush is a clear.
  void ReadPacket() {
    char buffer[4097];
    const ssize_t received = read(master_, buffer, sizeof buffer);
    if (received > 0) {
      if (buffer[0] == TIOCPKT_DATA) {
        input_.append(buffer + 1, static_cast<std::size_t>(received - 1));
      } else if ((buffer[0] & (TIOCPKT_FLUSHREAD | TIOCPKT_FLUSHWRITE)) != 0) {
        cleared_ = true;
        input_.clear();
      }
    } else if (received == 0 || (errno != EAGAIN && errno != EINTR)) {
      stopped_ = true;
    }
  }

  bool TakeClear() { return std::exchange(cleared_, false); }
  std::string TakeInput() { return std::exchange(input_, {}); }
  bool stopped() const { return stopped_; }

  // A serial line cannot be dropped: a Drop fault loses the reply, as a
  // Stall does, and the line goes on.
  void Deliver(const Reply& reply) override {
    if (cleared_ || stopped_) return;
    switch (reply.action) {
      case Reply::Action::Send: {
        const std::string_view head = reply.bytes.substr(0, reply.head);
        const std::string_view tail = reply.bytes.substr(head.size());
        if (Pause(reply.delay) && Write(head) && !tail.empty() && Pause(reply.tailDelay)) Write(tail);
        break;
      }
      case Reply::Action::Trickle:
        if (!Pause(reply.delay)) return;
        while (Write(reply.bytes) && Pause(reply.tailDelay)) {
        }
        break;
      case Reply::Action::Stall:
      case Reply::Action::Drop:
        break;
    }
  }

 private:
  // Waits while watching the line; false when a clear or Stop() ended it.
  bool Pause(std::chrono::milliseconds delay) {
    const auto until = std::chrono::steady_clock::now() + delay;
    while (!cleared_ && !stopped_) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
      if (left.count() <= 0) return true;
      const int ready = WaitReady(master_, kReadable, wake_, static_cast<int>(left.count()));
      if (ready < 0) stopped_ = true;
      if (ready > 0) ReadPacket();
    }
    return false;
  }

  // Writes as the line takes it; a clear seen meanwhile ends the reply.
  bool Write(std::string_view bytes) {
    while (!bytes.empty() && !cleared_ && !stopped_) {
      const ssize_t written = write(master_, bytes.data(), bytes.size());
      if (written > 0) {
        bytes.remove_prefix(static_cast<std::size_t>(written));
      } else if (written < 0 && errno != EAGAIN && errno != EINTR) {
        stopped_ = true;
      } else if (WaitReady(master_, POLLOUT | kReadable, wake_) <= 0) {
        stopped_ = true;
      } else {
        ReadPacket();
      }
    }
    return bytes.empty();
  }

  int master_;
  int wake_;
  std::string input_;
  bool cleared_ = false;
  bool stopped_ = false;
};

}  // namespace

SerialPtyTransport::SerialPtyTransport(const TransportContext& context) : context_(context) {}

SerialPtyTransport::~SerialPtyTransport() { Stop(); }

void SerialPtyTransport::Start() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) ThrowErrno("posix_openpt");
  if (grantpt(master_) != 0 || unlockpt(master_) != 0) ThrowErrno("unlockpt");
  char name[128];
  if (ptsname_r(master_, name, sizeof name) != 0) ThrowErrno("ptsname_r");
  path_ = name;
  // Holding the slave open keeps the master readable between clients; raw
  // mode keeps the line discipline from echoing or editing anything.
  slave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) ThrowErrno("open pty slave");
  termios mode{};
  if (tcgetattr(slave_, &mode) != 0) ThrowErrno("tcgetattr");
  cfmakeraw(&mode);
  if (tcsetattr(slave_, TCSANOW, &mode) != 0) ThrowErrno("tcsetattr");
  if (fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK) != 0) ThrowErrno("fcntl");
  const int packetMode = 1;
  if (ioctl(master_, TIOCPKT, &packetMode) != 0) ThrowErrno("TIOCPKT");
  wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake_ < 0) ThrowErrno("eventfd");
  thread_ = std::thread([this] { Serve(); });
}

void SerialPtyTransport::Stop() {
  if (thread_.joinable()) {
    const std::uint64_t one = 1;
    // Adding 1 to a fresh eventfd counter cannot fail.
    [[maybe_unused]] const ssize_t written = write(wake_, &one, sizeof one);
    thread_.join();
  }
  for (int* fd : {&master_, &slave_, &wake_}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
}

void SerialPtyTransport::Describe(Endpoints& endpoints) const { endpoints.serialPath = path_; }

void SerialPtyTransport::Serve() {
  try {
    ScpiSession session(context_.instrument, context_.faults);
    PtyLine line(master_, wake_);
    while (!line.stopped() && WaitReady(master_, kReadable, wake_) > 0) {
      line.ReadPacket();
      for (;;) {
        if (line.TakeClear()) session.Clear();
        const std::string input = line.TakeInput();
        if (input.empty() || line.stopped()) break;
        session.Feed(input, false, line);
      }
    }
  } catch (...) {
    // Out of memory: the serial line goes quiet rather than take the process down.
  }
}

}  // namespace zta_sim
