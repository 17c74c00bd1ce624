#pragma once

// The numbered messages of the driver. The numbers are the message resource
// identifiers; texts, statuses and help contexts live in the message table.

namespace hvzelta {

enum class Message : int {
  Success = 1,
  CannotRecover,
  InstrumentStatus,
  CannotOpenFile,
  ReadingFile,
  WritingFile,
  InvalidPathname,
  InvalidValue,
  MethodNotSupported,
  PropertyNotSupported,
  ValueNotSupported,
  NotInitialized,
  UnknownChannelName,
  TooManyOpenFiles,
  ChannelNameRequired,
  MissingOptionName,
  MissingOptionValue,
  BadOptionName,
  BadOptionValue,
  OutOfMemory,
  OperationPending,
  NullPointer,
  UnexpectedResponse,
  FileNotFound,
  InvalidFileFormat,
  StatusNotAvailable,
  IdQueryFailed,
  ResetFailed,
  ResourceUnknown,
  AlreadyInitialized,
  CannotChangeSimulationState,
  InvalidNumberOfLevelsInSelector,
  InvalidRangeInSelector,
  UnknownNameInSelector,
  BadlyFormedSelector,
  UnknownPhysicalIdentifier,
  IdQueryNotSupported,
  ResetNotSupported,
  SelfTestNotSupported,
  ErrorQueryNotSupported,
  RevisionQueryNotSupported,
  IoGeneral,
  IoTimeout,
  ModelNotSupported,
  MeasurementNotInitiated,
  UnsupportedMeasurementGroup,
  MeasurementNotSupported,
  WaveformInUse,
  WaveformReserved,
  WaveformNotFound,
  DuplicateWaveformName,
  NoWaveformsAvailable,
  InvalidWaveformName,
  AllPhasesRequired,
  PhaseValuesDifferent,
  VoltageProtection,
  CurrentProtection,
  OutputEnabled,
  WaveformDcOffset,
  AllPhasesNotSupported,
};

static_assert(static_cast<int>(Message::UnknownPhysicalIdentifier) == 36);
static_assert(static_cast<int>(Message::IoGeneral) == 42);
static_assert(static_cast<int>(Message::AllPhasesNotSupported) == 60);

}  // namespace hvzelta
