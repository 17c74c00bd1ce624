#include "vxi11_rpc_program.h"

#include <chrono>

#include "portmapper_service.h"

namespace zta_sim {

namespace {

constexpr std::size_t kMaxDeviceName = 256;

enum CoreProcedure : std::uint32_t {
  kCreateLink = 10,
  kDeviceWrite = 11,
  kDeviceRead = 12,
  kDeviceReadStb = 13,
  kDeviceTrigger = 14,
  kDeviceClear = 15,
  kDeviceRemote = 16,
  kDeviceLocal = 17,
  kDeviceLock = 18,
  kDeviceUnlock = 19,
  kDeviceEnableSrq = 20,
  kDeviceDoCmd = 22,
  kDestroyLink = 23,
  kCreateInterruptChannel = 25,
  kDestroyInterruptChannel = 26,
};
constexpr std::uint32_t kDeviceAbort = 1;

std::chrono::milliseconds Millis(std::uint32_t value) { return std::chrono::milliseconds(value); }

RpcOutcome Refuse(AcceptStat status) {
  RpcOutcome outcome;
  outcome.status = status;
  return outcome;
}

}  // namespace

Vxi11RpcProgram::Vxi11RpcProgram(Vxi11Device& device, std::uint16_t abortPort, std::uint64_t connection)
    : device_(device), abortPort_(abortPort), id_(connection) {}

Vxi11RpcProgram::~Vxi11RpcProgram() { device_.DestroyLinksOf(id_); }

RpcOutcome Vxi11RpcProgram::Dispatch(const RpcCall& call, XdrReader& in, XdrWriter& out) {
  if (call.program == kVxi11AbortProgram) return DispatchAbort(call, in, out);
  if (call.program != kVxi11CoreProgram) return Refuse(AcceptStat::ProgramUnavailable);
  if (call.version != 1) return Mismatch();
  switch (call.procedure) {
    case kCreateLink: {
      in.I32();  // client id
      const bool lockDevice = in.Bool();
      const std::uint32_t lockTimeout = in.U32();
      const std::string_view name = in.Opaque(kMaxDeviceName);
      if (!in.ok()) return Refuse(AcceptStat::GarbageArguments);
      const auto link = device_.CreateLink(id_, lockDevice, Millis(lockTimeout), name);
      out.I32(static_cast<std::int32_t>(link.error));
      out.I32(link.link);
      out.U32(abortPort_);
      out.U32(Vxi11Device::kMaxReceiveSize);
      return {};
    }
    case kDeviceWrite: {
      const std::int32_t link = in.I32();
      in.U32();  // io timeout: writes never wait
      const std::uint32_t lockTimeout = in.U32();
      const std::uint32_t flags = in.U32();
      const std::string_view data = in.Opaque(Vxi11Device::kMaxReceiveSize);
      if (!in.ok()) return Refuse(AcceptStat::GarbageArguments);
      const auto written = device_.Write(link, {flags, Millis(lockTimeout)}, data);
      if (written.dropConnection) {
        RpcOutcome drop;
        drop.closeConnection = true;
        return drop;
      }
      out.I32(static_cast<std::int32_t>(written.error));
      out.U32(written.size);
      return {};
    }
    case kDeviceRead: {
      const std::int32_t link = in.I32();
      const std::uint32_t requestSize = in.U32();
      const std::uint32_t ioTimeout = in.U32();
      const std::uint32_t lockTimeout = in.U32();
      const std::uint32_t flags = in.U32();
      const auto termChar = static_cast<char>(in.U32());
      if (!in.ok()) return Refuse(AcceptStat::GarbageArguments);
      const auto read = device_.Read(link, {flags, Millis(lockTimeout)}, requestSize, Millis(ioTimeout), termChar);
      out.I32(static_cast<std::int32_t>(read.error));
      out.I32(read.reason);
      out.Opaque(read.data);
      return {};
    }
    case kDeviceReadStb: {
      std::int32_t link = 0;
      const Vxi11Device::Access access = ReadGeneric(in, link);
      if (!in.ok()) return Refuse(AcceptStat::GarbageArguments);
      std::uint8_t statusByte = 0;
      out.I32(static_cast<std::int32_t>(device_.ReadStatusByte(link, access, statusByte)));
      out.U32(statusByte);
      return {};
    }
    case kDeviceTrigger:
    case kDeviceClear:
    case kDeviceRemote:
    case kDeviceLocal: {
      std::int32_t link = 0;
      const Vxi11Device::Access access = ReadGeneric(in, link);
      if (!in.ok()) return Refuse(AcceptStat::GarbageArguments);
      Vxi11Error error = Vxi11Error::None;
      if (call.procedure == kDeviceTrigger) error = device_.Trigger(link, access);
      else if (call.procedure == kDeviceClear) error = device_.Clear(link, access);
      else error = device_.Touch(link, access);
      out.I32(static_cast<std::int32_t>(error));
      return {};
    }
    case kDeviceLock: {
      const std::int32_t link = in.I32();
      const Vxi11Device::Access access = ReadAccess(in);
      if (!in.ok()) return Refuse(AcceptStat::GarbageArguments);
      out.I32(static_cast<std::int32_t>(device_.Lock(link, access)));
      return {};
    }
    case kDeviceUnlock:
    case kDestroyLink: {
      const std::int32_t link = in.I32();
      if (!in.ok()) return Refuse(AcceptStat::GarbageArguments);
      const Vxi11Error error = call.procedure == kDeviceUnlock ? device_.Unlock(link) : device_.DestroyLink(link);
      out.I32(static_cast<std::int32_t>(error));
      return {};
    }
    case kDeviceEnableSrq:
      // Accepted; without an interrupt channel no service request is sent.
      out.I32(static_cast<std::int32_t>(Vxi11Error::None));
      return {};
    case kDeviceDoCmd:
      out.I32(static_cast<std::int32_t>(Vxi11Error::OperationNotSupported));
      out.Opaque({});
      return {};
    case kCreateInterruptChannel:
      out.I32(static_cast<std::int32_t>(Vxi11Error::OperationNotSupported));
      return {};
    case kDestroyInterruptChannel:
      out.I32(static_cast<std::int32_t>(Vxi11Error::ChannelNotEstablished));
      return {};
    default:
      return Refuse(AcceptStat::ProcedureUnavailable);
  }
}

RpcOutcome Vxi11RpcProgram::DispatchAbort(const RpcCall& call, XdrReader& in, XdrWriter& out) {
  if (call.version != 1) return Mismatch();
  if (call.procedure != kDeviceAbort) return Refuse(AcceptStat::ProcedureUnavailable);
  const std::int32_t link = in.I32();
  if (!in.ok()) return Refuse(AcceptStat::GarbageArguments);
  out.I32(static_cast<std::int32_t>(device_.Abort(link)));
  return {};
}

RpcOutcome Vxi11RpcProgram::Mismatch() {
  RpcOutcome outcome = Refuse(AcceptStat::ProgramMismatch);
  outcome.lowVersion = 1;
  outcome.highVersion = 1;
  return outcome;
}

// Device_Flags flags, then unsigned long lock_timeout.
Vxi11Device::Access Vxi11RpcProgram::ReadAccess(XdrReader& in) {
  const std::uint32_t flags = in.U32();
  return {flags, Millis(in.U32())};
}

// Device_GenericParms: link, flags, lock_timeout, io_timeout.
Vxi11Device::Access Vxi11RpcProgram::ReadGeneric(XdrReader& in, std::int32_t& link) {
  link = in.I32();
  const Vxi11Device::Access access = ReadAccess(in);
  in.U32();
  return access;
}

}  // namespace zta_sim
