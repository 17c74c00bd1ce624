#include "io/visa_com_session.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "core/error_reporter.h"
#include "io/io_error.h"
#include "platform/text.h"

namespace hvzelta {

using namespace visa;

namespace {

constexpr std::uint8_t kLineFeed = 10;

// Status of a raw read: the device ended its message, or more is to come.
HRESULT ReadOutcome(ViStatus status) { return status == VI_SUCCESS_MAX_CNT ? S_MORE_DATA_AVAILABLE : S_OK; }

}  // namespace

CVisaComSession::~CVisaComSession() { CloseDevice(); }

HRESULT CVisaComSession::Fail(ViStatus status) {
  ViChar description[VI_FIND_BUFLEN] = {};
  if (visa_->StatusDesc(session_ != VI_NULL ? session_ : resourceManager_, status, description) < VI_SUCCESS ||
      description[0] == '\0') {
    std::snprintf(description, sizeof description, "VISA status 0x%08X", static_cast<unsigned>(status));
  }
  std::string_view text(description);
  if (!text.empty() && text.back() == '.') text.remove_suffix(1);
  if (status == VI_ERROR_TMO) {
    staleReplyPossible_ = true;
    return Reporter() ? Reporter()->Report(Message::IoTimeout, {}, {text}) : E_HALVORNZELTA_IO_TIMEOUT;
  }
  return ReportIoError(Reporter(), text);
}

HRESULT CVisaComSession::OpenDevice(std::string_view resourceName) {
  CloseDevice();
  if (ViStatus status = visa_->OpenDefaultRM(&resourceManager_); status < VI_SUCCESS) {
    resourceManager_ = VI_NULL;
    return ReportIoError(Reporter(),
                         "Could not create instance of VISA-COM Global Resource Manager Component. Make sure it is "
                         "installed properly.");
  }
  const std::string name(resourceName);
  if (ViStatus status = visa_->Open(resourceManager_, name.c_str(), VI_NO_LOCK, kOpenTimeoutMs, &session_);
      status < VI_SUCCESS) {
    session_ = VI_NULL;
    HRESULT hr = E_IVI_RESOURCE_UNKNOWN;
    // A name the grammar refuses or a resource that is not there is the
    // caller's to fix; anything else is a failure of the I/O.
    if (status != VI_ERROR_RSRC_NFOUND && status != VI_ERROR_INV_RSRC_NAME) hr = Fail(status);
    CloseDevice();
    return hr;
  }
  const HRESULT hr = ConfigureAfterOpen();
  if (Failed(hr)) CloseDevice();
  return hr;
}

HRESULT CVisaComSession::ConfigureAfterOpen() {
  ViUInt16 interfaceType = 0;
  if (ViStatus status = visa_->GetAttribute(session_, VI_ATTR_INTF_TYPE, &interfaceType); status < VI_SUCCESS) {
    return Fail(status);
  }
  ViChar text[VI_FIND_BUFLEN] = {};
  std::string resourceClass = visa_->GetAttribute(session_, VI_ATTR_RSRC_CLASS, text) < VI_SUCCESS ? "OTHER" : text;
  std::string name = visa_->GetAttribute(session_, VI_ATTR_RSRC_NAME, text) < VI_SUCCESS ? "UNKNOWN" : text;
  if (interfaceType == VI_INTF_TCPIP && AsciiUpper(name).find("::SOCKET") != std::string::npos) resourceClass = "SOCKET";
  // A byte stream has no END of its own: a line feed ends each message.
  if (interfaceType == VI_INTF_ASRL || (interfaceType == VI_INTF_TCPIP && EqualsIgnoringCase(resourceClass, "SOCKET"))) {
    for (auto [attribute, value] : {std::pair{VI_ATTR_TERMCHAR, ViAttrState{kLineFeed}},
                                    std::pair{VI_ATTR_TERMCHAR_EN, ViAttrState{VI_TRUE}},
                                    std::pair{VI_ATTR_SEND_END_EN, ViAttrState{VI_TRUE}}}) {
      if (ViStatus status = visa_->SetAttribute(session_, attribute, value); status < VI_SUCCESS) return Fail(status);
    }
  }
  return S_OK;
}

HRESULT CVisaComSession::CloseDevice() {
  ViStatus status = VI_SUCCESS;
  if (session_ != VI_NULL) status = visa_->Close(session_);
  if (resourceManager_ != VI_NULL) visa_->Close(resourceManager_);
  session_ = VI_NULL;
  resourceManager_ = VI_NULL;
  staleReplyPossible_ = false;
  return status < VI_SUCCESS ? ReportIoError(Reporter(), "Closing the VISA session failed.") : S_OK;
}

HRESULT CVisaComSession::DeviceClear() {
  std::lock_guard exchange(ExchangeLock());
  if (!IsOpen()) return ReportNotOpen();
  if (ViStatus status = visa_->Clear(session_); status < VI_SUCCESS) return Fail(status);
  staleReplyPossible_ = false;
  return S_OK;
}

HRESULT CVisaComSession::GetTimeout(std::int32_t& milliseconds) {
  if (!IsOpen()) return ReportNotOpen();
  ViUInt32 value = 0;
  if (ViStatus status = visa_->GetAttribute(session_, VI_ATTR_TMO_VALUE, &value); status < VI_SUCCESS) {
    return Fail(status);
  }
  milliseconds = value > static_cast<ViUInt32>(std::numeric_limits<std::int32_t>::max())
                     ? -1  // infinite
                     : static_cast<std::int32_t>(value);
  return S_OK;
}

HRESULT CVisaComSession::SetTimeout(std::int32_t milliseconds) {
  if (!IsOpen()) return ReportNotOpen();
  // -1 (and any negative value) means no timeout at all.
  const ViAttrState value = milliseconds < 0 ? ViAttrState{0xFFFFFFFFu} : static_cast<ViAttrState>(milliseconds);
  if (ViStatus status = visa_->SetAttribute(session_, VI_ATTR_TMO_VALUE, value); status < VI_SUCCESS) {
    return Fail(status);
  }
  return S_OK;
}

HRESULT CVisaComSession::SetFlag(ViAttr attribute, VARIANT_BOOL enabled) {
  if (!IsOpen()) return ReportNotOpen();
  const ViAttrState value = enabled != VARIANT_FALSE ? VI_TRUE : VI_FALSE;
  if (ViStatus status = visa_->SetAttribute(session_, attribute, value); status < VI_SUCCESS) return Fail(status);
  return S_OK;
}

HRESULT CVisaComSession::GetFlag(ViAttr attribute, VARIANT_BOOL* enabled) {
  if (!enabled) return E_POINTER;
  if (!IsOpen()) return ReportNotOpen();
  ViBoolean value = VI_FALSE;
  if (ViStatus status = visa_->GetAttribute(session_, attribute, &value); status < VI_SUCCESS) return Fail(status);
  *enabled = ToVariantBool(value != VI_FALSE);
  return S_OK;
}

HRESULT CVisaComSession::SetTerminationCharacterEnabled(VARIANT_BOOL enabled) {
  return SetFlag(VI_ATTR_TERMCHAR_EN, enabled);
}
HRESULT CVisaComSession::GetTerminationCharacterEnabled(VARIANT_BOOL* enabled) {
  return GetFlag(VI_ATTR_TERMCHAR_EN, enabled);
}
HRESULT CVisaComSession::SetSendEndEnabled(VARIANT_BOOL enabled) { return SetFlag(VI_ATTR_SEND_END_EN, enabled); }
HRESULT CVisaComSession::GetSendEndEnabled(VARIANT_BOOL* enabled) { return GetFlag(VI_ATTR_SEND_END_EN, enabled); }

HRESULT CVisaComSession::LowLevelReadNoPoll(std::uint8_t* buffer, std::int32_t count, std::int32_t* actual,
                                            std::int32_t timeoutMs) {
  if (!buffer || !actual || count < 0) return E_INVALIDARG;
  std::lock_guard exchange(ExchangeLock());
  *actual = 0;
  if (!IsOpen()) return ReportNotOpen();
  TimeoutScope scope(*this, timeoutMs);
  if (Failed(scope.Status())) return scope.Status();
  ViUInt32 received = 0;
  const ViStatus status = visa_->Read(session_, buffer, static_cast<ViUInt32>(count), &received);
  *actual = static_cast<std::int32_t>(std::min<ViUInt32>(received, static_cast<ViUInt32>(count)));
  return status < VI_SUCCESS ? Fail(status) : ReadOutcome(status);
}

HRESULT CVisaComSession::LowLevelReadStringNoPoll(BSTR* text, std::int32_t count, std::int32_t timeoutMs) {
  if (!text || count < 0) return E_INVALIDARG;
  *text = nullptr;
  std::string bytes(static_cast<std::size_t>(count), '\0');
  std::int32_t actual = 0;
  const HRESULT hr = LowLevelReadNoPoll(reinterpret_cast<std::uint8_t*>(bytes.data()), count, &actual, timeoutMs);
  if (Failed(hr)) return hr;
  bytes.resize(static_cast<std::size_t>(actual));
  const std::wstring wide = Utf8ToWide(bytes);
  *text = SysAllocStringLen(wide.data(), static_cast<std::uint32_t>(wide.size()));
  return *text ? hr : ReportOutOfMemory(Reporter(), "Read function failed to copy data into the user buffer.");
}

HRESULT CVisaComSession::ClearStaleReply() {
  if (!staleReplyPossible_) return S_OK;
  staleReplyPossible_ = false;
  // Best effort: a transport without device clear still drops what it holds.
  visa_->Clear(session_);
  return S_OK;
}

HRESULT CVisaComSession::LowLevelWriteNoPoll(const std::uint8_t* buffer, std::int32_t count, std::int32_t* written,
                                             std::int32_t timeoutMs) {
  if ((!buffer && count > 0) || !written || count < 0) return E_INVALIDARG;
  std::lock_guard exchange(ExchangeLock());
  *written = 0;
  if (!IsOpen()) return ReportNotOpen();
  TimeoutScope scope(*this, timeoutMs);
  if (Failed(scope.Status())) return scope.Status();
  ClearStaleReply();
  ViUInt32 sent = 0;
  const ViStatus status = visa_->Write(session_, buffer, static_cast<ViUInt32>(count), &sent);
  *written = static_cast<std::int32_t>(sent);
  return status < VI_SUCCESS ? Fail(status) : S_OK;
}

HRESULT CVisaComSession::ReadWholeMessage(std::string& message) {
  message.clear();
  std::uint8_t chunk[64 * 1024];
  for (;;) {
    std::int32_t actual = 0;
    const HRESULT hr = LowLevelReadNoPoll(chunk, sizeof chunk, &actual, kKeepTimeout);
    if (Failed(hr)) return hr;
    message.append(reinterpret_cast<const char*>(chunk), static_cast<std::size_t>(actual));
    if (hr != S_MORE_DATA_AVAILABLE) return S_OK;
    if (message.size() > kMaxResponseBytes) {
      return ReportIoError(Reporter(), "The instrument's response is longer than 64 MiB; it was discarded.");
    }
  }
}

HRESULT CVisaComSession::DirectReadBytes(std::vector<std::uint8_t>& bytes) {
  std::lock_guard exchange(ExchangeLock());
  if (!IsOpen()) return ReportNotOpen();
  std::string message;
  const HRESULT hr = ReadWholeMessage(message);
  bytes.assign(message.begin(), message.end());
  return hr;
}

HRESULT CVisaComSession::DirectReadString(std::string& text) {
  std::lock_guard exchange(ExchangeLock());
  if (!IsOpen()) return ReportNotOpen();
  return ReadWholeMessage(text);
}

HRESULT CVisaComSession::DirectWriteBytes(std::span<const std::uint8_t> bytes, std::size_t& written) {
  std::lock_guard exchange(ExchangeLock());
  written = 0;
  if (!IsOpen()) return ReportNotOpen();
  if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    return ReportIoError(Reporter(), "Write could not copy data to SAFEARRAY.");
  }
  std::int32_t sent = 0;
  const HRESULT hr =
      LowLevelWriteNoPoll(bytes.data(), static_cast<std::int32_t>(bytes.size()), &sent, kKeepTimeout);
  written = static_cast<std::size_t>(sent);
  return hr;
}

HRESULT CVisaComSession::DirectWriteString(std::string_view text) {
  std::size_t written = 0;
  return DirectWriteBytes({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, written);
}

}  // namespace hvzelta
