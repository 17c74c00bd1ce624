#include "vxi11_transport.h"

#include "onc_rpc.h"
#include "portmapper_service.h"
#include "vxi11_rpc_program.h"

namespace zta_sim {

namespace {

// Room for the largest device_write plus its RPC headers.
constexpr std::size_t kMaxRecord = Vxi11Device::kMaxReceiveSize + 1024;

}  // namespace

Vxi11Transport::Vxi11Transport(const TransportContext& context, std::uint16_t corePort, std::uint16_t portmapperPort)
    : context_(context),
      corePort_(corePort),
      portmapperPort_(portmapperPort),
      device_(context.instrument, context.faults),
      core_([this](int fd) { ServeCore(fd); }, 32, context.idleTimeout),
      portmapper_([this](int fd) { ServePortmapper(fd); }, 32, context.idleTimeout) {}

void Vxi11Transport::Start() {
  corePort_ = core_.Listen(context_.address, corePort_);
  portmapperPort_ = portmapper_.Listen(context_.address, portmapperPort_);
  udpPortmapperService_ = std::make_unique<PortmapperService>(corePort_);
  udpPortmapper_ = std::make_unique<UdpRpcServer>(*udpPortmapperService_);
  // A UDP port of that number already taken leaves the port-mapper on TCP only.
  if (udpPortmapper_->Bind(context_.address, portmapperPort_)) udpPortmapper_->Start();
  core_.Start();
  portmapper_.Start();
}

void Vxi11Transport::Stop() {
  device_.Stop();
  if (udpPortmapper_) udpPortmapper_->Stop();
  portmapper_.Stop();
  core_.Stop();
}

void Vxi11Transport::Describe(Endpoints& endpoints) const {
  endpoints.vxi11Port = corePort_;
  endpoints.portmapperPort = portmapperPort_;
}

void Vxi11Transport::ServeCore(int fd) {
  Vxi11RpcProgram connection(device_, corePort_, nextConnection_++);
  ServeRpcConnection(fd, connection, kMaxRecord);
}

void Vxi11Transport::ServePortmapper(int fd) {
  PortmapperService service(corePort_);
  ServeRpcConnection(fd, service, 1024);
}

}  // namespace zta_sim
