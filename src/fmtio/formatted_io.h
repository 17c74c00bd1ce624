#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "fmtio/format_args.h"
#include "fmtio/format_reader.h"
#include "fmtio/format_writer.h"
#include "fmtio/io_buffer.h"
#include "hvzelta/status.h"

namespace hvzelta {

class IEnumFormatter;
class IErrorReporter;

// The formatted I/O of the driver: the write and read engines behind thin
// variadic front ends that only pack their arguments. Nothing here keeps
// state between calls apart from the shared cache of cut formats.
class CFormattedIo {
 public:
  // An IIoBuffer over memory with a fixed byte order: every operation fails
  // with E_NOTIMPL until the writer or the reader below provides it.
  class CMemoryBuffer : public IIoBuffer {
   public:
    explicit CMemoryBuffer(bool bigEndian) : bigEndian_(bigEndian) {}

    HRESULT ReadChar(std::uint8_t*) override { return E_NOTIMPL; }
    HRESULT ReadText(BSTR*, std::int32_t, bool) override { return E_NOTIMPL; }
    HRESULT ReadByteArray(SAFEARRAY**, std::int32_t, bool) override { return E_NOTIMPL; }
    HRESULT ReadBlock(void*, std::int32_t, std::int32_t*, bool) override { return E_NOTIMPL; }
    HRESULT Read(void*, std::int32_t, std::int32_t*, bool) override { return E_NOTIMPL; }
    HRESULT UnreadChar() override { return E_NOTIMPL; }
    HRESULT ReadDirect(void*, std::int32_t, std::int32_t*, bool) override { return E_NOTIMPL; }
    HRESULT PeekUnread(bool, const std::uint8_t**, std::int32_t*) override { return E_NOTIMPL; }
    HRESULT SkipUnread(bool, std::int32_t) override { return E_NOTIMPL; }

    HRESULT WriteChar(std::uint8_t, bool) override { return E_NOTIMPL; }
    HRESULT WriteText(const wchar_t*, std::int32_t*, bool) override { return E_NOTIMPL; }
    HRESULT WriteByteArray(const SAFEARRAY*, std::int32_t, std::int32_t*, bool) override { return E_NOTIMPL; }
    HRESULT WriteChars(const char*, std::int32_t*, bool) override { return E_NOTIMPL; }
    HRESULT Write(const void*, std::int32_t, std::int32_t*, bool) override { return E_NOTIMPL; }

    HRESULT FlushRead() override { return E_NOTIMPL; }
    HRESULT FlushWrite(bool) override { return E_NOTIMPL; }
    HRESULT SetBufferSize(BufferSelect, std::int32_t) override { return E_NOTIMPL; }
    HRESULT GetReadBufferSize(std::int32_t*) override { return E_NOTIMPL; }
    HRESULT GetWriteBufferSize(std::int32_t*) override { return E_NOTIMPL; }
    bool GetInstrumentBigEndian() override { return bigEndian_; }
    bool SetInstrumentBigEndian(bool) override { return bigEndian_; }

   private:
    bool bigEndian_;
  };

  // Appends what is written to a caller's string, so that the write engine
  // can format text that is not sent anywhere. Binary elements keep machine
  // byte order unless the writer is made big-endian.
  class CCStringWriter final : public CMemoryBuffer {
   public:
    explicit CCStringWriter(std::string& text, bool bigEndian = false) : CMemoryBuffer(bigEndian), text_(text) {}

    HRESULT WriteChar(std::uint8_t character, bool flushWithEnd) override {
      return Write(&character, 1, nullptr, flushWithEnd);
    }
    HRESULT WriteText(const wchar_t* text, std::int32_t* count, bool flushWithEnd) override;
    HRESULT WriteByteArray(const SAFEARRAY* bytes, std::int32_t count, std::int32_t* written,
                           bool flushWithEnd) override;
    HRESULT WriteChars(const char* text, std::int32_t* count, bool flushWithEnd) override;
    HRESULT Write(const void* buffer, std::int32_t count, std::int32_t* written, bool flushWithEnd) override;
    HRESULT FlushWrite(bool) override { return S_OK; }

   private:
    std::string& text_;
  };

  // Shows a whole message already received (or a caller's text) to the read
  // engine. As with a session's buffer, a terminator that ends the message
  // is no content; binary blocks in it are big-endian.
  class CCStringReader final : public CMemoryBuffer {
   public:
    explicit CCStringReader(std::string_view message, int terminator = -1)
        : CMemoryBuffer(true), message_(message), terminator_(terminator) {}

    HRESULT Read(void* buffer, std::int32_t count, std::int32_t* actual, bool) override {
      return ReadDirect(buffer, count, actual, false);
    }
    HRESULT ReadDirect(void* buffer, std::int32_t count, std::int32_t* actual, bool flushAfter) override;
    HRESULT PeekUnread(bool raw, const std::uint8_t** data, std::int32_t* count) override;
    HRESULT SkipUnread(bool raw, std::int32_t count) override;
    HRESULT FlushRead() override {
      message_ = {};
      return S_OK;
    }

   private:
    bool EndsWithTerminator() const {
      return !message_.empty() && static_cast<unsigned char>(message_.back()) == terminator_;
    }
    // S_OK once every byte is taken, S_MORE_DATA_AVAILABLE before.
    HRESULT Left() const { return message_.empty() ? S_OK : S_MORE_DATA_AVAILABLE; }

    std::string_view message_;
    int terminator_;
  };

  // The engines over an argument list; a query runs both over one list.
  static HRESULT Write(IIoBuffer* buffer, IEnumFormatter* enums, const char* format, FormatArgs& args) {
    return format ? WriteFormatted(buffer, enums, format, args) : E_INVALIDARG;
  }
  static HRESULT Read(IIoBuffer* buffer, IEnumFormatter* enums, IErrorReporter* reporter, const char* format,
                      FormatArgs& args) {
    return format ? ReadFormatted(buffer, enums, reporter, format, args) : E_INVALIDARG;
  }

  // Formats into `text` (appending) and sends nothing, so a line feed in the
  // format is only a character of the text.
  template <class... Args>
  static HRESULT Format(std::string* text, IEnumFormatter* enums, const char* format, Args&&... args) {
    if (!text) return E_INVALIDARG;
    auto packed = PackFormatArgs(std::forward<Args>(args)...);
    FormatArgs list(packed);
    CCStringWriter writer(*text);
    return Write(&writer, enums, format, list);
  }

  template <class... Args>
  static HRESULT Printf(IIoBuffer* buffer, IEnumFormatter* enums, const char* format, Args&&... args) {
    auto packed = PackFormatArgs(std::forward<Args>(args)...);
    FormatArgs list(packed);
    return Write(buffer, enums, format, list);
  }

  template <class... Args>
  static HRESULT Scanf(IIoBuffer* buffer, IEnumFormatter* enums, IErrorReporter* reporter, const char* format,
                       Args&&... args) {
    auto packed = PackFormatArgs(std::forward<Args>(args)...);
    FormatArgs list(packed);
    return Read(buffer, enums, reporter, format, list);
  }
};

}  // namespace hvzelta
