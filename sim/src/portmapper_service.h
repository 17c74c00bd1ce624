#pragma once

// The port-mapper (program 100000, version 2) that a VXI-11 client asks
// first: it knows only the instrument's core and abort channels.

#include <cstdint>

#include "onc_rpc.h"

namespace zta_sim {

inline constexpr std::uint32_t kPortmapperProgram = 100000;
inline constexpr std::uint32_t kVxi11CoreProgram = 0x0607AF;
inline constexpr std::uint32_t kVxi11AbortProgram = 0x0607B0;

class PortmapperService final : public RpcDispatcher {
 public:
  explicit PortmapperService(std::uint16_t vxi11Port) : vxi11Port_(vxi11Port) {}
  RpcOutcome Dispatch(const RpcCall& call, XdrReader& arguments, XdrWriter& results) override;

 private:
  std::uint16_t vxi11Port_;
};

}  // namespace zta_sim
