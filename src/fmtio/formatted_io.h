#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "fmtio/format_args.h"
#include "fmtio/format_reader.h"
#include "fmtio/format_writer.h"
#include "fmtio/io_buffer.h"

namespace hvzelta {

class IEnumFormatter;
class IErrorReporter;

// The formatted I/O of the driver: the write and read engines behind thin
// variadic front ends that only pack their arguments. Nothing here keeps
// state between calls apart from the shared cache of cut formats.
class CFormattedIo {
 public:
  // An IIoBuffer that appends what is written to a caller's string, so that
  // the write engine can format text that is not sent anywhere. Binary
  // elements keep machine byte order; reading is not possible.
  class CCStringWriter final : public IIoBuffer {
   public:
    explicit CCStringWriter(std::string& text) : text_(text) {}

    HRESULT ReadChar(std::uint8_t*) override { return E_NOTIMPL; }
    HRESULT ReadText(BSTR*, std::int32_t, bool) override { return E_NOTIMPL; }
    HRESULT ReadByteArray(SAFEARRAY**, std::int32_t, bool) override { return E_NOTIMPL; }
    HRESULT ReadBlock(void*, std::int32_t, std::int32_t*, bool) override { return E_NOTIMPL; }
    HRESULT Read(void*, std::int32_t, std::int32_t*, bool) override { return E_NOTIMPL; }
    HRESULT UnreadChar() override { return E_NOTIMPL; }
    HRESULT ReadDirect(void*, std::int32_t, std::int32_t*, bool) override { return E_NOTIMPL; }
    HRESULT PeekUnread(bool, const std::uint8_t**, std::int32_t*) override { return E_NOTIMPL; }
    HRESULT SkipUnread(bool, std::int32_t) override { return E_NOTIMPL; }

    HRESULT WriteChar(std::uint8_t character, bool flushWithEnd) override {
      return Write(&character, 1, nullptr, flushWithEnd);
    }
    HRESULT WriteText(const wchar_t* text, std::int32_t* count, bool flushWithEnd) override;
    HRESULT WriteByteArray(const SAFEARRAY* bytes, std::int32_t count, std::int32_t* written,
                           bool flushWithEnd) override;
    HRESULT WriteChars(const char* text, std::int32_t* count, bool flushWithEnd) override;
    HRESULT Write(const void* buffer, std::int32_t count, std::int32_t* written, bool flushWithEnd) override;

    HRESULT FlushRead() override { return E_NOTIMPL; }
    HRESULT FlushWrite(bool) override { return S_OK; }
    HRESULT SetBufferSize(BufferSelect, std::int32_t) override { return E_NOTIMPL; }
    HRESULT GetReadBufferSize(std::int32_t*) override { return E_NOTIMPL; }
    HRESULT GetWriteBufferSize(std::int32_t*) override { return E_NOTIMPL; }
    bool GetInstrumentBigEndian() override { return false; }
    bool SetInstrumentBigEndian(bool) override { return false; }

   private:
    std::string& text_;
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
