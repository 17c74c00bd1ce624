#include "visa/vxi11_transport.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "visa/socket_io.h"
#include "visa/tcpip_attributes.h"

namespace hvzelta::visa {
namespace {

using rpc::kVxi11CoreProgram;
using rpc::kVxi11CoreVersion;

enum Procedure : ViUInt32 {
  kCreateLink = 10,
  kDeviceWrite = 11,
  kDeviceRead = 12,
  kDeviceReadStb = 13,
  kDeviceTrigger = 14,
  kDeviceClear = 15,
  kDeviceLock = 18,
  kDeviceUnlock = 19,
  kDestroyLink = 23,
};

// Operation flags and read reasons.
constexpr ViUInt32 kFlagWaitLock = 1;
constexpr ViUInt32 kFlagEnd = 8;
constexpr ViUInt32 kFlagTermCharSet = 128;
constexpr ViUInt32 kReasonRequestCount = 1;
constexpr ViUInt32 kReasonTermChar = 2;
constexpr ViUInt32 kReasonEnd = 4;

constexpr AttributeRow kIsHislip{VI_ATTR_TCPIP_IS_HISLIP, AttrType::Boolean, false};

struct DeviceError {
  ViUInt32 code;
  ViStatus status;
};

constexpr DeviceError kDeviceErrors[] = {
    {0, VI_SUCCESS},
    {3, VI_ERROR_IO},                // device not accessible
    {4, VI_ERROR_CONN_LOST},         // the link is gone
    {5, VI_ERROR_INV_PARAMETER},
    {6, VI_ERROR_NSUP_OPER},         // no interrupt channel
    {8, VI_ERROR_NSUP_OPER},
    {9, VI_ERROR_ALLOC},
    {11, VI_ERROR_RSRC_LOCKED},
    {12, VI_ERROR_SESN_NLOCKED},
    {15, VI_ERROR_TMO},
    {17, VI_ERROR_IO},
    {21, VI_ERROR_RSRC_NFOUND},      // invalid address
    {23, VI_ERROR_ABORT},
};

ViStatus StatusOfDeviceError(ViUInt32 code) {
  for (const auto& entry : kDeviceErrors)
    if (entry.code == code) return entry.status;
  return VI_ERROR_IO;
}

std::uint16_t PortmapperPort() {
  const char* configured = std::getenv("HVZELTA_PORTMAPPER_PORT");
  if (!configured || !*configured) return rpc::kPortmapperPort;
  char* end = nullptr;
  long port = std::strtol(configured, &end, 10);
  return *end == '\0' && port > 0 && port <= 0xFFFF ? static_cast<std::uint16_t>(port) : rpc::kPortmapperPort;
}

// Deadline for a call the device times out itself after `timeoutMs`.
Deadline DeviceDeadline(ViUInt32 timeoutMs) { return Deadline::After(timeoutMs).Extended(kDeviceTimeoutMargin); }

// Client IDs tell the links of this process apart on the device.
ViUInt32 NextClientId() {
  static std::atomic<ViUInt32> next{1};
  return next.fetch_add(1);
}

}  // namespace

ViStatus OpenVxi11Transport(const ResourceName& resource, const Deadline& deadline,
                            std::unique_ptr<ITransport>& transport) {
  Vxi11Link link;
  link.port = resource.port;
  if (link.port == 0) {
    if (ViStatus status = rpc::GetPort(resource.host, PortmapperPort(), kVxi11CoreProgram, kVxi11CoreVersion, deadline, link.port);
        status != VI_SUCCESS)
      return status;
  }
  UniqueFd socket;
  if (ViStatus status = ConnectTcp(resource.host, link.port, deadline, socket); status != VI_SUCCESS) return status;
  rpc::Client core(std::move(socket));
  rpc::Arguments arguments;
  arguments.U32(NextClientId()).U32(0).U32(0).Opaque(resource.deviceName);
  ViUInt32 error = 0;
  ViUInt32 abortPort = 0;
  if (core.Call(kVxi11CoreProgram, kVxi11CoreVersion, kCreateLink, arguments, nullptr, 0, deadline) != VI_SUCCESS ||
      core.BeginReply(deadline) != VI_SUCCESS || core.ReadU32(error, deadline) != VI_SUCCESS ||
      core.ReadU32(link.id, deadline) != VI_SUCCESS || core.ReadU32(abortPort, deadline) != VI_SUCCESS ||
      core.ReadU32(link.maxReceiveSize, deadline) != VI_SUCCESS || error != 0)
    return VI_ERROR_RSRC_NFOUND;
  core.EndReply(deadline);
  // The protocol promises at least 1024; a device saying less is not trusted.
  link.maxReceiveSize = std::max<ViUInt32>(link.maxReceiveSize, 1024);
  transport = std::make_unique<Vxi11Transport>(resource, std::move(core), link);
  return VI_SUCCESS;
}

Vxi11Transport::Vxi11Transport(ResourceName resource, rpc::Client core, const Vxi11Link& link)
    : resource_(std::move(resource)), core_(std::move(core)), link_(link) {}

void Vxi11Transport::DefineAttributes(AttributeStore& store) {
  DefineTcpipAttributes(store, resource_, core_.Socket(), link_.port);
  store.Define(kIsHislip, VI_FALSE);
}

ViStatus Vxi11Transport::ApplyAttribute(ViAttr id, const AttributeStore& store) {
  return ApplyTcpipAttribute(id, store, core_.Socket());
}

ViStatus Vxi11Transport::SimpleCall(ViUInt32 procedure, const rpc::Arguments& arguments, const Deadline& deadline) {
  ViUInt32 error = 0;
  if (ViStatus status = core_.Call(kVxi11CoreProgram, kVxi11CoreVersion, procedure, arguments, nullptr, 0, deadline);
      status != VI_SUCCESS)
    return status;
  if (ViStatus status = core_.BeginReply(deadline); status != VI_SUCCESS) return status;
  if (ViStatus status = core_.ReadU32(error, deadline); status != VI_SUCCESS) return status;
  core_.EndReply(deadline);
  return StatusOfDeviceError(error);
}

ViStatus Vxi11Transport::Read(ViByte* buffer, ViUInt32 count, const IoSettings& io, ViUInt32& received) {
  received = 0;
  const Deadline device = Deadline::After(io.timeoutMs);
  const Deadline deadline = device.Extended(kDeviceTimeoutMargin);
  const ViUInt32 flags = io.termCharEnabled ? kFlagTermCharSet : 0;
  for (int round = 0; received < count; ++round) {
    if (round > 0 && deadline.Expired()) return VI_ERROR_TMO;
    rpc::Arguments arguments;
    arguments.U32(link_.id).U32(count - received).U32(device.RemainingMs()).U32(0).U32(flags).U32(io.termChar);
    if (ViStatus status = core_.Call(kVxi11CoreProgram, kVxi11CoreVersion, kDeviceRead, arguments, nullptr, 0, deadline);
        status != VI_SUCCESS)
      return status;
    ViUInt32 error = 0;
    ViUInt32 reason = 0;
    std::size_t got = 0;
    if (ViStatus status = core_.BeginReply(deadline); status != VI_SUCCESS) return status;
    if (ViStatus status = core_.ReadU32(error, deadline); status != VI_SUCCESS) return status;
    if (ViStatus status = core_.ReadU32(reason, deadline); status != VI_SUCCESS) return status;
    if (ViStatus status = core_.ReadOpaque(buffer + received, count - received, got, deadline); status != VI_SUCCESS)
      return status;
    core_.EndReply(deadline);
    received += static_cast<ViUInt32>(got);
    if (error != 0) return StatusOfDeviceError(error);
    if (reason & kReasonEnd) return VI_SUCCESS;
    if (reason & kReasonTermChar) return VI_SUCCESS_TERM_CHAR;
    if ((reason & kReasonRequestCount) && received == count) return VI_SUCCESS_MAX_CNT;
  }
  return VI_SUCCESS_MAX_CNT;
}

ViStatus Vxi11Transport::Write(const ViByte* buffer, ViUInt32 count, const IoSettings& io, ViUInt32& written) {
  written = 0;
  const Deadline deadline = DeviceDeadline(io.timeoutMs);
  for (int round = 0; round == 0 || written < count; ++round) {
    if (round > 0 && deadline.Expired()) return VI_ERROR_TMO;
    const ViUInt32 chunk = std::min(count - written, link_.maxReceiveSize);
    const bool last = written + chunk == count;
    rpc::Arguments arguments;
    arguments.U32(link_.id).U32(io.timeoutMs).U32(0).U32(last && io.sendEnd ? kFlagEnd : 0).U32(chunk);
    if (ViStatus status =
            core_.Call(kVxi11CoreProgram, kVxi11CoreVersion, kDeviceWrite, arguments, buffer + written, chunk, deadline);
        status != VI_SUCCESS)
      return status;
    ViUInt32 error = 0;
    ViUInt32 size = 0;
    if (ViStatus status = core_.BeginReply(deadline); status != VI_SUCCESS) return status;
    if (ViStatus status = core_.ReadU32(error, deadline); status != VI_SUCCESS) return status;
    if (ViStatus status = core_.ReadU32(size, deadline); status != VI_SUCCESS) return status;
    core_.EndReply(deadline);
    if (size > chunk) return VI_ERROR_IO;
    written += size;
    if (error != 0) return StatusOfDeviceError(error);
    if (chunk == 0) break;
  }
  return VI_SUCCESS;
}

ViStatus Vxi11Transport::ReadStatusByte(const IoSettings& io, ViUInt16& status) {
  const Deadline deadline = DeviceDeadline(io.timeoutMs);
  rpc::Arguments arguments;
  arguments.U32(link_.id).U32(0).U32(0).U32(io.timeoutMs);
  ViUInt32 error = 0;
  ViUInt32 stb = 0;
  if (ViStatus sent = core_.Call(kVxi11CoreProgram, kVxi11CoreVersion, kDeviceReadStb, arguments, nullptr, 0, deadline);
      sent != VI_SUCCESS)
    return sent;
  if (ViStatus got = core_.BeginReply(deadline); got != VI_SUCCESS) return got;
  if (ViStatus got = core_.ReadU32(error, deadline); got != VI_SUCCESS) return got;
  if (ViStatus got = core_.ReadU32(stb, deadline); got != VI_SUCCESS) return got;
  core_.EndReply(deadline);
  status = static_cast<ViUInt16>(stb & 0xFF);
  return StatusOfDeviceError(error);
}

ViStatus Vxi11Transport::Clear(const IoSettings& io) {
  rpc::Arguments arguments;
  arguments.U32(link_.id).U32(0).U32(0).U32(io.timeoutMs);
  return SimpleCall(kDeviceClear, arguments, DeviceDeadline(io.timeoutMs));
}

ViStatus Vxi11Transport::Trigger(const IoSettings& io) {
  rpc::Arguments arguments;
  arguments.U32(link_.id).U32(0).U32(0).U32(io.timeoutMs);
  return SimpleCall(kDeviceTrigger, arguments, DeviceDeadline(io.timeoutMs));
}

ViStatus Vxi11Transport::LockDevice(std::string_view sharedKey, ViUInt32 timeoutMs) {
  // The device knows exclusive locks only.
  if (!sharedKey.empty()) return VI_SUCCESS;
  rpc::Arguments arguments;
  arguments.U32(link_.id).U32(timeoutMs > 0 ? kFlagWaitLock : 0).U32(timeoutMs);
  ViStatus status = SimpleCall(kDeviceLock, arguments, DeviceDeadline(timeoutMs));
  return status == VI_ERROR_RSRC_LOCKED && timeoutMs > 0 ? VI_ERROR_TMO : status;
}

ViStatus Vxi11Transport::UnlockDevice(ViAccessMode released, const IoSettings& io) {
  // A shared lock never reached the device.
  if (released != VI_EXCLUSIVE_LOCK) return VI_SUCCESS;
  rpc::Arguments arguments;
  arguments.U32(link_.id);
  return SimpleCall(kDeviceUnlock, arguments, DeviceDeadline(io.timeoutMs));
}

ViStatus Vxi11Transport::Close(const IoSettings& io) {
  if (core_.Broken()) return VI_SUCCESS;
  rpc::Arguments arguments;
  arguments.U32(link_.id);
  // The link goes with the connection anyway; do not hold a close up long.
  SimpleCall(kDestroyLink, arguments, Deadline::After(std::min<ViUInt32>(io.timeoutMs, 1000)));
  return VI_SUCCESS;
}

}  // namespace hvzelta::visa
