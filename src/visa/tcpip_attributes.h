#pragma once

// The TCPIP attributes the network transports share: the peer's address
// and name, the port, the LAN device name, and the two socket switches.

#include <cstdint>

#include "visa/attribute_store.h"
#include "visa/resource_name.h"

namespace hvzelta::visa {

void DefineTcpipAttributes(AttributeStore& store, const ResourceName& resource, int socket, std::uint16_t port);
// Puts VI_ATTR_TCPIP_NODELAY or VI_ATTR_TCPIP_KEEPALIVE into effect on `socket`.
ViStatus ApplyTcpipAttribute(ViAttr id, const AttributeStore& store, int socket);

}  // namespace hvzelta::visa
