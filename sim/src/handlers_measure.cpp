// Measurements: MEASure acquires anew, FETCh reads the last acquisition;
// averaging and the peak-hold reset.

#include <array>

#include "command_handlers.h"
#include "parameter_decode.h"

namespace zta_sim::handlers {

namespace {

constexpr Limits kAverageLimits{1.0, 16.0, 1.0};
constexpr std::array<double, 5> kAverageCounts{1.0, 2.0, 4.0, 8.0, 16.0};

}  // namespace

void Measure(Call& call) {
  if (call.Expect(0)) call.ReplyReal(At(call.core.Measure(), call.Argument<Quantity>()));
}

void Fetch(Call& call) {
  if (!call.Expect(0)) return;
  const std::optional<Readings> readings = call.core.Fetch();
  if (!readings) return call.Error(ScpiError::DataCorruptOrStale);
  call.ReplyReal(At(*readings, call.Argument<Quantity>()));
}

void SetAverage(Call& call) {
  if (!call.Expect(1)) return;
  const auto count = DecodeNumber(call, call[0], kAverageLimits, Unit::None);
  if (!count) return;
  for (const double allowed : kAverageCounts) {
    if (*count == allowed) {
      call.core.settings.averageCount = static_cast<int>(allowed);
      return;
    }
  }
  call.Error(ScpiError::IllegalParameterValue);
}

void QueryAverage(Call& call) {
  if (!call.ExpectBetween(0, 1)) return;
  if (call.Count() == 0) return call.ReplyInteger(call.core.settings.averageCount);
  if (const auto word = DecodeLimitWord(call, call[0])) {
    call.ReplyInteger(static_cast<long long>(Pick(kAverageLimits, *word)));
  }
}

void ClearPeakHold(Call& call) {
  if (call.Expect(0)) call.core.ClearPeakHold();
}

}  // namespace zta_sim::handlers
