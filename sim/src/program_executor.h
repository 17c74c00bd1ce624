#pragma once

// Runs one program message against the instrument, unit by unit, following
// the SCPI header path rules for compound messages.

#include <string>
#include <string_view>

#include "instrument_core.h"

namespace zta_sim {

// Response data of all queries, joined by ';', plus "\n" when there was
// any, is appended to `reply`.
void ExecuteProgramMessage(InstrumentCore& core, std::string_view message, std::string& reply);

}  // namespace zta_sim
