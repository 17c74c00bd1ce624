#include "visa/tcpip_attributes.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <string>

#include "visa/socket_io.h"

namespace hvzelta::visa {
namespace {

constexpr AttributeRow kAddress{VI_ATTR_TCPIP_ADDR, AttrType::String, false};
constexpr AttributeRow kHostName{VI_ATTR_TCPIP_HOSTNAME, AttrType::String, false};
constexpr AttributeRow kPort{VI_ATTR_TCPIP_PORT, AttrType::U16, false};
constexpr AttributeRow kDeviceName{VI_ATTR_TCPIP_DEVICE_NAME, AttrType::String, false};
constexpr AttributeRow kNoDelay{VI_ATTR_TCPIP_NODELAY, AttrType::Boolean, true};
constexpr AttributeRow kKeepAlive{VI_ATTR_TCPIP_KEEPALIVE, AttrType::Boolean, true};

std::string PeerAddress(int socket) {
  sockaddr_storage peer{};
  socklen_t length = sizeof peer;
  if (::getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &length) != 0) return {};
  char text[INET6_ADDRSTRLEN] = {};
  const void* address = peer.ss_family == AF_INET6
                            ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(&peer)->sin6_addr)
                            : static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(&peer)->sin_addr);
  return ::inet_ntop(peer.ss_family, address, text, sizeof text) ? text : "";
}

}  // namespace

void DefineTcpipAttributes(AttributeStore& store, const ResourceName& resource, int socket, std::uint16_t port) {
  store.DefineText(kAddress, PeerAddress(socket));
  store.DefineText(kHostName, resource.host);
  store.Define(kPort, port);
  if (!resource.deviceName.empty()) store.DefineText(kDeviceName, resource.deviceName);
  store.Define(kNoDelay, VI_TRUE);
  store.Define(kKeepAlive, VI_FALSE);
}

ViStatus ApplyTcpipAttribute(ViAttr id, const AttributeStore& store, int socket) {
  const bool on = store.Number(id) != VI_FALSE;
  if (id == VI_ATTR_TCPIP_NODELAY) return SetSocketFlag(socket, IPPROTO_TCP, TCP_NODELAY, on);
  if (id == VI_ATTR_TCPIP_KEEPALIVE) return SetSocketFlag(socket, SOL_SOCKET, SO_KEEPALIVE, on);
  return VI_SUCCESS;
}

}  // namespace hvzelta::visa
