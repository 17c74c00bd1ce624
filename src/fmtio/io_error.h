#pragma once

// How the buffer and the formatted I/O engines word their failures: an I/O
// error carries its own sentence as the insert of "I/O error: %1.", and an
// allocation failure adds its sentence below the out-of-memory message.

#include <cstdint>
#include <string_view>

#include "base/error_reporter.h"
#include "hvzelta/com/safearray.h"
#include "hvzelta/status.h"

namespace hvzelta {

inline HRESULT ReportIoError(IErrorReporter* reporter, std::string_view sentence) {
  if (!reporter) return E_HALVORNZELTA_IO_GENERAL;
  // The message supplies the full stop.
  if (!sentence.empty() && sentence.back() == '.') sentence.remove_suffix(1);
  return reporter->Report(Message::IoGeneral, {}, {sentence});
}

// A missing pointer, reported as everywhere in the driver: the worded
// null-pointer message naming the method and parameter. Only code without a
// reporter falls back to the bare status.
inline HRESULT ReportNullPointer(IErrorReporter* reporter, std::string_view method, std::string_view parameter) {
  return reporter ? reporter->ReportNullPointer(method, parameter) : E_POINTER;
}

// The I/O failures the buffer and the sessions report in fixed words, each
// worded once in IoFailureText. The words are the ones callers have matched
// for years, double space and all: keep them as they are.
enum class IoFailure {
  PushBackUnread,
  ByteArrayNull,
  ByteArrayNotOneDimensional,
  ByteArrayWrongType,
  ByteArrayCopy,
  ByteArrayAllocate,
  ReadCopy,
  WriteTooLong,
  ResourceManagerMissing,
  CloseFailed,
  UnsupportedAccessMode,
  UnsupportedProtocol,
  // A value with no VISA counterpart.
  UnsupportedAddressSpace,
  UnsupportedDataWidth,
  UnsupportedEventMechanism,
  UnsupportedEventType,
  UnsupportedTriggerProtocol,
};

constexpr std::string_view IoFailureText(IoFailure failure) {
  switch (failure) {
    case IoFailure::PushBackUnread:
      return "Can't push character back into read buffer.  Buffer has not been read from.";
    case IoFailure::ByteArrayNull: return "SAFEARRAY is NULL.";
    case IoFailure::ByteArrayNotOneDimensional: return "SAFEARRAY is not one-dimensional.";
    case IoFailure::ByteArrayWrongType: return "SAFEARRAY was not of the expected type.";
    case IoFailure::ByteArrayCopy: return "Write could not copy data to SAFEARRAY.";
    case IoFailure::ByteArrayAllocate: return "Write could not allocate SAFEARRAY.";
    case IoFailure::ReadCopy: return "Read function failed to copy data into the user buffer.";
    case IoFailure::WriteTooLong: return "The text to write is longer than 2 GiB.";
    case IoFailure::ResourceManagerMissing:
      return "Could not create instance of VISA-COM Global Resource Manager Component. Make sure it is installed "
             "properly.";
    case IoFailure::CloseFailed: return "Closing the VISA session failed.";
    case IoFailure::UnsupportedAccessMode: return "Unsupported VISA session access mode.";
    case IoFailure::UnsupportedProtocol: return "Unsupported VISA I/O protocol.";
    case IoFailure::UnsupportedAddressSpace: return "Unsupported VISA address space.";
    case IoFailure::UnsupportedDataWidth: return "Unsupported VISA data width.";
    case IoFailure::UnsupportedEventMechanism: return "Unsupported VISA event mechanism.";
    case IoFailure::UnsupportedEventType: return "Unsupported VISA event type.";
    case IoFailure::UnsupportedTriggerProtocol: return "Unsupported VISA trigger protocol.";
  }
  return {};
}

inline HRESULT ReportIoError(IErrorReporter* reporter, IoFailure failure) {
  return ReportIoError(reporter, IoFailureText(failure));
}

// A byte array a caller writes from: one dimension of bytes, or the failure
// that says what is wrong with it.
inline HRESULT CheckByteArray(IErrorReporter* reporter, const SAFEARRAY* bytes) {
  if (!bytes) return ReportIoError(reporter, IoFailure::ByteArrayNull);
  if (bytes->cDims != 1) return ReportIoError(reporter, IoFailure::ByteArrayNotOneDimensional);
  if (bytes->vt != VT_UI1) return ReportIoError(reporter, IoFailure::ByteArrayWrongType);
  return S_OK;
}

// A status of the VISA library (its errors are 0xBFFFxxxx), which the raw
// operations return unchanged.
inline bool IsLibraryError(HRESULT hr) { return (static_cast<std::uint32_t>(hr) & 0xFFFF0000u) == 0xBFFF0000u; }

// The formatted I/O path reports a failed raw transfer as the driver's I/O
// error, and the library's timeout as the I/O timeout error; the description
// the session recorded for the failure stands.
inline HRESULT AsDriverIoStatus(HRESULT hr) {
  constexpr HRESULT kLibraryTimeout = static_cast<HRESULT>(0xBFFF0015u);
  if (!IsLibraryError(hr)) return hr;
  return hr == kLibraryTimeout ? E_HALVORNZELTA_IO_TIMEOUT : E_HALVORNZELTA_IO_GENERAL;
}

inline HRESULT ReportOutOfMemory(IErrorReporter* reporter, std::string_view sentence) {
  return reporter ? reporter->Report(Message::OutOfMemory, sentence) : E_IVI_OUT_OF_MEMORY;
}

}  // namespace hvzelta
