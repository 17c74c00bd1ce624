#pragma once

// An emulated ZTA-family AC power source that test programs start in-process.
// It serves the instrument's SCPI command set over a raw TCP socket, a
// pseudo-terminal, a VXI-11 core channel and HiSLIP, all on loopback unless
// told otherwise, from threads of its own that Stop() joins.

#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zta_sim {

enum class Model { ZTA100, ZTA200, ZTA300, ZTA400 };

// The load on the output terminals. A crest factor above sqrt(2) stands for
// a rectifier-like load: current peaks grow and the power factor drops.
struct Load {
  double resistanceOhm = 50.0;
  double inductanceHenry = 0.0;
  double crestFactor = std::sqrt(2.0);
};

// What goes wrong with a reply on purpose, for reliability tests.
enum class FaultKind {
  Stall,       // no reply, and the connection stays silent until cleared or closed
  Drop,        // the connection is closed instead of replying
  Garbage,     // the reply is replaced by random printable bytes and a newline
  Truncate,    // only the first half of the reply is sent, without terminator
  Oversize,    // the reply is padded to more than a mebibyte
  ShortBlock,  // a definite-length block header announcing more bytes than follow
  Late,        // the reply is held back by FaultOptions::lateDelay
  Doubled,     // the reply is sent twice
  Split,       // the first half of the reply at once, the rest FaultOptions::lateDelay later
  Trickle,     // no reply: a chunk of digits every FaultOptions::trickleInterval, never a terminator,
               // until the connection closes or the device is cleared (a stall over HiSLIP and VXI-11)
};

// A fault on the program message numbered atMessage (counted from 1 over all
// connections), or, when atMessage is 0, on each message with the given
// probability (0..1) drawn from the emulator's seeded generator.
struct Fault {
  FaultKind kind = FaultKind::Stall;
  std::uint64_t atMessage = 0;
  double probability = 0.0;
};

struct FaultOptions {
  std::chrono::milliseconds replyDelay{0};    // added to every reply
  std::chrono::milliseconds lateDelay{2000};  // what a Late fault adds, and when a Split one's tail comes
  std::chrono::milliseconds trickleInterval{500};
  std::size_t trickleChunk = 2048;
  std::vector<Fault> faults;
};

struct Options {
  Model model = Model::ZTA100;
  std::string idn;  // whole "*IDN?" answer; empty builds it from the model
  Load load;
  double noise = 0.0;  // relative standard deviation of measurements; 0 is exact
  std::uint64_t seed = 1;
  FaultOptions faults;
  bool verbose = false;  // print each program message and its reply to stderr

  std::string bindAddress = "127.0.0.1";
  bool socket = true;
  std::uint16_t socketPort = 0;  // 0 takes a free port
  bool serial = false;           // serve a pseudo-terminal
  bool vxi11 = false;
  std::uint16_t vxi11Port = 0;       // core and abort channel
  std::uint16_t portmapperPort = 0;  // 111 is the standard one
  bool hislip = false;
  std::uint16_t hislipPort = 0;  // 4880 is the standard one
  // A network connection that sends nothing for this long is closed, so
  // that clients that went away without closing cannot use up the
  // connections; 0 keeps connections open for ever.
  std::chrono::milliseconds idleTimeout{0};
};

// Where the running emulator can be reached; a port of 0 or an empty path
// means that transport is off.
struct Endpoints {
  std::string address;
  std::uint16_t socketPort = 0;
  std::string serialPath;
  std::uint16_t vxi11Port = 0;
  std::uint16_t portmapperPort = 0;
  std::uint16_t hislipPort = 0;
};

class Emulator {
 public:
  explicit Emulator(Options options);
  ~Emulator();
  Emulator(const Emulator&) = delete;
  Emulator& operator=(const Emulator&) = delete;

  // Opens every transport the options ask for and starts serving. Throws
  // std::system_error when a port cannot be bound or a pseudo-terminal
  // cannot be made; nothing is left running then. An emulator starts once;
  // a second call only reports the endpoints.
  Endpoints Start();

  // Stops serving and joins every thread, also when a client stalls. Safe
  // to call twice; the destructor calls it.
  void Stop();

  // Changes the load while running, as if the operator rewired the output.
  void SetLoad(const Load& load);

  // Makes the next program message (on any connection) suffer the fault.
  void ArmFault(FaultKind kind);

  // Program messages received so far, over all connections.
  std::uint64_t MessageCount() const;
  // Faults that struck so far, armed or drawn.
  std::uint64_t FaultCount() const;

 private:
  struct State;
  Options options_;
  std::unique_ptr<State> state_;
};

}  // namespace zta_sim
