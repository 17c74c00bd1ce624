#include "visa/serial_transport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>

#include "visa/failure_detail.h"

namespace hvzelta::visa {
namespace {

struct BaudRate {
  ViUInt32 rate;
  speed_t code;
};

constexpr BaudRate kBaudRates[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

const BaudRate* FindBaud(ViAttrState rate) {
  for (const auto& entry : kBaudRates)
    if (entry.rate == rate) return &entry;
  return nullptr;
}

bool IsBaud(ViAttrState value) { return FindBaud(value) != nullptr; }
bool IsDataBits(ViAttrState value) { return value >= 5 && value <= 8; }
bool IsParity(ViAttrState value) { return value <= VI_ASRL_PAR_SPACE; }
// termios has no one-and-a-half stop bits.
bool IsStopBits(ViAttrState value) { return value == VI_ASRL_STOP_ONE || value == VI_ASRL_STOP_TWO; }
// Nor DTR/DSR handshaking.
bool IsFlow(ViAttrState value) {
  return value == VI_ASRL_FLOW_NONE || value == VI_ASRL_FLOW_XON_XOFF || value == VI_ASRL_FLOW_RTS_CTS;
}
bool IsEndIn(ViAttrState value) { return value <= VI_ASRL_END_TERMCHAR; }
bool IsEndOut(ViAttrState value) {
  return value == VI_ASRL_END_NONE || value == VI_ASRL_END_TERMCHAR || value == VI_ASRL_END_BREAK;
}
bool IsLineState(ViAttrState value) {
  auto state = static_cast<ViInt16>(value);
  return state == VI_STATE_ASSERTED || state == VI_STATE_UNASSERTED;
}

constexpr AttributeRow kBaud{VI_ATTR_ASRL_BAUD, AttrType::U32, true, IsBaud};
constexpr AttributeRow kDataBits{VI_ATTR_ASRL_DATA_BITS, AttrType::U16, true, IsDataBits};
constexpr AttributeRow kParity{VI_ATTR_ASRL_PARITY, AttrType::U16, true, IsParity};
constexpr AttributeRow kStopBits{VI_ATTR_ASRL_STOP_BITS, AttrType::U16, true, IsStopBits};
constexpr AttributeRow kFlow{VI_ATTR_ASRL_FLOW_CNTRL, AttrType::U16, true, IsFlow};
constexpr AttributeRow kEndIn{VI_ATTR_ASRL_END_IN, AttrType::U16, true, IsEndIn};
constexpr AttributeRow kEndOut{VI_ATTR_ASRL_END_OUT, AttrType::U16, true, IsEndOut};
constexpr AttributeRow kXon{VI_ATTR_ASRL_XON_CHAR, AttrType::U8, true};
constexpr AttributeRow kXoff{VI_ATTR_ASRL_XOFF_CHAR, AttrType::U8, true};
constexpr AttributeRow kAvailable{VI_ATTR_ASRL_AVAIL_NUM, AttrType::U32, false};

// Modem lines: attribute, line bit, whether callers may drive it.
struct ModemLine {
  AttributeRow row;
  int bit;
};
constexpr ModemLine kModemLines[] = {
    {{VI_ATTR_ASRL_CTS_STATE, AttrType::I16, false}, TIOCM_CTS},
    {{VI_ATTR_ASRL_DSR_STATE, AttrType::I16, false}, TIOCM_DSR},
    {{VI_ATTR_ASRL_DCD_STATE, AttrType::I16, false}, TIOCM_CD},
    {{VI_ATTR_ASRL_RI_STATE, AttrType::I16, false}, TIOCM_RI},
    {{VI_ATTR_ASRL_DTR_STATE, AttrType::I16, true, IsLineState}, TIOCM_DTR},
    {{VI_ATTR_ASRL_RTS_STATE, AttrType::I16, true, IsLineState}, TIOCM_RTS},
};

ViAttrState StateValue(ViInt16 state) { return static_cast<ViAttrState>(static_cast<ViUInt16>(state)); }

// Puts the line settings of the store into effect.
ViStatus ConfigureLine(int fd, const AttributeStore& store) {
  termios settings{};
  if (::tcgetattr(fd, &settings) != 0) return VI_ERROR_IO;
  ::cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  const BaudRate* baud = FindBaud(store.Number(VI_ATTR_ASRL_BAUD));
  if (!baud) return VI_ERROR_NSUP_ATTR_STATE;
  ::cfsetispeed(&settings, baud->code);
  ::cfsetospeed(&settings, baud->code);

  static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  settings.c_cflag &= ~CSIZE;
  settings.c_cflag |= kSizes[store.Number(VI_ATTR_ASRL_DATA_BITS) - 5];

  settings.c_cflag &= ~(PARENB | PARODD | CMSPAR);
  switch (store.Number(VI_ATTR_ASRL_PARITY)) {
    case VI_ASRL_PAR_ODD:
      settings.c_cflag |= PARENB | PARODD;
      break;
    case VI_ASRL_PAR_EVEN:
      settings.c_cflag |= PARENB;
      break;
    case VI_ASRL_PAR_MARK:
      settings.c_cflag |= PARENB | PARODD | CMSPAR;
      break;
    case VI_ASRL_PAR_SPACE:
      settings.c_cflag |= PARENB | CMSPAR;
      break;
    default:
      break;
  }
  if (store.Number(VI_ATTR_ASRL_STOP_BITS) == VI_ASRL_STOP_TWO)
    settings.c_cflag |= CSTOPB;
  else
    settings.c_cflag &= ~CSTOPB;

  const ViAttrState flow = store.Number(VI_ATTR_ASRL_FLOW_CNTRL);
  settings.c_cflag &= ~CRTSCTS;
  settings.c_iflag &= ~(IXON | IXOFF | IXANY);
  if (flow == VI_ASRL_FLOW_RTS_CTS) settings.c_cflag |= CRTSCTS;
  if (flow == VI_ASRL_FLOW_XON_XOFF) settings.c_iflag |= IXON | IXOFF;
  settings.c_cc[VSTART] = static_cast<cc_t>(store.Number(VI_ATTR_ASRL_XON_CHAR));
  settings.c_cc[VSTOP] = static_cast<cc_t>(store.Number(VI_ATTR_ASRL_XOFF_CHAR));
  // With VMIN 1 a non-blocking read tells "nothing yet" (EAGAIN) apart
  // from a hang-up (0); the wait itself is poll()'s.
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  return ::tcsetattr(fd, TCSANOW, &settings) == 0 ? VI_SUCCESS : VI_ERROR_NSUP_ATTR_STATE;
}

ViStatus StatusFromErrno(int error) {
  return error == EIO || error == ENXIO || error == ENODEV ? VI_ERROR_CONN_LOST : VI_ERROR_IO;
}

// `abort` becomes readable once the transport is aborted, and stays so.
ViStatus WaitReady(int fd, int abort, short events, const Deadline& deadline) {
  pollfd waiters[2] = {{fd, events, 0}, {abort, POLLIN, 0}};
  for (;;) {
    int ready = ::poll(waiters, 2, deadline.PollTimeout());
    if (ready > 0 && waiters[1].revents != 0) return VI_ERROR_CONN_LOST;
    if (ready > 0) return (waiters[0].revents & (events | POLLIN)) ? VI_SUCCESS : VI_ERROR_CONN_LOST;
    if (ready == 0) return VI_ERROR_TMO;
    if (errno != EINTR) return VI_ERROR_IO;
  }
}

}  // namespace

ViStatus OpenSerialTransport(const ResourceName& resource, const Deadline& /*deadline*/,
                             std::unique_ptr<ITransport>& transport) {
  if (resource.serialPath.empty()) {
    NoteFailureDetail("serial board 0 names no port; ASRL1 is /dev/ttyS0");
    return VI_ERROR_RSRC_NFOUND;
  }
  UniqueFd port(::open(resource.serialPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!port.Valid()) {
    const int error = errno;
    NoteFailureDetail("the serial port " + resource.serialPath + " could not be opened: " + std::strerror(error));
    if (error == EACCES || error == EPERM) return VI_ERROR_NPERMISSION;
    return error == EBUSY ? VI_ERROR_RSRC_BUSY : VI_ERROR_RSRC_NFOUND;
  }
  termios probe{};
  if (::tcgetattr(port.Get(), &probe) != 0) {
    NoteFailureDetail(resource.serialPath + " is not a serial port");
    return VI_ERROR_RSRC_NFOUND;
  }
  auto serial = std::make_unique<SerialTransport>(resource, std::move(port));
  AttributeStore defaults;
  serial->DefineAttributes(defaults);
  if (ViStatus status = serial->ApplyAttribute(VI_ATTR_ASRL_BAUD, defaults); status != VI_SUCCESS) return status;
  transport = std::move(serial);
  return VI_SUCCESS;
}

SerialTransport::SerialTransport(ResourceName resource, UniqueFd port)
    : resource_(std::move(resource)), port_(std::move(port)), abort_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

void SerialTransport::Abort() {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(abort_.Get(), &one, sizeof one);
}

void SerialTransport::DefineAttributes(AttributeStore& store) {
  store.Define(kBaud, 9600);
  store.Define(kDataBits, 8);
  store.Define(kParity, VI_ASRL_PAR_NONE);
  store.Define(kStopBits, VI_ASRL_STOP_ONE);
  store.Define(kFlow, VI_ASRL_FLOW_NONE);
  store.Define(kEndIn, VI_ASRL_END_TERMCHAR);
  store.Define(kEndOut, VI_ASRL_END_NONE);
  store.Define(kXon, 0x11);
  store.Define(kXoff, 0x13);
  store.Define(kAvailable, 0);
  for (const auto& line : kModemLines) store.Define(line.row, StateValue(VI_STATE_UNKNOWN));
}

ViStatus SerialTransport::ApplyAttribute(ViAttr id, const AttributeStore& store) {
  switch (id) {
    case VI_ATTR_ASRL_END_IN:
      endIn_ = static_cast<ViUInt16>(store.Number(id));
      return VI_SUCCESS;
    case VI_ATTR_ASRL_END_OUT:
      endOut_ = static_cast<ViUInt16>(store.Number(id));
      return VI_SUCCESS;
    case VI_ATTR_ASRL_BAUD:
    case VI_ATTR_ASRL_DATA_BITS:
    case VI_ATTR_ASRL_PARITY:
    case VI_ATTR_ASRL_STOP_BITS:
    case VI_ATTR_ASRL_FLOW_CNTRL:
    case VI_ATTR_ASRL_XON_CHAR:
    case VI_ATTR_ASRL_XOFF_CHAR: {
      ViStatus status = ConfigureLine(port_.Get(), store);
      if (status == VI_SUCCESS) dataBits_ = static_cast<ViUInt16>(store.Number(VI_ATTR_ASRL_DATA_BITS));
      return status;
    }
    default:
      break;
  }
  for (const auto& line : kModemLines) {
    if (line.row.id != id) continue;
    int bit = line.bit;
    const bool on = static_cast<ViInt16>(store.Number(id)) == VI_STATE_ASSERTED;
    return ::ioctl(port_.Get(), on ? TIOCMBIS : TIOCMBIC, &bit) == 0 ? VI_SUCCESS : VI_ERROR_NSUP_ATTR_STATE;
  }
  return VI_SUCCESS;
}

void SerialTransport::RefreshAttribute(ViAttr id, AttributeStore& store) {
  if (id == VI_ATTR_ASRL_AVAIL_NUM) {
    int waiting = 0;
    if (::ioctl(port_.Get(), FIONREAD, &waiting) != 0) waiting = 0;
    store.Update(id, static_cast<ViAttrState>(waiting));
    return;
  }
  for (const auto& line : kModemLines) {
    if (line.row.id != id) continue;
    int bits = 0;
    // Pseudo-terminals have no modem lines.
    ViInt16 state = ::ioctl(port_.Get(), TIOCMGET, &bits) != 0 ? VI_STATE_UNKNOWN
                    : (bits & line.bit)                         ? VI_STATE_ASSERTED
                                                                : VI_STATE_UNASSERTED;
    store.Update(id, StateValue(state));
  }
}

ViStatus SerialTransport::Receive(ViByte* buffer, std::size_t capacity, const Deadline& deadline,
                                  std::size_t& received, bool& ended) {
  ended = false;
  received = 0;
  for (;;) {
    ssize_t got = ::read(port_.Get(), buffer, capacity);
    if (got > 0) {
      received = static_cast<std::size_t>(got);
      return VI_SUCCESS;
    }
    if (got == 0) return VI_ERROR_CONN_LOST;  // hung up
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return StatusFromErrno(errno);
    if (ViStatus status = WaitReady(port_.Get(), abort_.Get(), POLLIN, deadline); status != VI_SUCCESS) return status;
  }
}

StopRule SerialTransport::ReadRule(const IoSettings& io) const {
  StopRule rule;
  if (io.termCharEnabled) rule.termChar = io.termChar;
  if (endIn_ == VI_ASRL_END_TERMCHAR) rule.endChar = io.termChar;
  if (endIn_ == VI_ASRL_END_LAST_BIT) rule.endBits = static_cast<ViByte>(1u << (dataBits_ - 1));
  return rule;
}

ViStatus SerialTransport::Read(ViByte* buffer, ViUInt32 count, const IoSettings& io, ViUInt32& received) {
  const ViStatus status = reader_.Read(*this, buffer, count, ReadRule(io), Deadline::After(io.timeoutMs), received);
  if (status == VI_ERROR_TMO) replyOwed_ = true;
  return status;
}

ViStatus SerialTransport::WriteAll(const ViByte* buffer, std::size_t size, const Deadline& deadline,
                                   std::size_t& written) {
  written = 0;
  while (written < size) {
    ssize_t done = ::write(port_.Get(), buffer + written, size - written);
    if (done > 0) {
      written += static_cast<std::size_t>(done);
      continue;
    }
    if (done < 0 && errno == EINTR) continue;
    if (done < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return StatusFromErrno(errno);
    if (ViStatus status = WaitReady(port_.Get(), abort_.Get(), POLLOUT, deadline); status != VI_SUCCESS) return status;
  }
  return VI_SUCCESS;
}

ViStatus SerialTransport::Write(const ViByte* buffer, ViUInt32 count, const IoSettings& io, ViUInt32& written) {
  const Deadline deadline = Deadline::After(io.timeoutMs);
  // A reply given up on, or stray bytes that came with the last one, must
  // not answer this command: whatever has arrived by now is dropped.
  if (std::exchange(replyOwed_, false) || reader_.HasSurplus()) DiscardInput();
  std::size_t done = 0;
  ViStatus status = WriteAll(buffer, count, deadline, done);
  written = static_cast<ViUInt32>(done);
  if (status != VI_SUCCESS || !io.sendEnd) return status;
  if (endOut_ == VI_ASRL_END_TERMCHAR) {
    std::size_t ignored = 0;
    return WriteAll(&io.termChar, 1, deadline, ignored);
  }
  if (endOut_ == VI_ASRL_END_BREAK) {
    if (::tcdrain(port_.Get()) != 0 || ::tcsendbreak(port_.Get(), 0) != 0) return VI_ERROR_IO;
  }
  return VI_SUCCESS;
}

// A serial line has no device clear message: flushing both directions is
// what the device can notice (a pseudo-terminal tells its master side), and
// the next write drops anything that was still on its way.
ViStatus SerialTransport::Clear(const IoSettings& /*io*/) {
  reader_.Discard();
  if (::tcflush(port_.Get(), TCIOFLUSH) != 0) return VI_ERROR_IO;
  replyOwed_ = true;
  return VI_SUCCESS;
}

void SerialTransport::DiscardInput() {
  reader_.Discard();
  ::tcflush(port_.Get(), TCIFLUSH);
}

}  // namespace hvzelta::visa
