#include "fmtio/formatted_io.h"

#include <algorithm>
#include <cstring>

#include "platform/text.h"

namespace hvzelta {

HRESULT CFormattedIo::CCStringWriter::WriteText(const wchar_t* text, std::int32_t* count, bool flushWithEnd) {
  const std::string narrow = WideToUtf8(BstrView(text));
  return Write(narrow.data(), static_cast<std::int32_t>(narrow.size()), count, flushWithEnd);
}

HRESULT CFormattedIo::CCStringWriter::WriteByteArray(const SAFEARRAY* bytes, std::int32_t count,
                                                     std::int32_t* written, bool flushWithEnd) {
  if (!bytes || bytes->cDims != 1 || bytes->vt != VT_UI1) return E_INVALIDARG;
  const auto length = static_cast<std::int32_t>(std::min<std::uint32_t>(SafeArrayLength(bytes), INT32_MAX));
  return Write(bytes->pvData, std::clamp(count, 0, length), written, flushWithEnd);
}

HRESULT CFormattedIo::CCStringWriter::WriteChars(const char* text, std::int32_t* count, bool flushWithEnd) {
  if (!text) return E_INVALIDARG;
  return Write(text, static_cast<std::int32_t>(std::min<std::size_t>(std::strlen(text), INT32_MAX)), count,
               flushWithEnd);
}

HRESULT CFormattedIo::CCStringWriter::Write(const void* buffer, std::int32_t count, std::int32_t* written, bool) {
  if (!buffer && count > 0) return E_INVALIDARG;
  count = std::max(count, 0);
  try {
    text_.append(static_cast<const char*>(buffer), static_cast<std::size_t>(count));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  if (written) *written = count;
  return S_OK;
}

}  // namespace hvzelta
