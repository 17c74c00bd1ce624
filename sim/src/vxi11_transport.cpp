#include "vxi11_transport.h"

#include <chrono>

#include "onc_rpc.h"
#include "portmapper_service.h"

namespace zta_sim {

namespace {

// Room for the largest device_write plus its RPC headers.
constexpr std::size_t kMaxRecord = Vxi11Device::kMaxReceiveSize + 1024;
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

// The RPC face of one core or abort channel connection.
class Vxi11Connection final : public RpcDispatcher {
 public:
  Vxi11Connection(Vxi11Device& device, std::uint16_t abortPort, std::uint64_t id)
      : device_(device), abortPort_(abortPort), id_(id) {}
  ~Vxi11Connection() override { device_.DestroyLinksOf(id_); }
  Vxi11Connection(const Vxi11Connection&) = delete;
  Vxi11Connection& operator=(const Vxi11Connection&) = delete;

  RpcOutcome Dispatch(const RpcCall& call, XdrReader& in, XdrWriter& out) override {
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

 private:
  RpcOutcome DispatchAbort(const RpcCall& call, XdrReader& in, XdrWriter& out) {
    if (call.version != 1) return Mismatch();
    if (call.procedure != kDeviceAbort) return Refuse(AcceptStat::ProcedureUnavailable);
    const std::int32_t link = in.I32();
    if (!in.ok()) return Refuse(AcceptStat::GarbageArguments);
    out.I32(static_cast<std::int32_t>(device_.Abort(link)));
    return {};
  }

  static RpcOutcome Mismatch() {
    RpcOutcome outcome = Refuse(AcceptStat::ProgramMismatch);
    outcome.lowVersion = 1;
    outcome.highVersion = 1;
    return outcome;
  }

  // Device_Flags flags, then unsigned long lock_timeout.
  static Vxi11Device::Access ReadAccess(XdrReader& in) {
    const std::uint32_t flags = in.U32();
    return {flags, Millis(in.U32())};
  }

  // Device_GenericParms: link, flags, lock_timeout, io_timeout.
  static Vxi11Device::Access ReadGeneric(XdrReader& in, std::int32_t& link) {
    link = in.I32();
    const Vxi11Device::Access access = ReadAccess(in);
    in.U32();
    return access;
  }

  Vxi11Device& device_;
  std::uint16_t abortPort_;
  std::uint64_t id_;
};

}  // namespace

Vxi11Transport::Vxi11Transport(const TransportContext& context, std::uint16_t corePort, std::uint16_t portmapperPort)
    : context_(context),
      corePort_(corePort),
      portmapperPort_(portmapperPort),
      device_(context.instrument, context.faults),
      core_([this](int fd) { ServeCore(fd); }),
      portmapper_([this](int fd) { ServePortmapper(fd); }) {}

void Vxi11Transport::Start() {
  corePort_ = core_.Listen(context_.address, corePort_);
  portmapperPort_ = portmapper_.Listen(context_.address, portmapperPort_);
  core_.Start();
  portmapper_.Start();
}

void Vxi11Transport::Stop() {
  device_.Stop();
  portmapper_.Stop();
  core_.Stop();
}

void Vxi11Transport::Describe(Endpoints& endpoints) const {
  endpoints.vxi11Port = corePort_;
  endpoints.portmapperPort = portmapperPort_;
}

void Vxi11Transport::ServeCore(int fd) {
  Vxi11Connection connection(device_, corePort_, nextConnection_++);
  ServeRpcConnection(fd, connection, kMaxRecord);
}

void Vxi11Transport::ServePortmapper(int fd) {
  PortmapperService service(corePort_);
  ServeRpcConnection(fd, service, 1024);
}

}  // namespace zta_sim
