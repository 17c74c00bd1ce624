#pragma once

// SCPI over a serial line: a pseudo-terminal whose slave side a client
// opens like a serial port (its path is printed at start). The emulator
// holds the slave open itself, so clients may come and go.
//
// A serial line has no device clear message. The master runs in packet
// mode, where a client flushing its side of the line (tcflush) shows up as
// a status byte: the emulator takes that as the device clear, drops a reply
// it is holding back or trickling, and lifts a stall.

#include <string>
#include <thread>

#include "transport.h"

namespace zta_sim {

class SerialPtyTransport final : public Transport {
 public:
  explicit SerialPtyTransport(const TransportContext& context);
  ~SerialPtyTransport() override;

  void Start() override;
  void Stop() override;
  void Describe(Endpoints& endpoints) const override;

 private:
  void Serve();

  TransportContext context_;
  int master_ = -1;
  int slave_ = -1;
  int wake_ = -1;  // eventfd that Stop() signals
  std::string path_;
  std::thread thread_;
};

}  // namespace zta_sim
