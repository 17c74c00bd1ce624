#pragma once

// How the buffer and the formatted I/O engines word their failures: an I/O
// error carries its own sentence as the insert of "I/O error: %1.", and an
// allocation failure adds its sentence below the out-of-memory message.

#include <cstdint>
#include <string_view>

#include "base/error_reporter.h"
#include "hvzelta/status.h"

namespace hvzelta {

inline HRESULT ReportIoError(IErrorReporter* reporter, std::string_view sentence) {
  if (!reporter) return E_HALVORNZELTA_IO_GENERAL;
  // The message supplies the full stop.
  if (!sentence.empty() && sentence.back() == '.') sentence.remove_suffix(1);
  return reporter->Report(Message::IoGeneral, {}, {sentence});
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
