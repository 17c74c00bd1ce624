#include "io/visa_com_session.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "base/error_reporter.h"
#include "fmtio/io_error.h"
#include "platform/text.h"

namespace hvzelta {

using namespace visa;

namespace {

constexpr std::uint8_t kLineFeed = 10;

// What a direct read asks the library for at a time.
constexpr std::int32_t kMessagePiece = 64 * 1024;

ViUInt32 LibraryTimeout(std::int32_t milliseconds) {
  // -1 (and any negative value) means no timeout at all.
  return milliseconds < 0 ? VI_TMO_INFINITE : static_cast<ViUInt32>(milliseconds);
}

}  // namespace

CVisaComSession::~CVisaComSession() { CloseDevice(); }

std::string CVisaComSession::Describe(ViStatus status) {
  ViChar description[VI_FIND_BUFLEN] = {};
  const ViSession session = session_;
  if (visa_->StatusDesc(session != VI_NULL ? session : resourceManager_, status, description) < VI_SUCCESS ||
      description[0] == '\0') {
    std::snprintf(description, sizeof description, "VISA status 0x%08X", static_cast<unsigned>(status));
  }
  std::string text(description);
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

HRESULT CVisaComSession::Fail(ViStatus status) {
  const std::string text = Describe(status);
  if (status == VI_ERROR_TMO) {
    return Reporter() ? Reporter()->Report(Message::IoTimeout, {}, {text}) : E_HALVORNZELTA_IO_TIMEOUT;
  }
  return ReportIoError(Reporter(), text);
}

HRESULT CVisaComSession::PassOn(ViStatus status) {
  Fail(status);
  return static_cast<HRESULT>(status);
}

HRESULT CVisaComSession::FailTransfer(ViStatus status) {
  unendedBytes_ = 0;
  AbandonResponse();
  return PassOn(status);
}

HRESULT CVisaComSession::OpenDevice(std::string_view resourceName) {
  CloseDevice();
  if (ViStatus status = visa_->OpenDefaultRM(&resourceManager_); status < VI_SUCCESS) {
    resourceManager_ = VI_NULL;
    return ReportIoError(Reporter(), IoFailure::ResourceManagerMissing);
  }
  const std::string name(resourceName);
  ViSession opened = VI_NULL;
  if (ViStatus status = visa_->Open(resourceManager_, name.c_str(), VI_NO_LOCK, kOpenTimeoutMs, &opened);
      status < VI_SUCCESS) {
    // The library's description names the cause: a refused connection, a
    // host that does not answer, where the name breaks the grammar.
    const std::string cause = Describe(status) + ".";
    CloseDevice();
    return Reporter() ? Reporter()->Report(Message::IoGeneral, cause, {"Failed to open VISA resource"})
                      : E_HALVORNZELTA_IO_GENERAL;
  }
  session_ = opened;
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
  // A serial line would otherwise take the line feed for END even while the
  // termination character is off, and so end a binary block at a 0x0A byte.
  if (interfaceType == VI_INTF_ASRL) {
    if (ViStatus status = visa_->SetAttribute(session_, VI_ATTR_ASRL_END_IN, VI_ASRL_END_NONE); status < VI_SUCCESS) {
      return Fail(status);
    }
  }
  return S_OK;
}

void CVisaComSession::Abort() {
  if (const ViSession session = session_.exchange(VI_NULL); session != VI_NULL) visa_->Close(session);
}

HRESULT CVisaComSession::CloseDevice() {
  ViStatus status = VI_SUCCESS;
  if (const ViSession session = session_.exchange(VI_NULL); session != VI_NULL) status = visa_->Close(session);
  if (resourceManager_ != VI_NULL) visa_->Close(resourceManager_);
  resourceManager_ = VI_NULL;
  unendedBytes_ = 0;
  return status < VI_SUCCESS ? ReportIoError(Reporter(), IoFailure::CloseFailed) : S_OK;
}

HRESULT CVisaComSession::ClearDevice() {
  unendedBytes_ = 0;
  if (ViStatus status = visa_->Clear(session_); status < VI_SUCCESS) return Fail(status);
  return S_OK;
}

HRESULT CVisaComSession::ReadStatusByte(std::int16_t* psStatusByte) {
  // "ReadStatusBte" is the method name this report has always carried and
  // callers match; it is not a typo to fix.
  if (!psStatusByte) return ReportNullPointer("ReadStatusBte", "psStatusByte");
  *psStatusByte = 0;
  std::lock_guard exchange(ExchangeLock());
  if (!IsOpen()) return ReportNotOpen();
  ViUInt16 statusByte = 0;
  if (ViStatus status = visa_->ReadSTB(session_, &statusByte); status < VI_SUCCESS) return Fail(status);
  *psStatusByte = static_cast<std::int16_t>(statusByte);
  return S_OK;
}

HRESULT CVisaComSession::Lock(std::int32_t mode, std::int32_t timeout, std::string_view requestedKey,
                              std::string* grantedKey) {
  if (grantedKey) grantedKey->clear();
  ViAccessMode lockType = VI_NO_LOCK;
  switch (mode) {
    case 0: lockType = VI_EXCLUSIVE_LOCK; break;
    case 1: lockType = VI_SHARED_LOCK; break;
    default: return ReportIoError(Reporter(), IoFailure::UnsupportedAccessMode);
  }
  std::lock_guard exchange(ExchangeLock());
  if (!IsOpen()) return ReportNotOpen();
  const std::string requested(requestedKey);
  ViChar granted[VI_FIND_BUFLEN] = {};
  if (ViStatus status = visa_->Lock(session_, lockType, LibraryTimeout(timeout),
                                    requested.empty() ? nullptr : requested.c_str(), granted);
      status < VI_SUCCESS) {
    return Fail(status);
  }
  if (grantedKey) *grantedKey = granted;
  return S_OK;
}

HRESULT CVisaComSession::Unlock() {
  std::lock_guard exchange(ExchangeLock());
  if (!IsOpen()) return ReportNotOpen();
  if (ViStatus status = visa_->Unlock(session_); status < VI_SUCCESS) return Fail(status);
  return S_OK;
}

// Its identifier, the getter's name and pointer parameter for a null
// pointer's report, and the conversions between the library's value and ours.
template <class Library, class Ours>
struct SessionAttribute {
  ViAttr id;
  std::string_view getter;
  std::string_view parameter;
  Ours (*toOurs)(Library);
  ViAttrState (*toLibrary)(Ours);
};

template <class Library, class Ours>
HRESULT CVisaComSession::GetSessionAttribute(const SessionAttribute<Library, Ours>& attribute, Ours* value) {
  if (!value) return ReportNullPointer(attribute.getter, attribute.parameter);
  std::lock_guard exchange(ExchangeLock());
  if (!IsOpen()) return ReportNotOpen();
  Library read{};
  if (ViStatus status = visa_->GetAttribute(session_, attribute.id, &read); status < VI_SUCCESS) return PassOn(status);
  *value = attribute.toOurs(read);
  return S_OK;
}

template <class Library, class Ours>
HRESULT CVisaComSession::SetSessionAttribute(const SessionAttribute<Library, Ours>& attribute, Ours value) {
  std::lock_guard exchange(ExchangeLock());
  if (!IsOpen()) return ReportNotOpen();
  if (ViStatus status = visa_->SetAttribute(session_, attribute.id, attribute.toLibrary(value)); status < VI_SUCCESS) {
    return PassOn(status);
  }
  return S_OK;
}

namespace {

std::int32_t OurTimeout(ViUInt32 milliseconds) {
  return milliseconds > static_cast<ViUInt32>(std::numeric_limits<std::int32_t>::max())
             ? -1  // infinite
             : static_cast<std::int32_t>(milliseconds);
}
ViAttrState TimeoutOfLibrary(std::int32_t milliseconds) { return LibraryTimeout(milliseconds); }
std::uint8_t OurCharacter(ViUInt8 character) { return character; }
ViAttrState CharacterOfLibrary(std::uint8_t character) { return character; }
VARIANT_BOOL OurFlag(ViBoolean flag) { return ToVariantBool(flag != VI_FALSE); }
ViAttrState FlagOfLibrary(VARIANT_BOOL flag) { return flag != VARIANT_FALSE ? VI_TRUE : VI_FALSE; }

// The session's settings that are library attributes.
const SessionAttribute<ViUInt32, std::int32_t> kTimeout{VI_ATTR_TMO_VALUE, "GetTimeout", "plTimeout", &OurTimeout,
                                                         &TimeoutOfLibrary};
const SessionAttribute<ViUInt8, std::uint8_t> kTerminationCharacter{
    VI_ATTR_TERMCHAR, "GetTerminationCharacter", "pcTermChar", &OurCharacter, &CharacterOfLibrary};
const SessionAttribute<ViBoolean, VARIANT_BOOL> kTerminationCharacterEnabled{
    VI_ATTR_TERMCHAR_EN, "GetTerminationCharacterEnabled", "pbEnabled", &OurFlag, &FlagOfLibrary};
const SessionAttribute<ViBoolean, VARIANT_BOOL> kSendEndEnabled{VI_ATTR_SEND_END_EN, "GetSendEndEnabled", "pbEnabled",
                                                                &OurFlag, &FlagOfLibrary};

}  // namespace

// Get<Name> and Set<Name> of the attribute k<Name>.
#define HVZ_SESSION_ATTRIBUTE(Name, Ours)                                                              \
  HRESULT CVisaComSession::Get##Name(Ours* value) { return GetSessionAttribute(k##Name, value); } \
  HRESULT CVisaComSession::Set##Name(Ours value) { return SetSessionAttribute(k##Name, value); }
HVZ_SESSION_ATTRIBUTE(Timeout, std::int32_t)
HVZ_SESSION_ATTRIBUTE(TerminationCharacter, std::uint8_t)
HVZ_SESSION_ATTRIBUTE(TerminationCharacterEnabled, VARIANT_BOOL)
HVZ_SESSION_ATTRIBUTE(SendEndEnabled, VARIANT_BOOL)
#undef HVZ_SESSION_ATTRIBUTE


HRESULT CVisaComSession::LowLevelReadNoPoll(std::uint8_t* buffer, std::int32_t count, std::int32_t* actual,
                                            std::int32_t timeout) {
  if (!buffer || !actual || count < 0) return E_INVALIDARG;
  std::lock_guard exchange(ExchangeLock());
  *actual = 0;
  if (!IsOpen()) return ReportNotOpen();
  RecoverResponse();
  TimeoutScope scope(*this, timeout);
  if (Failed(scope.Status())) return scope.Status();
  ViUInt32 received = 0;
  const ViStatus status = visa_->Read(session_, buffer, static_cast<ViUInt32>(count), &received);
  received = std::min(received, static_cast<ViUInt32>(count));
  *actual = static_cast<std::int32_t>(received);
  if (status < VI_SUCCESS) return FailTransfer(status);
  if (status != VI_SUCCESS_MAX_CNT) {
    unendedBytes_ = 0;
    return S_OK;
  }
  unendedBytes_ += received;
  if (unendedBytes_ > maxResponseBytes_) {
    unendedBytes_ = 0;
    AbandonResponse();
    char sentence[160];
    std::snprintf(sentence, sizeof sentence,
                  "The instrument's response did not end within %zu bytes; the rest of it is dropped",
                  maxResponseBytes_);
    return ReportIoError(Reporter(), sentence);
  }
  return S_MORE_DATA_AVAILABLE;
}

HRESULT CVisaComSession::LowLevelWriteNoPoll(const std::uint8_t* buffer, std::int32_t count, std::int32_t* written,
                                             std::int32_t timeout) {
  if ((!buffer && count > 0) || !written || count < 0) return E_INVALIDARG;
  std::lock_guard exchange(ExchangeLock());
  *written = 0;
  if (!IsOpen()) return ReportNotOpen();
  RecoverResponse();
  TimeoutScope scope(*this, timeout);
  if (Failed(scope.Status())) return scope.Status();
  // A new message: whatever the last response was, it is over.
  unendedBytes_ = 0;
  ViUInt32 sent = 0;
  const ViStatus status = visa_->Write(session_, buffer, static_cast<ViUInt32>(count), &sent);
  *written = static_cast<std::int32_t>(std::min(sent, static_cast<ViUInt32>(count)));
  return status < VI_SUCCESS ? FailTransfer(status) : S_OK;
}

HRESULT CVisaComSession::ReadWholeMessage(std::string& message) {
  std::lock_guard exchange(ExchangeLock());
  message.clear();
  for (;;) {
    const std::size_t start = message.size();
    message.resize(start + kMessagePiece);
    std::int32_t actual = 0;
    const HRESULT hr =
        LowLevelReadNoPoll(reinterpret_cast<std::uint8_t*>(message.data() + start), kMessagePiece, &actual, kKeepTimeout);
    message.resize(start + static_cast<std::size_t>(std::clamp(actual, 0, kMessagePiece)));
    // The channel gives up on a message that never ends at its limit.
    if (hr != S_MORE_DATA_AVAILABLE) return hr;
  }
}

HRESULT CVisaComSession::DirectReadBytes(std::vector<std::uint8_t>& bytes) {
  std::string message;
  const HRESULT hr = ReadWholeMessage(message);
  bytes.assign(message.begin(), message.end());
  return hr;
}

HRESULT CVisaComSession::DirectReadString(std::string& text) { return ReadWholeMessage(text); }

HRESULT CVisaComSession::DirectWriteBytes(std::span<const std::uint8_t> bytes, std::size_t& written) {
  written = 0;
  if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    return ReportIoError(Reporter(), IoFailure::ByteArrayCopy);
  }
  std::int32_t sent = 0;
  const HRESULT hr = LowLevelWriteNoPoll(bytes.data(), static_cast<std::int32_t>(bytes.size()), &sent, kKeepTimeout);
  written = static_cast<std::size_t>(sent);
  return hr;
}

HRESULT CVisaComSession::DirectWriteString(std::string_view text) {
  std::size_t written = 0;
  return DirectWriteBytes({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, written);
}

}  // namespace hvzelta
