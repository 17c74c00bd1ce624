#include "serial_pty_transport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

#include "scpi_session.h"

namespace zta_sim {

namespace {

[[noreturn]] void ThrowErrno(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

// Waits until `fd` is ready for `events` or the wake descriptor fires;
// false on wake-up or error.
bool WaitReady(int fd, short events, int wake) {
  pollfd fds[2] = {{fd, events, 0}, {wake, POLLIN, 0}};
  while (true) {
    const int ready = poll(fds, 2, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || (fds[1].revents & POLLIN) != 0) return false;
    if ((fds[0].revents & (events | POLLHUP | POLLERR)) != 0) return true;
  }
}

class PtyReplySink final : public ReplySink {
 public:
  PtyReplySink(int master, int wake, StopSignal& stop) : master_(master), wake_(wake), stop_(stop) {}

  // A serial line cannot be dropped: a Drop fault loses the reply, as a
  // Stall does, and the line goes on.
  void Deliver(const Reply& reply) override {
    if (reply.action != Reply::Action::Send) return;
    if (reply.delay.count() > 0 && !stop_.SleepFor(reply.delay)) return;
    std::string_view bytes = reply.bytes;
    while (!bytes.empty()) {
      const ssize_t written = write(master_, bytes.data(), bytes.size());
      if (written > 0) {
        bytes.remove_prefix(static_cast<std::size_t>(written));
      } else if (written < 0 && errno != EAGAIN && errno != EINTR) {
        return;
      } else if (!WaitReady(master_, POLLOUT, wake_)) {
        return;
      }
    }
  }

 private:
  int master_;
  int wake_;
  StopSignal& stop_;
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
    PtyReplySink sink(master_, wake_, context_.stop);
    char buffer[4096];
    while (WaitReady(master_, POLLIN, wake_)) {
      const ssize_t received = read(master_, buffer, sizeof buffer);
      if (received > 0) {
        session.Feed({buffer, static_cast<std::size_t>(received)}, false, sink);
      } else if (received == 0 || (errno != EAGAIN && errno != EINTR)) {
        break;
      }
    }
  } catch (...) {
    // Out of memory: the serial line goes quiet rather than take the process down.
  }
}

}  // namespace zta_sim
