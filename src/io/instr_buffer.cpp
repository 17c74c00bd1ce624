#include "io/instr_buffer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "base/error_reporter.h"
#include "fmtio/io_error.h"
#include "hvzelta/status.h"
#include "platform/text.h"

namespace hvzelta {

namespace {

// The piece a drain asks the device for in one read: large, since the
// whole drain must fit in what is left of the call's timeout.
constexpr std::int32_t kDrainPiece = 64 * 1024;

// How long a call may run before its transfers are given what is left of
// its timeout instead of the channel's own: below it the difference is
// less than the timeout's resolution.
constexpr auto kYoungCall = std::chrono::milliseconds(1);

std::unique_ptr<std::uint8_t[]> ZeroedBytes(std::size_t count) {
  return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[count]());
}

}  // namespace

CInstrBuffer::CInstrBuffer(ILowLevelIo& channel, IErrorReporter& reporter, std::string_view readTerminator,
                           std::string_view writeTerminator)
    : channel_(channel), reporter_(reporter), writeTerminator_(writeTerminator), readTerminator_(readTerminator) {
  readBuffer_ = ZeroedBytes(static_cast<std::size_t>(readCapacity_));
  writeBuffer_ = ZeroedBytes(static_cast<std::size_t>(writeCapacity_) + writeTerminator_.size());
}

HRESULT CInstrBuffer::ReadStatus() const {
  if (contentUnread_ > 0) return S_MORE_DATA_AVAILABLE;
  return endReached_ ? S_OK : S_MORE_DATA_AVAILABLE;
}

bool CInstrBuffer::EndsWithReadTerminator(std::int32_t bytes) const {
  const auto length = static_cast<std::int32_t>(readTerminator_.size());
  if (length == 0 || bytes < length) return false;
  const std::int32_t start = readPosition_.value_or(0) + bytes - length;
  return std::memcmp(readBuffer_.get() + start, readTerminator_.data(), readTerminator_.size()) == 0;
}

std::optional<std::int32_t> CInstrBuffer::TransferTimeout() {
  if (!callStart_) return kKeepTimeout;
  const auto elapsed = Clock::now() - *callStart_;
  if (elapsed < kYoungCall) return kKeepTimeout;
  if (!callTimeout_) callTimeout_ = channel_.CurrentTimeout();
  if (*callTimeout_ < 0) return kKeepTimeout;
  const auto left = *callTimeout_ - std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
  if (left <= 0) return std::nullopt;
  return static_cast<std::int32_t>(left);
}

HRESULT CInstrBuffer::ReportCallTimeout() {
  return reporter_.Report(Message::IoTimeout, {}, {"The operation timed out before it completed"});
}

HRESULT CInstrBuffer::Fill() {
  const std::optional<std::int32_t> timeout = TransferTimeout();
  if (!timeout) return ReportCallTimeout();
  std::int32_t got = 0;
  const HRESULT hr = channel_.LowLevelReadNoPoll(readBuffer_.get(), readCapacity_, &got, *timeout);
  if (Failed(hr)) return hr;
  rawUnread_ = std::clamp(got, 0, readCapacity_);
  readDirty_ = std::max(readDirty_, rawUnread_);
  readPosition_.reset();
  swallowed_ = 0;
  endReached_ = endReachedAtFill_ = hr != S_MORE_DATA_AVAILABLE;
  contentUnread_ = rawUnread_;
  if (endReached_ && EndsWithReadTerminator(rawUnread_)) {
    contentUnread_ -= static_cast<std::int32_t>(readTerminator_.size());
  }
  return hr;
}

void CInstrBuffer::Consume(std::uint8_t* destination, std::int32_t count, bool raw) {
  if (count <= 0 || count > (raw ? rawUnread_ : contentUnread_)) return;
  const std::int32_t position = readPosition_.value_or(0);
  if (destination) std::memcpy(destination, readBuffer_.get() + position, static_cast<std::size_t>(count));
  rawUnread_ -= count;
  readPosition_ = position + count;
  contentUnread_ = std::max(contentUnread_ - count, 0);
  swallowed_ = 0;
  const auto length = static_cast<std::int32_t>(readTerminator_.size());
  if (!raw && endReached_ && length > 0 && rawUnread_ == length && EndsWithReadTerminator(rawUnread_)) {
    rawUnread_ = 0;
    readPosition_ = *readPosition_ + length;
    swallowed_ = length;
  }
}

HRESULT CInstrBuffer::ReadChar(std::uint8_t* character) { return Read(character, 1, nullptr, false); }

HRESULT CInstrBuffer::ReadText(BSTR* text, std::int32_t count, bool flushAfter) {
  if (!text) return reporter_.ReportNullPointer("ReadText", "pbstrBuf");
  *text = nullptr;
  std::vector<std::uint8_t> bytes;
  try {
    bytes.resize(static_cast<std::size_t>(std::max(count, 0)));
  } catch (const std::bad_alloc&) {
    return ReportOutOfMemory(&reporter_, "Could not allocate BSTR memory for Read.");
  }
  std::int32_t actual = 0;
  const HRESULT hr = Read(bytes.data(), count, &actual, flushAfter);
  if (Failed(hr)) return hr;
  try {
    const std::wstring wide =
        Utf8ToWide(std::string_view(reinterpret_cast<const char*>(bytes.data()), static_cast<std::size_t>(actual)));
    *text = SysAllocStringLen(wide.data(), static_cast<std::uint32_t>(wide.size()));
  } catch (const std::bad_alloc&) {
  }
  if (!*text) return ReportOutOfMemory(&reporter_, "Could not allocate BSTR memory for Read.");
  return hr;
}

HRESULT CInstrBuffer::ReadByteArray(SAFEARRAY** bytes, std::int32_t count, bool flushAfter) {
  if (!bytes) return reporter_.ReportNullPointer("ReadByteArray", "ppsaBuf");
  *bytes = nullptr;
  SafeArrayPtr array(SafeArrayCreateVector(VT_UI1, 0, static_cast<std::uint32_t>(std::max(count, 0))));
  if (!array) return ReportOutOfMemory(&reporter_, "Could not allocate SAFEARRAY memory for Read.");
  std::int32_t actual = 0;
  const HRESULT hr = Read(array->pvData, count, &actual, flushAfter);
  if (Failed(hr)) return hr;
  const SAFEARRAYBOUND shrunk{static_cast<std::uint32_t>(actual), 0};
  if (Failed(SafeArrayRedim(array.get(), &shrunk))) {
    return ReportOutOfMemory(&reporter_, "Could not allocate SAFEARRAY memory for Read.");
  }
  *bytes = array.release();
  return hr;
}

HRESULT CInstrBuffer::ReadBlock(void* buffer, std::int32_t count, std::int32_t* actual, bool flushAfter) {
  return Read(buffer, count, actual, flushAfter);
}

HRESULT CInstrBuffer::Read(void* buffer, std::int32_t count, std::int32_t* actual, bool flushAfter) {
  if (!buffer) return reporter_.ReportNullPointer("Read", "pBuf");
  auto* destination = static_cast<std::uint8_t*>(buffer);
  std::int32_t copied = 0;
  HRESULT hr = S_OK;
  if (count >= 1 && contentUnread_ == 0) hr = Fill();
  while (Succeeded(hr)) {
    const std::int32_t piece = std::min(count - copied, contentUnread_);
    Consume(destination + copied, piece, false);
    copied += piece;
    if (copied >= count || endReached_) break;
    hr = Fill();
    if (Succeeded(hr) && contentUnread_ < 1) break;
  }
  if (actual) *actual = copied;
  if (Failed(hr)) return hr;
  return flushAfter ? FlushRead() : ReadStatus();
}

HRESULT CInstrBuffer::UnreadChar() {
  // A position of 0 happens only after the whole fill was pushed back.
  if (!readPosition_ || *readPosition_ - swallowed_ < 1) {
    return ReportIoError(&reporter_, IoFailure::PushBackUnread);
  }
  if (contentUnread_ == 0) endReached_ = endReachedAtFill_;
  rawUnread_ += 1 + swallowed_;
  readPosition_ = *readPosition_ - 1 - swallowed_;
  contentUnread_ += 1;
  swallowed_ = 0;
  return S_OK;
}

HRESULT CInstrBuffer::ReadDirect(void* buffer, std::int32_t count, std::int32_t* actual, bool flushAfter) {
  if (!buffer) return reporter_.ReportNullPointer("ReadDirect", "pBuf");
  count = std::max(count, 0);
  VARIANT_BOOL termEnabled = VARIANT_FALSE;
  HRESULT hr = channel_.GetTerminationCharacterEnabled(&termEnabled);
  if (Failed(hr)) return hr;
  if (termEnabled) {
    hr = channel_.SetTerminationCharacterEnabled(VARIANT_FALSE);
    if (Failed(hr)) return hr;
  }
  auto* destination = static_cast<std::uint8_t*>(buffer);
  const std::int32_t buffered = std::min(count, rawUnread_);
  Consume(destination, buffered, true);
  std::int32_t total = count;
  hr = S_OK;
  if (buffered < count) {
    const std::optional<std::int32_t> timeout = TransferTimeout();
    std::int32_t direct = 0;
    hr = timeout ? channel_.LowLevelReadNoPoll(destination + buffered, count - buffered, &direct, *timeout)
                 : ReportCallTimeout();
    total = buffered + std::clamp(direct, 0, count - buffered);
    if (Succeeded(hr)) endReached_ = endReachedAtFill_ = hr != S_MORE_DATA_AVAILABLE;
  }
  if (actual) *actual = total;
  if (Succeeded(hr)) hr = flushAfter ? FlushRead() : ReadStatus();
  if (termEnabled) {
    const HRESULT restored = channel_.SetTerminationCharacterEnabled(VARIANT_TRUE);
    if (Succeeded(hr) && Failed(restored)) hr = restored;
  }
  return hr;
}

HRESULT CInstrBuffer::PeekUnread(bool raw, const std::uint8_t** data, std::int32_t* count) {
  if (!data) return reporter_.ReportNullPointer("PeekUnread", "data");
  if (!count) return reporter_.ReportNullPointer("PeekUnread", "count");
  if ((raw ? rawUnread_ : contentUnread_) == 0) {
    const HRESULT hr = Fill();
    if (Failed(hr)) return hr;
  }
  *data = readBuffer_.get() + readPosition_.value_or(0);
  *count = raw ? rawUnread_ : contentUnread_;
  return endReached_ ? S_OK : S_MORE_DATA_AVAILABLE;
}

HRESULT CInstrBuffer::SkipUnread(bool raw, std::int32_t count) {
  if (count < 0 || count > (raw ? rawUnread_ : contentUnread_)) return E_INVALIDARG;
  Consume(nullptr, count, raw);
  if (raw) return rawUnread_ > 0 || !endReached_ ? S_MORE_DATA_AVAILABLE : S_OK;
  return ReadStatus();
}

HRESULT CInstrBuffer::FlushRead() {
  HRESULT hr = S_OK;
  if (!endReachedAtFill_) {
    do {
      const std::optional<std::int32_t> timeout = TransferTimeout();
      if (!timeout) {
        hr = ReportCallTimeout();
        break;
      }
      BSTR text = nullptr;
      hr = channel_.LowLevelReadStringNoPoll(&text, kDrainPiece, *timeout);
      SysFreeString(text);
    } while (hr == S_MORE_DATA_AVAILABLE);
  }
  DiscardRead();
  return hr;
}

void CInstrBuffer::DiscardRead() {
  std::memset(readBuffer_.get(), 0, static_cast<std::size_t>(readDirty_));
  readDirty_ = 0;
  rawUnread_ = contentUnread_ = 0;
  readPosition_.reset();
  swallowed_ = 0;
  endReached_ = endReachedAtFill_ = true;
}

void CInstrBuffer::DiscardWrite() {
  // Nothing behind the waiting bytes and a terminator was ever written.
  std::memset(writeBuffer_.get(), 0, static_cast<std::size_t>(writeCount_) + writeTerminator_.size());
  writeCount_ = 0;
  messageOpen_ = openMessageTerminated_ = false;
}

HRESULT CInstrBuffer::WriteChar(std::uint8_t character, bool flushWithEnd) {
  return Write(&character, 1, nullptr, flushWithEnd);
}

HRESULT CInstrBuffer::WriteText(const wchar_t* text, std::int32_t* count, bool flushWithEnd) {
  std::string narrow;
  try {
    narrow = WideToUtf8(BstrView(text));
  } catch (const std::bad_alloc&) {
    return ReportOutOfMemory(&reporter_, {});
  }
  return Write(narrow.data(), static_cast<std::int32_t>(narrow.size()), count, flushWithEnd);
}

HRESULT CInstrBuffer::WriteByteArray(const SAFEARRAY* bytes, std::int32_t count, std::int32_t* written,
                                     bool flushWithEnd) {
  if (HRESULT hr = CheckByteArray(&reporter_, bytes); Failed(hr)) return hr;
  const auto length = static_cast<std::int32_t>(std::min<std::uint32_t>(SafeArrayLength(bytes), INT32_MAX));
  return Write(bytes->pvData, std::clamp(count, 0, length), written, flushWithEnd);
}

HRESULT CInstrBuffer::WriteChars(const char* text, std::int32_t* count, bool flushWithEnd) {
  if (!text) return reporter_.ReportNullPointer("WriteChars", "pBuf");
  return Write(text, static_cast<std::int32_t>(std::min<std::size_t>(std::strlen(text), INT32_MAX)), count,
               flushWithEnd);
}

HRESULT CInstrBuffer::Write(const void* buffer, std::int32_t count, std::int32_t* written, bool flushWithEnd) {
  if (!buffer) return reporter_.ReportNullPointer("Write", "pBuf");
  const auto* source = static_cast<const std::uint8_t*>(buffer);
  std::int32_t taken = 0;
  HRESULT hr = S_OK;
  // A full buffer goes out only when more bytes follow, so that the last
  // piece of a message is always there to carry END (a message whose
  // length is a multiple of the buffer would otherwise never end).
  while (taken < count && Succeeded(hr)) {
    if (writeCount_ == writeCapacity_) {
      hr = FlushWrite(false);
      if (Failed(hr)) break;
    }
    const std::int32_t piece = std::min(count - taken, writeCapacity_ - writeCount_);
    std::memcpy(writeBuffer_.get() + writeCount_, source + taken, static_cast<std::size_t>(piece));
    writeCount_ += piece;
    taken += piece;
  }
  if (Succeeded(hr) && flushWithEnd) hr = FlushWrite(true);
  if (written) *written = taken;
  return hr;
}

HRESULT CInstrBuffer::FlushWrite(bool sendEnd) {
  // Nothing waits, but a message was begun without END: it still needs its
  // terminator, or at least END on a transfer of its own.
  if (writeCount_ < 1 && !(sendEnd && messageOpen_)) return S_OK;
  bool endSwitchedOff = false;
  if (!sendEnd) {
    // A partial message must not carry END.
    VARIANT_BOOL endEnabled = VARIANT_FALSE;
    const HRESULT hr = channel_.GetSendEndEnabled(&endEnabled);
    if (Failed(hr)) return hr;
    if (endEnabled) {
      const HRESULT off = channel_.SetSendEndEnabled(VARIANT_FALSE);
      if (Failed(off)) return off;
      endSwitchedOff = true;
    }
  }
  std::int32_t toSend = writeCount_;
  const auto termLength = static_cast<std::int32_t>(writeTerminator_.size());
  const bool terminated = toSend > 0 ? EndsWithWriteTerminator(toSend) : openMessageTerminated_;
  if (sendEnd && termLength > 0 && !terminated) {
    std::memcpy(writeBuffer_.get() + toSend, writeTerminator_.data(), writeTerminator_.size());
    toSend += termLength;
  }
  const std::optional<std::int32_t> timeout = TransferTimeout();
  std::int32_t sent = 0;
  HRESULT hr = timeout ? channel_.LowLevelWriteNoPoll(writeBuffer_.get(), toSend, &sent, *timeout) : ReportCallTimeout();
  if (Succeeded(hr)) {
    const bool terminatedNow = EndsWithWriteTerminator(toSend);
    DiscardWrite();
    messageOpen_ = !sendEnd;
    openMessageTerminated_ = !sendEnd && terminatedNow;
    if (sent < toSend) {
      char sentence[160];
      std::snprintf(sentence, sizeof sentence,
                    "Flush of formatted I/O write buffer only successfully sent %d of %d bytes to the device.", sent,
                    toSend);
      hr = ReportIoError(&reporter_, sentence);
    }
  }
  if (endSwitchedOff) {
    const HRESULT restored = channel_.SetSendEndEnabled(VARIANT_TRUE);
    if (Succeeded(hr) && Failed(restored)) hr = restored;
  }
  return hr;
}

bool CInstrBuffer::EndsWithWriteTerminator(std::int32_t bytes) const {
  const auto length = static_cast<std::int32_t>(writeTerminator_.size());
  return length > 0 && bytes >= length &&
         std::memcmp(writeBuffer_.get() + bytes - length, writeTerminator_.data(), writeTerminator_.size()) == 0;
}

HRESULT CInstrBuffer::AllocateRead(std::int32_t capacity) {
  auto fresh = capacity > 0 ? ZeroedBytes(static_cast<std::size_t>(capacity)) : nullptr;
  if (!fresh) {
    char sentence[120];
    std::snprintf(sentence, sizeof sentence,
                  "Couldn't allocate formatted I/O read buffer with a capacity of %d bytes.", capacity);
    return ReportOutOfMemory(&reporter_, sentence);
  }
  readBuffer_ = std::move(fresh);
  readCapacity_ = capacity;
  readDirty_ = 0;
  rawUnread_ = contentUnread_ = 0;
  readPosition_.reset();
  swallowed_ = 0;
  endReached_ = endReachedAtFill_ = true;
  return S_OK;
}

HRESULT CInstrBuffer::AllocateWrite(std::int32_t capacity) {
  auto fresh = capacity > 0 ? ZeroedBytes(static_cast<std::size_t>(capacity) + writeTerminator_.size()) : nullptr;
  if (!fresh) {
    char sentence[120];
    std::snprintf(sentence, sizeof sentence,
                  "Couldn't allocate formatted I/O write buffer with a capacity of %d bytes.", capacity);
    return ReportOutOfMemory(&reporter_, sentence);
  }
  writeBuffer_ = std::move(fresh);
  writeCapacity_ = capacity;
  writeCount_ = 0;
  return S_OK;
}

HRESULT CInstrBuffer::SetBufferSize(BufferSelect which, std::int32_t capacity) {
  if (which == BufferSelect::Read || which == BufferSelect::Both) {
    HRESULT hr = FlushRead();
    if (Failed(hr)) return hr;
    hr = AllocateRead(capacity);
    if (Failed(hr)) return hr;
  }
  if (which == BufferSelect::Write || which == BufferSelect::Both) {
    HRESULT hr = FlushWrite(true);
    if (Failed(hr)) return hr;
    hr = AllocateWrite(capacity);
    if (Failed(hr)) return hr;
  }
  return S_OK;
}

// Changing a setting sends nothing to the instrument: bytes still waiting
// are dropped with the old buffer.
HRESULT CInstrBuffer::SetWriteTerminator(std::string_view terminator) {
  writeTerminator_ = terminator;
  return AllocateWrite(writeCapacity_);
}

HRESULT CInstrBuffer::GetReadBufferSize(std::int32_t* capacity) {
  if (!capacity) return reporter_.ReportNullPointer("GetReadBufferSize", "plSize");
  *capacity = readCapacity_;
  return S_OK;
}

HRESULT CInstrBuffer::GetWriteBufferSize(std::int32_t* capacity) {
  if (!capacity) return reporter_.ReportNullPointer("GetWriteBufferSize", "plSize");
  *capacity = writeCapacity_;
  return S_OK;
}

}  // namespace hvzelta
