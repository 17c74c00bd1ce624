#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "fmtio/io_buffer.h"
#include "io/low_level_io.h"

namespace hvzelta {

class IErrorReporter;

// The buffered byte stream between the formatted I/O engines and the raw
// channel of an open session: one read buffer filled a device read at a time,
// one write buffer sent when full or when a message is completed. It strips
// the read terminator from the end of a response and appends the write
// terminator when a message goes out with END.
class CInstrBuffer final : public IIoBuffer {
 public:
  static constexpr std::int32_t kDefaultCapacity = 4096;

  CInstrBuffer(ILowLevelIo& channel, IErrorReporter& reporter, std::string_view readTerminator,
               std::string_view writeTerminator);
  // False when the buffers could not be allocated; the session reports that.
  bool IsValid() const { return readBuffer_ && writeBuffer_; }

  HRESULT ReadChar(std::uint8_t* character) override;
  HRESULT ReadText(BSTR* text, std::int32_t count, bool flushAfter) override;
  HRESULT ReadByteArray(SAFEARRAY** bytes, std::int32_t count, bool flushAfter) override;
  HRESULT ReadBlock(void* buffer, std::int32_t count, std::int32_t* actual, bool flushAfter) override;
  HRESULT Read(void* buffer, std::int32_t count, std::int32_t* actual, bool flushAfter) override;
  HRESULT UnreadChar() override;
  HRESULT ReadDirect(void* buffer, std::int32_t count, std::int32_t* actual, bool flushAfter) override;

  HRESULT WriteChar(std::uint8_t character, bool flushWithEnd) override;
  HRESULT WriteText(const wchar_t* text, std::int32_t* count, bool flushWithEnd) override;
  HRESULT WriteByteArray(const SAFEARRAY* bytes, std::int32_t count, std::int32_t* written,
                         bool flushWithEnd) override;
  HRESULT WriteChars(const char* text, std::int32_t* count, bool flushWithEnd) override;
  HRESULT Write(const void* buffer, std::int32_t count, std::int32_t* written, bool flushWithEnd) override;

  HRESULT FlushRead() override;
  HRESULT FlushWrite(bool sendEnd) override;
  HRESULT SetBufferSize(BufferSelect which, std::int32_t capacity) override;
  HRESULT GetReadBufferSize(std::int32_t* capacity) override;
  HRESULT GetWriteBufferSize(std::int32_t* capacity) override;
  bool GetInstrumentBigEndian() override { return bigEndian_; }
  bool SetInstrumentBigEndian(bool bigEndian) override { return bigEndian_ = bigEndian; }

  HRESULT PeekUnread(bool raw, const std::uint8_t** data, std::int32_t* count) override;
  HRESULT SkipUnread(bool raw, std::int32_t count) override;

  // One call of the session starts: every transfer it makes from now on
  // shares one deadline, the channel's timeout from now, so that a reply
  // that trickles in or a drain of a long one cannot hold the call longer.
  void BeginCall() {
    callStart_ = Clock::now();
    callTimeout_.reset();
  }
  void EndCall() { callStart_.reset(); }
  using Clock = std::chrono::steady_clock;
  // The timeout for the next transfer of the call: kKeepTimeout while the
  // call is young (the usual query asks no more), what is left of the
  // call's timeout after that; nothing when the call's time is up.
  std::optional<std::int32_t> TransferTimeout();
  // The failure of a call whose time ran out between two transfers.
  HRESULT ReportCallTimeout();

  // Forget the unread rest of the current response without reading the
  // device, and the bytes waiting to be sent: the session's recovery after
  // it gave up on an exchange.
  void DiscardRead();
  void DiscardWrite();

  // The session keeps these in step with its own terminator settings.
  void SetReadTerminator(std::string_view terminator) { readTerminator_ = terminator; }
  HRESULT SetWriteTerminator(std::string_view terminator);

 private:
  HRESULT Fill();
  void Consume(std::uint8_t* destination, std::int32_t count, bool raw);
  HRESULT ReadStatus() const;
  bool EndsWithReadTerminator(std::int32_t bytes) const;
  bool EndsWithWriteTerminator(std::int32_t bytes) const;
  HRESULT AllocateRead(std::int32_t capacity);
  HRESULT AllocateWrite(std::int32_t capacity);

  ILowLevelIo& channel_;
  IErrorReporter& reporter_;
  std::unique_ptr<std::uint8_t[]> readBuffer_;
  std::unique_ptr<std::uint8_t[]> writeBuffer_;
  std::int32_t readCapacity_ = kDefaultCapacity;
  std::int32_t writeCapacity_ = kDefaultCapacity;
  // Bytes of the read buffer that fills may have written since it was last
  // zeroed: zeroing more would cost every exchange a pass over the buffer.
  std::int32_t readDirty_ = 0;
  std::int32_t rawUnread_ = 0;
  std::int32_t contentUnread_ = 0;
  std::int32_t writeCount_ = 0;
  std::optional<std::int32_t> readPosition_;
  // Bytes of read terminator that the last consume swallowed, so that a
  // push-back returns the last content byte, not the terminator.
  std::int32_t swallowed_ = 0;
  bool endReached_ = true;
  bool endReachedAtFill_ = true;
  // Bytes of the current message went out without END; whether they ended
  // with the write terminator.
  bool messageOpen_ = false;
  bool openMessageTerminated_ = false;
  std::optional<Clock::time_point> callStart_;
  std::optional<std::int32_t> callTimeout_;
  std::string writeTerminator_;
  std::string readTerminator_;
  bool bigEndian_ = true;
};

}  // namespace hvzelta
