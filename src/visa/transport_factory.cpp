#include "visa/transport_factory.h"

#include "visa/hislip_transport.h"
#include "visa/raw_socket_transport.h"
#include "visa/serial_transport.h"
#include "visa/usbtmc_transport.h"
#include "visa/vxi11_transport.h"

namespace hvzelta::visa {
namespace {

using Opener = ViStatus (*)(const ResourceName&, const Deadline&, std::unique_ptr<ITransport>&);

struct TransportEntry {
  ResourceKind kind;
  Opener open;
};

constexpr TransportEntry kTransports[] = {
    {ResourceKind::TcpipSocket, OpenRawSocketTransport},
    {ResourceKind::Hislip, OpenHislipTransport},
    {ResourceKind::Vxi11, OpenVxi11Transport},
    {ResourceKind::Serial, OpenSerialTransport},
    {ResourceKind::UsbTmc, OpenUsbTmcTransport},
};

}  // namespace

ViStatus OpenTransport(const ResourceName& resource, const Deadline& deadline,
                       std::unique_ptr<ITransport>& transport) {
  for (const auto& entry : kTransports)
    if (entry.kind == resource.kind) return entry.open(resource, deadline, transport);
  return VI_ERROR_RSRC_NFOUND;
}

}  // namespace hvzelta::visa
