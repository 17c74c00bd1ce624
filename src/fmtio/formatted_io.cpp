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

HRESULT CFormattedIo::CCStringReader::ReadDirect(void* buffer, std::int32_t count, std::int32_t* actual, bool) {
  if (!buffer && count > 0) return E_INVALIDARG;
  const std::size_t taken = std::min(message_.size(), static_cast<std::size_t>(std::max(count, 0)));
  if (taken) std::memcpy(buffer, message_.data(), taken);
  message_.remove_prefix(taken);
  if (actual) *actual = static_cast<std::int32_t>(taken);
  return Left();
}

HRESULT CFormattedIo::CCStringReader::PeekUnread(bool raw, const std::uint8_t** data, std::int32_t* count) {
  if (!data || !count) return E_POINTER;
  const std::size_t shown = message_.size() - (!raw && EndsWithTerminator() ? 1 : 0);
  *data = reinterpret_cast<const std::uint8_t*>(message_.data());
  *count = static_cast<std::int32_t>(std::min<std::size_t>(shown, INT32_MAX));
  // The whole message is shown at once: these bytes end it, unless it is
  // longer than one view can show.
  return static_cast<std::size_t>(*count) == shown ? S_OK : S_MORE_DATA_AVAILABLE;
}

HRESULT CFormattedIo::CCStringReader::SkipUnread(bool raw, std::int32_t count) {
  message_.remove_prefix(std::min(message_.size(), static_cast<std::size_t>(std::max(count, 0))));
  if (!raw && message_.size() == 1 && EndsWithTerminator()) message_ = {};
  return Left();
}

}  // namespace hvzelta
