#pragma once

// The standard SCPI error and event numbers this instrument reports, their
// texts, and the event status bit each class of error sets.

#include <cstdint>
#include <string_view>

namespace zta_sim {

enum class ScpiError : int {
  None = 0,
  InvalidCharacter = -101,
  SyntaxError = -102,
  InvalidSeparator = -103,
  DataTypeError = -104,
  ParameterNotAllowed = -108,
  MissingParameter = -109,
  MnemonicTooLong = -112,
  UndefinedHeader = -113,
  HeaderSuffixOutOfRange = -114,
  NumericDataError = -120,
  InvalidCharacterInNumber = -121,
  ExponentTooLarge = -123,
  TooManyDigits = -124,
  InvalidSuffix = -131,
  CharacterDataTooLong = -144,
  InvalidStringData = -151,
  StringDataNotAllowed = -158,
  InvalidBlockData = -161,
  BlockDataNotAllowed = -168,
  TriggerIgnored = -211,
  InitIgnored = -213,
  SettingsConflict = -221,
  DataOutOfRange = -222,
  IllegalParameterValue = -224,
  DataCorruptOrStale = -230,
  QueueOverflow = -350,
  InputBufferOverrun = -363,
  QueryInterrupted = -410,
  QueryUnterminated = -420,
  QueryDeadlocked = -430,
};

std::string_view ErrorText(ScpiError error);

// Standard event status register bits.
inline constexpr std::uint8_t kEsrOperationComplete = 0x01;
inline constexpr std::uint8_t kEsrQueryError = 0x04;
inline constexpr std::uint8_t kEsrDeviceError = 0x08;
inline constexpr std::uint8_t kEsrExecutionError = 0x10;
inline constexpr std::uint8_t kEsrCommandError = 0x20;
inline constexpr std::uint8_t kEsrPowerOn = 0x80;

// Command errors (-1xx) set 0x20, execution errors (-2xx) 0x10,
// device-dependent errors (-3xx) 0x08, query errors (-4xx) 0x04.
std::uint8_t EventStatusBit(ScpiError error);

// Command errors leave the rest of the program message unparsed.
bool IsCommandError(ScpiError error);

}  // namespace zta_sim
