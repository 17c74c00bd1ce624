#include "portmapper_service.h"

#include <array>

namespace zta_sim {

namespace {

constexpr std::uint32_t kVersion = 2;
constexpr std::uint32_t kTcp = 6;

enum Procedure : std::uint32_t { kNull = 0, kSet = 1, kUnset = 2, kGetPort = 3, kDump = 4 };

struct Mapping {
  std::uint32_t program;
  std::uint32_t version;
};

constexpr std::array<Mapping, 2> kServed{{{kVxi11CoreProgram, 1}, {kVxi11AbortProgram, 1}}};

}  // namespace

RpcOutcome PortmapperService::Dispatch(const RpcCall& call, XdrReader& arguments, XdrWriter& results) {
  if (call.program != kPortmapperProgram) return {AcceptStat::ProgramUnavailable};
  if (call.version != kVersion) return {AcceptStat::ProgramMismatch, kVersion, kVersion};
  switch (call.procedure) {
    case kNull:
      return {};
    case kSet:
    case kUnset:  // nobody else registers here
      for (int i = 0; i < 4; ++i) arguments.U32();
      if (!arguments.ok()) return {AcceptStat::GarbageArguments};
      results.U32(0);
      return {};
    case kGetPort: {
      const std::uint32_t program = arguments.U32();
      const std::uint32_t version = arguments.U32();
      const std::uint32_t protocol = arguments.U32();
      arguments.U32();
      if (!arguments.ok()) return {AcceptStat::GarbageArguments};
      std::uint32_t port = 0;
      for (const Mapping& mapping : kServed) {
        if (mapping.program == program && mapping.version == version && protocol == kTcp) port = vxi11Port_;
      }
      results.U32(port);
      return {};
    }
    case kDump:
      for (const Mapping& mapping : kServed) {
        results.U32(1);  // another entry follows
        results.U32(mapping.program);
        results.U32(mapping.version);
        results.U32(kTcp);
        results.U32(vxi11Port_);
      }
      results.U32(0);
      return {};
    default:
      return {AcceptStat::ProcedureUnavailable};
  }
}

}  // namespace zta_sim
