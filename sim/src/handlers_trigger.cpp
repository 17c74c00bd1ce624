// The trigger system: initiating the transient and the acquisition, and
// aborting both. The bus trigger is *TRG, among the common commands.

#include "command_handlers.h"

namespace zta_sim::handlers {

void InitiateTransient(Call& call) {
  if (call.Expect(0)) call.core.InitiateTransient();
}

void InitiateAcquire(Call& call) {
  if (call.Expect(0)) call.core.InitiateAcquire();
}

void Abort(Call& call) {
  if (call.Expect(0)) call.core.Abort();
}

}  // namespace zta_sim::handlers
