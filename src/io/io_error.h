#pragma once

// How the buffer and the formatted I/O engines word their failures: an I/O
// error carries its own sentence as the insert of "I/O error: %1.", and an
// allocation failure adds its sentence below the out-of-memory message.

#include <string_view>

#include "core/error_reporter.h"
#include "hvzelta/status.h"

namespace hvzelta {

inline HRESULT ReportIoError(IErrorReporter* reporter, std::string_view sentence) {
  if (!reporter) return E_HALVORNZELTA_IO_GENERAL;
  // The message supplies the full stop.
  if (!sentence.empty() && sentence.back() == '.') sentence.remove_suffix(1);
  return reporter->Report(Message::IoGeneral, {}, {sentence});
}

inline HRESULT ReportOutOfMemory(IErrorReporter* reporter, std::string_view sentence) {
  return reporter ? reporter->Report(Message::OutOfMemory, sentence) : E_IVI_OUT_OF_MEMORY;
}

}  // namespace hvzelta
