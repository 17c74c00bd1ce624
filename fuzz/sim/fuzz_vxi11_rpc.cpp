// Any bytes as ONC RPC records to the VXI-11 program and the port-mapper.
// The input is cut into records by a two-byte length before each. The
// device is stopped first, so that reads and lock waits return at once
// instead of waiting out the timeouts the input asks for.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fault_plan.h"
#include "instrument.h"
#include "model_catalog.h"
#include "onc_rpc.h"
#include "portmapper_service.h"
#include "vxi11_device.h"
#include "vxi11_rpc_program.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const zta_sim::ModelInfo& model = zta_sim::Describe(zta_sim::Model::ZTA100);
  zta_sim::Instrument instrument(model, zta_sim::DefaultIdentity(model), {}, 0.0, 1);
  zta_sim::FaultPlan plan({}, 1);
  zta_sim::Vxi11Device device(instrument, plan);
  device.Stop();
  zta_sim::Vxi11RpcProgram program(device, 1024, 1);
  zta_sim::PortmapperService portmapper(1024);

  std::string_view rest(reinterpret_cast<const char*>(data), size);
  while (rest.size() >= 2) {
    const std::size_t length = (static_cast<std::size_t>(static_cast<unsigned char>(rest[0])) << 8) |
                               static_cast<unsigned char>(rest[1]);
    rest.remove_prefix(2);
    const std::string_view record = rest.substr(0, length);
    rest.remove_prefix(record.size());
    zta_sim::AnswerRecord(record, program);
    zta_sim::AnswerRecord(record, portmapper);
  }
  return 0;
}
