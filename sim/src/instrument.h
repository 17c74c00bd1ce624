#pragma once

// The one instrument that every connection talks to, whatever the
// transport: its state is shared, and each program message runs whole
// under its lock.

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "instrument_core.h"

namespace zta_sim {

class Instrument {
 public:
  // `verbose` prints each program message and its reply to stderr.
  Instrument(const ModelInfo& model, std::string identity, const Load& load, double noise, std::uint64_t seed,
             bool verbose = false);

  // Appends the reply (terminated by "\n") when the message had queries.
  void Execute(std::string_view message, std::string& reply);
  // Errors that transports detect: input overrun, interrupted queries.
  void ReportError(ScpiError error);
  std::uint8_t StatusByte(bool messageAvailable);
  // The bus trigger of a transport (VXI-11 device_trigger), as *TRG.
  void BusTrigger();
  void SetLoad(const Load& load);

 private:
  std::mutex mutex_;
  InstrumentCore core_;
  bool verbose_;
};

}  // namespace zta_sim
