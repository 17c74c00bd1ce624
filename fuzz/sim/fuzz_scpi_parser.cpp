// Any bytes from a client, through the SCPI parser alone and through a whole
// session with the instrument behind it, cut at newlines as a socket would
// deliver them. The first byte seeds the faults that reshape replies.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fault_plan.h"
#include "instrument.h"
#include "model_catalog.h"
#include "program_message.h"
#include "scpi_session.h"

namespace {

class DiscardReplies final : public zta_sim::ReplySink {
 public:
  void Deliver(const zta_sim::Reply&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  zta_sim::ProgramMessageParser parser(bytes);
  zta_sim::ProgramUnit unit;
  while (parser.Next(unit)) {
  }

  const zta_sim::ModelInfo& model = zta_sim::Describe(zta_sim::Model::ZTA100);
  zta_sim::Instrument instrument(model, zta_sim::DefaultIdentity(model), {}, 0.01, 1);
  zta_sim::FaultOptions faults;
  for (const auto kind : {zta_sim::FaultKind::Garbage, zta_sim::FaultKind::Truncate, zta_sim::FaultKind::ShortBlock}) {
    faults.faults.push_back({kind, 0, 0.05});
  }
  zta_sim::FaultPlan plan(faults, size > 0 ? data[0] : 0);
  zta_sim::ScpiSession session(instrument, plan);
  DiscardReplies sink;
  session.Feed(bytes, true, sink);
  return 0;
}
