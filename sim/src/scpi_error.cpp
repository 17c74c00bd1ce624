#include "scpi_error.h"

#include <array>
#include <utility>

namespace zta_sim {

namespace {

constexpr std::array<std::pair<ScpiError, std::string_view>, 31> kTexts{{
    {ScpiError::None, "No error"},
    {ScpiError::InvalidCharacter, "Invalid character"},
    {ScpiError::SyntaxError, "Syntax error"},
    {ScpiError::InvalidSeparator, "Invalid separator"},
    {ScpiError::DataTypeError, "Data type error"},
    {ScpiError::ParameterNotAllowed, "Parameter not allowed"},
    {ScpiError::MissingParameter, "Missing parameter"},
    {ScpiError::MnemonicTooLong, "Program mnemonic too long"},
    {ScpiError::UndefinedHeader, "Undefined header"},
    {ScpiError::HeaderSuffixOutOfRange, "Header suffix out of range"},
    {ScpiError::NumericDataError, "Numeric data error"},
    {ScpiError::InvalidCharacterInNumber, "Invalid character in number"},
    {ScpiError::ExponentTooLarge, "Exponent too large"},
    {ScpiError::TooManyDigits, "Too many digits"},
    {ScpiError::InvalidSuffix, "Invalid suffix"},
    {ScpiError::CharacterDataTooLong, "Character data too long"},
    {ScpiError::InvalidStringData, "Invalid string data"},
    {ScpiError::StringDataNotAllowed, "String data not allowed"},
    {ScpiError::InvalidBlockData, "Invalid block data"},
    {ScpiError::BlockDataNotAllowed, "Block data not allowed"},
    {ScpiError::TriggerIgnored, "Trigger ignored"},
    {ScpiError::InitIgnored, "Init ignored"},
    {ScpiError::SettingsConflict, "Settings conflict"},
    {ScpiError::DataOutOfRange, "Data out of range"},
    {ScpiError::IllegalParameterValue, "Illegal parameter value"},
    {ScpiError::DataCorruptOrStale, "Data corrupt or stale"},
    {ScpiError::QueueOverflow, "Queue overflow"},
    {ScpiError::InputBufferOverrun, "Input buffer overrun"},
    {ScpiError::QueryInterrupted, "Query INTERRUPTED"},
    {ScpiError::QueryUnterminated, "Query UNTERMINATED"},
    {ScpiError::QueryDeadlocked, "Query DEADLOCKED"},
}};

int Hundreds(ScpiError error) { return -static_cast<int>(error) / 100; }

}  // namespace

std::string_view ErrorText(ScpiError error) {
  for (const auto& [code, text] : kTexts) {
    if (code == error) return text;
  }
  return "Error";
}

std::uint8_t EventStatusBit(ScpiError error) {
  switch (Hundreds(error)) {
    case 1: return kEsrCommandError;
    case 2: return kEsrExecutionError;
    case 3: return kEsrDeviceError;
    case 4: return kEsrQueryError;
    default: return 0;
  }
}

bool IsCommandError(ScpiError error) { return Hundreds(error) == 1; }

}  // namespace zta_sim
