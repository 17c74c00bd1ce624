#pragma once

// What a command handler gets: the instrument, the parsed program unit, the
// handler argument of its table row, and the reply under construction.
// Parameter problems are raised here as SCPI errors.

#include <cstddef>
#include <string>
#include <string_view>

#include "instrument_core.h"
#include "program_message.h"

namespace zta_sim {

class Call {
 public:
  Call(InstrumentCore& instrument, const ProgramUnit& programUnit, int rowArgument, std::string& reply,
       std::size_t replyStart)
      : core(instrument), unit(programUnit), argument(rowArgument), reply_(reply), replyStart_(replyStart) {}

  InstrumentCore& core;
  const ProgramUnit& unit;
  const int argument;

  template <typename Enum>
  Enum Argument() const {
    return static_cast<Enum>(argument);
  }

  std::size_t Count() const { return unit.count; }
  const Parameter& operator[](std::size_t index) const { return unit.parameters[index]; }

  // Raises "Missing parameter" or "Parameter not allowed" unless the unit
  // has between min and max parameters.
  bool ExpectBetween(std::size_t min, std::size_t max);
  bool Expect(std::size_t count) { return ExpectBetween(count, count); }

  void Error(ScpiError error);
  // Response data of earlier units of the message waits in the output.
  bool messageAvailable() const { return reply_.size() > replyStart_; }
  bool commandError() const { return commandError_; }

  // Response data; units of one message are joined with ';'.
  void ReplyReal(double value);     // NR3, "+1.20000000E+02"
  void ReplyInteger(long long value);  // NR1
  void ReplyText(std::string_view text);

 private:
  void Separate();

  std::string& reply_;
  std::size_t replyStart_;
  bool commandError_ = false;
};

}  // namespace zta_sim
