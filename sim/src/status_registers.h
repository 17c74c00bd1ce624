#pragma once

// The IEEE 488.2 status byte and event status register, and the SCPI
// operation and questionable register groups with the bits this instrument
// drives.

#include <cstdint>

namespace zta_sim {

// Operation condition bits.
inline constexpr std::uint16_t kOperMeasuring = 0x0010;
inline constexpr std::uint16_t kOperWaitingForTrigger = 0x0040;
inline constexpr std::uint16_t kOperConstantVoltage = 0x0100;
inline constexpr std::uint16_t kOperConstantCurrent = 0x0400;

// Questionable condition bits.
inline constexpr std::uint16_t kQuesOverCurrent = 0x0002;
inline constexpr std::uint16_t kQuesOverPower = 0x0020;
inline constexpr std::uint16_t kQuesPeakCurrent = 0x1000;

// Status byte bits.
inline constexpr std::uint8_t kStbErrorQueue = 0x04;
inline constexpr std::uint8_t kStbQuestionable = 0x08;
inline constexpr std::uint8_t kStbMessageAvailable = 0x10;
inline constexpr std::uint8_t kStbEventStatus = 0x20;
inline constexpr std::uint8_t kStbServiceRequest = 0x40;
inline constexpr std::uint8_t kStbOperation = 0x80;

// A condition register whose rising bits latch into the event register.
struct EventRegister {
  std::uint16_t condition = 0;
  std::uint16_t event = 0;
  std::uint16_t enable = 0;

  void Update(std::uint16_t now) {
    event = static_cast<std::uint16_t>(event | (now & ~condition));
    condition = now;
  }
  std::uint16_t TakeEvent() {
    const std::uint16_t taken = event;
    event = 0;
    return taken;
  }
  bool Summary() const { return (event & enable) != 0; }
};

struct StatusRegisters {
  std::uint8_t eventStatus = 0x80;  // power-on bit set until first read or *CLS
  std::uint8_t eventStatusEnable = 0;
  std::uint8_t serviceRequestEnable = 0;
  EventRegister operation;
  EventRegister questionable;

  std::uint8_t StatusByte(bool errorQueued, bool messageAvailable) const {
    std::uint8_t stb = 0;
    if (errorQueued) stb |= kStbErrorQueue;
    if (questionable.Summary()) stb |= kStbQuestionable;
    if (messageAvailable) stb |= kStbMessageAvailable;
    if ((eventStatus & eventStatusEnable) != 0) stb |= kStbEventStatus;
    if (operation.Summary()) stb |= kStbOperation;
    if ((stb & serviceRequestEnable) != 0) stb |= kStbServiceRequest;
    return stb;
  }
};

}  // namespace zta_sim
