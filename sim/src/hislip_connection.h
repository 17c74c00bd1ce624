#pragma once

// One TCP connection as a HiSLIP channel sees it: a socket in the emulator,
// a buffer in the fuzz target.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "hislip_message.h"

namespace zta_sim {

class HislipConnection {
 public:
  virtual ~HislipConnection() = default;
  // Sends one message; false when the connection failed.
  virtual bool Send(std::string_view header, std::string_view payload) = 0;
  // Ends the connection from any thread; its reader sees the end.
  virtual void Shutdown() = 0;
  // Bytes received but not yet handed to the channel.
  virtual std::size_t Unread() const = 0;
};

inline bool SendMessage(HislipConnection& connection, hislip::MessageType type, std::uint8_t control,
                        std::uint32_t parameter, std::string_view payload = {}) {
  return connection.Send(hislip::EncodeHeader(type, control, parameter, payload.size()), payload);
}

// An Error message: the peer sent something this side does not take, and
// the conversation goes on.
inline bool SendError(HislipConnection& connection, hislip::ErrorCode code, std::string_view text) {
  return SendMessage(connection, hislip::MessageType::Error, static_cast<std::uint8_t>(code), 0, text);
}

}  // namespace zta_sim
