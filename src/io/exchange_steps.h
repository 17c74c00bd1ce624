#pragma once

// What one formatted operation of the I/O session does. Every formatted
// operation (Printf, Scanf, Queryf, their variants and the typed
// conveniences) is the same sequence with some steps left out, so the session
// runs one engine over a row of this kind instead of a body per operation.

namespace hvzelta {

// Whether an operation that completes a message polls instrument errors after.
enum class Polling : bool { Off, On };

struct ExchangeSteps {
  bool drainFirst = false;     // drop what is left of an earlier response
  bool write = false;          // the write engine with the write format
  bool completeWrite = false;  // send the write buffer with the terminator and END
  bool read = false;           // the read engine with the read format
  bool completeRead = false;   // drop what the read format left of the response
  bool poll = false;           // poll instrument errors once everything succeeded

  // A write or a read polls only when it completes a message.
  static constexpr ExchangeSteps Write(bool complete, Polling polling) {
    return {.write = true, .completeWrite = complete, .poll = complete && polling == Polling::On};
  }
  static constexpr ExchangeSteps Read(bool complete, Polling polling) {
    return {.read = true, .completeRead = complete, .poll = complete && polling == Polling::On};
  }
  // A whole query: the earlier response drained, the command sent, the reply
  // read, its rest dropped.
  static constexpr ExchangeSteps Query(Polling polling) {
    return {.drainFirst = true,
            .write = true,
            .completeWrite = true,
            .read = true,
            .completeRead = true,
            .poll = polling == Polling::On};
  }
};

inline constexpr ExchangeSteps kPrintf = ExchangeSteps::Write(true, Polling::On);
inline constexpr ExchangeSteps kPrintfNoFlush = ExchangeSteps::Write(false, Polling::Off);
inline constexpr ExchangeSteps kScanf = ExchangeSteps::Read(true, Polling::On);
inline constexpr ExchangeSteps kScanfNoFlush = ExchangeSteps::Read(false, Polling::Off);
// Queryf leaves what its read format did not consume for the next drain.
inline constexpr ExchangeSteps kQueryfNoPoll{.drainFirst = true, .write = true, .completeWrite = true, .read = true};
inline constexpr ExchangeSteps kQueryf{
    .drainFirst = true, .write = true, .completeWrite = true, .read = true, .poll = true};

}  // namespace hvzelta
