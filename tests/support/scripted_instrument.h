#pragma once

// A stand-in instrument on a loopback socket for tests that check the exact
// bytes the driver sends: it records every line it receives and answers each
// query from a script ("0" when the script has no answer). It serves one
// connection at a time until destroyed.

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace hvzelta::testing {

class ScriptedInstrument {
 public:
  ScriptedInstrument();
  ~ScriptedInstrument();
  ScriptedInstrument(const ScriptedInstrument&) = delete;
  ScriptedInstrument& operator=(const ScriptedInstrument&) = delete;

  // "TCPIP::127.0.0.1::<port>::SOCKET"
  std::string Resource() const;
  // The reply (without its line feed) to a received line equal to `command`.
  void Answer(const std::string& command, const std::string& reply);
  // No reply at all to `command`, as a stalled instrument.
  void Silence(const std::string& command);
  // The lines received since the last call, without their line feeds.
  std::vector<std::string> TakeReceived();

 private:
  void Serve();
  void Handle(int connection);

  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::map<std::string, std::string> answers_;
  std::vector<std::string> silenced_;
  std::vector<std::string> received_;
  std::thread thread_;
};

}  // namespace hvzelta::testing
