#pragma once

// The byte stream the formatted I/O engines read from and write to: the
// instrument buffer of an open session, or a string writer when the driver
// only wants the formatted text. Every operation returns a status; a read
// returns S_MORE_DATA_AVAILABLE while the device's message has unread bytes.

#include <cstdint>

#include "hvzelta/com/bstr.h"
#include "hvzelta/com/safearray.h"
#include "hvzelta/com/types.h"

namespace hvzelta {

enum class BufferSelect : std::int32_t { Read = 0, Write = 1, Both = 2 };

class IIoBuffer {
 public:
  virtual ~IIoBuffer() = default;

  virtual HRESULT ReadChar(std::uint8_t* character) = 0;
  virtual HRESULT ReadText(BSTR* text, std::int32_t count, bool flushAfter) = 0;
  virtual HRESULT ReadByteArray(SAFEARRAY** bytes, std::int32_t count, bool flushAfter) = 0;
  virtual HRESULT ReadBlock(void* buffer, std::int32_t count, std::int32_t* actual, bool flushAfter) = 0;
  virtual HRESULT Read(void* buffer, std::int32_t count, std::int32_t* actual, bool flushAfter) = 0;
  virtual HRESULT UnreadChar() = 0;
  // A binary read that the termination character cannot cut short.
  virtual HRESULT ReadDirect(void* buffer, std::int32_t count, std::int32_t* actual, bool flushAfter) = 0;

  virtual HRESULT WriteChar(std::uint8_t character, bool flushWithEnd) = 0;
  virtual HRESULT WriteText(const wchar_t* text, std::int32_t* count, bool flushWithEnd) = 0;
  virtual HRESULT WriteByteArray(const SAFEARRAY* bytes, std::int32_t count, std::int32_t* written,
                                 bool flushWithEnd) = 0;
  virtual HRESULT WriteChars(const char* text, std::int32_t* count, bool flushWithEnd) = 0;
  virtual HRESULT Write(const void* buffer, std::int32_t count, std::int32_t* written, bool flushWithEnd) = 0;

  virtual HRESULT FlushRead() = 0;
  virtual HRESULT FlushWrite(bool sendEnd) = 0;
  virtual HRESULT SetBufferSize(BufferSelect which, std::int32_t capacity) = 0;
  virtual HRESULT GetReadBufferSize(std::int32_t* capacity) = 0;
  virtual HRESULT GetWriteBufferSize(std::int32_t* capacity) = 0;
  virtual bool GetInstrumentBigEndian() = 0;
  virtual bool SetInstrumentBigEndian(bool bigEndian) = 0;

  // In-place access for the formatted read engine, which would otherwise pay
  // a call per character. PeekUnread shows the unread bytes of the current
  // fill, filling first when none are left: with `raw` false the content (a
  // read terminator that ends the message left out), with `raw` true every
  // byte; it returns S_OK when the device ended its message with these bytes
  // and S_MORE_DATA_AVAILABLE when more are to come. SkipUnread consumes
  // `count` of the bytes shown exactly as a Read of them would (in content
  // mode a terminator left alone at the end of the message goes with them)
  // and returns S_OK when the message has ended and nothing is left,
  // S_MORE_DATA_AVAILABLE otherwise.
  virtual HRESULT PeekUnread(bool raw, const std::uint8_t** data, std::int32_t* count) = 0;
  virtual HRESULT SkipUnread(bool raw, std::int32_t count) = 0;
};

}  // namespace hvzelta
