// The published VISA C functions of libhvzvisa.so, over the same built-in
// VISA library the driver uses in-process. Each function checks what it is
// given, forwards, and turns anything thrown into a status: no input from a
// caller may crash the process.
//
// The types are the layer's own (src/visa/visa_types.h), which have the
// widths and values of the installed header include/hvzvisa/visa.h; the C
// consumer test compiles against that header and calls every function here.

#include <cstdarg>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "visa/builtin_visa.h"
#include "visa/library/find_lists.h"
#include "visa/library/formatted_io.h"
#include "visa/resource_discovery.h"
#include "visa/resource_name.h"
#include "visa/resource_pattern.h"
#include "visa/status_description.h"

#define HVZVISA_API extern "C" __attribute__((visibility("default")))

// The functions are declared by the installed visa.h, whose macros cannot
// share a translation unit with the layer's constants of the same names. The
// tests call each function through that header, and compare its numbers with
// PyVISA's.
#pragma GCC diagnostic ignored "-Wmissing-declarations"

namespace hvzelta::visa {
namespace {

using ViEventFilter = ViUInt32;
using ViJobId = ViUInt32;
using ViBusAddress = ViUInt64;
using ViBusSize = ViUInt64;
using ViHndlr = ViStatus (*)(ViSession, ViEventType, ViEvent, void*);

IVisaLibrary& Library() {
  static const std::shared_ptr<IVisaLibrary> library = BuiltinVisaLibrary();
  return *library;
}

FindLists& TheFindLists() {
  static FindLists lists(Library());
  return lists;
}

template <typename Operation>
ViStatus Guarded(Operation&& operation) noexcept {
  try {
    return operation();
  } catch (const std::bad_alloc&) {
    return VI_ERROR_ALLOC;
  } catch (...) {
    return VI_ERROR_SYSTEM_ERROR;
  }
}

enum class ObjectKind { None, Manager, Instrument, FindList };

// Instrument sessions know their resource manager session; resource manager
// sessions do not.
ObjectKind KindOf(ViObject vi) {
  if (TheFindLists().Contains(vi)) return ObjectKind::FindList;
  ViSession manager = VI_NULL;
  const ViStatus status = Library().GetAttribute(vi, VI_ATTR_RM_SESSION, &manager);
  if (status == VI_ERROR_INV_OBJECT) return ObjectKind::None;
  return status == VI_SUCCESS ? ObjectKind::Instrument : ObjectKind::Manager;
}

// What a function returns for an operation of a bus this library lacks.
ViStatus Unsupported(ViObject vi) {
  return Guarded([&] { return KindOf(vi) == ObjectKind::None ? VI_ERROR_INV_OBJECT : VI_ERROR_NSUP_OPER; });
}

void CopyOut(const std::string& text, ViChar* out) {
  if (!out) return;
  const std::size_t length = std::min(text.size(), VI_FIND_BUFLEN - 1);
  std::memcpy(out, text.data(), length);
  out[length] = '\0';
}

}  // namespace
}  // namespace hvzelta::visa

using namespace hvzelta::visa;

HVZVISA_API ViStatus viOpenDefaultRM(ViSession* vi) {
  return Guarded([&] { return Library().OpenDefaultRM(vi); });
}

HVZVISA_API ViStatus viFindRsrc(ViSession sesn, const ViChar* expr, ViObject* vi, ViUInt32* retCnt, ViChar desc[]) {
  return Guarded([&] {
    if (vi) *vi = VI_NULL;
    if (retCnt) *retCnt = 0;
    if (KindOf(sesn) != ObjectKind::Manager) return VI_ERROR_INV_OBJECT;
    if (!expr) return VI_ERROR_INV_EXPR;
    std::optional<ResourcePattern> pattern;
    if (ViStatus status = ResourcePattern::Compile(expr, pattern); status != VI_SUCCESS) return status;
    std::vector<std::string> names = DiscoverResources(*pattern, DiscoveryOptionsFromEnvironment());
    if (names.empty()) return VI_ERROR_RSRC_NFOUND;
    CopyOut(names.front(), desc);
    if (retCnt) *retCnt = static_cast<ViUInt32>(names.size());
    if (!vi) return VI_SUCCESS;
    return TheFindLists().Create(sesn, std::move(names), *vi);
  });
}

HVZVISA_API ViStatus viFindNext(ViObject vi, ViChar desc[]) {
  return Guarded([&] {
    std::string name;
    ViStatus status = TheFindLists().Next(vi, name);
    if (status == VI_SUCCESS) CopyOut(name, desc);
    return status;
  });
}

HVZVISA_API ViStatus viParseRsrc(ViSession rmSesn, const ViChar* rsrcName, ViUInt16* intfType, ViUInt16* intfNum) {
  return Guarded([&] { return Library().ParseRsrc(rmSesn, rsrcName, intfType, intfNum); });
}

HVZVISA_API ViStatus viParseRsrcEx(ViSession rmSesn, const ViChar* rsrcName, ViUInt16* intfType, ViUInt16* intfNum,
                                   ViChar rsrcClass[], ViChar expandedUnaliasedName[], ViChar aliasIfExists[]) {
  return Guarded([&] {
    if (KindOf(rmSesn) != ObjectKind::Manager) return VI_ERROR_INV_OBJECT;
    if (!rsrcName) return VI_ERROR_INV_PARAMETER;
    const std::optional<ResourceName> resource = ParseResourceName(rsrcName);
    if (!resource) return VI_ERROR_INV_RSRC_NAME;
    if (intfType) *intfType = resource->interfaceType;
    if (intfNum) *intfNum = resource->board;
    CopyOut(resource->resourceClass, rsrcClass);
    CopyOut(resource->canonical, expandedUnaliasedName);
    CopyOut({}, aliasIfExists);  // this library knows no aliases
    return VI_SUCCESS;
  });
}

// VI_TMO_IMMEDIATE, the open timeout most programs pass (PyVISA's default),
// asks not to wait for a lock; setting up a connection still takes its round
// trips, which get the time a session's first I/O would.
constexpr ViUInt32 kImmediateOpenTimeoutMs = 2000;

HVZVISA_API ViStatus viOpen(ViSession sesn, const ViChar* name, ViAccessMode mode, ViUInt32 timeout, ViSession* vi) {
  return Guarded([&] {
    if (timeout == VI_TMO_IMMEDIATE) timeout = kImmediateOpenTimeoutMs;
    return Library().Open(sesn, name, mode, timeout, vi);
  });
}

HVZVISA_API ViStatus viClose(ViObject vi) {
  return Guarded([&] {
    if (TheFindLists().Contains(vi)) return TheFindLists().Close(vi);
    TheFindLists().CloseAllOf(vi);
    return Library().Close(vi);
  });
}

HVZVISA_API ViStatus viSetAttribute(ViObject vi, ViAttr attrName, ViAttrState attrValue) {
  return Guarded([&] { return Library().SetAttribute(vi, attrName, attrValue); });
}

HVZVISA_API ViStatus viGetAttribute(ViObject vi, ViAttr attrName, void* attrValue) {
  return Guarded([&] {
    if (!attrValue) return KindOf(vi) == ObjectKind::None ? VI_ERROR_INV_OBJECT : VI_ERROR_INV_PARAMETER;
    return Library().GetAttribute(vi, attrName, attrValue);
  });
}

HVZVISA_API ViStatus viStatusDesc(ViObject vi, ViStatus status, ViChar desc[]) {
  return Guarded([&] {
    if (KindOf(vi) == ObjectKind::None) return VI_ERROR_INV_OBJECT;
    if (!desc) return VI_ERROR_INV_PARAMETER;
    std::string text;
    const bool known = DescribeStatus(status, text);
    CopyOut(text, desc);
    return known ? VI_SUCCESS : VI_WARN_UNKNOWN_STATUS;
  });
}

HVZVISA_API ViStatus viTerminate(ViObject vi, ViUInt16, ViJobId) { return Unsupported(vi); }

HVZVISA_API ViStatus viLock(ViSession vi, ViAccessMode lockType, ViUInt32 timeout, const ViChar* requestedKey,
                            ViChar accessKey[]) {
  return Guarded([&] { return Library().Lock(vi, lockType, timeout, requestedKey, accessKey); });
}

HVZVISA_API ViStatus viUnlock(ViSession vi) {
  return Guarded([&] { return Library().Unlock(vi); });
}

// Events: no event is ever raised, so there is none to enable, wait for or
// handle; switching them off and discarding them succeed.
HVZVISA_API ViStatus viEnableEvent(ViSession vi, ViEventType, ViUInt16, ViEventFilter) { return Unsupported(vi); }

HVZVISA_API ViStatus viDisableEvent(ViSession vi, ViEventType, ViUInt16) {
  return Guarded([&] { return KindOf(vi) == ObjectKind::None ? VI_ERROR_INV_OBJECT : VI_SUCCESS_EVENT_DIS; });
}

HVZVISA_API ViStatus viDiscardEvents(ViSession vi, ViEventType, ViUInt16) {
  return Guarded([&] { return KindOf(vi) == ObjectKind::None ? VI_ERROR_INV_OBJECT : VI_SUCCESS_QUEUE_EMPTY; });
}

HVZVISA_API ViStatus viWaitOnEvent(ViSession vi, ViEventType, ViUInt32, ViEventType* outEventType,
                                   ViEvent* outContext) {
  if (outEventType) *outEventType = 0;
  if (outContext) *outContext = VI_NULL;
  return Unsupported(vi);
}

HVZVISA_API ViStatus viInstallHandler(ViSession vi, ViEventType, ViHndlr, void*) { return Unsupported(vi); }
HVZVISA_API ViStatus viUninstallHandler(ViSession vi, ViEventType, ViHndlr, void*) { return Unsupported(vi); }

HVZVISA_API ViStatus viRead(ViSession vi, ViByte* buf, ViUInt32 cnt, ViUInt32* retCnt) {
  return Guarded([&] { return Library().Read(vi, buf, cnt, retCnt); });
}

HVZVISA_API ViStatus viWrite(ViSession vi, const ViByte* buf, ViUInt32 cnt, ViUInt32* retCnt) {
  return Guarded([&] { return Library().Write(vi, buf, cnt, retCnt); });
}

// Asynchronous transfers complete through I/O completion events, which
// this library does not raise.
HVZVISA_API ViStatus viReadAsync(ViSession vi, ViByte*, ViUInt32, ViJobId* jobId) {
  if (jobId) *jobId = 0;
  return Unsupported(vi);
}

HVZVISA_API ViStatus viWriteAsync(ViSession vi, const ViByte*, ViUInt32, ViJobId* jobId) {
  if (jobId) *jobId = 0;
  return Unsupported(vi);
}

HVZVISA_API ViStatus viReadToFile(ViSession vi, const ViChar*, ViUInt32, ViUInt32* retCnt) {
  if (retCnt) *retCnt = 0;
  return Unsupported(vi);
}

HVZVISA_API ViStatus viWriteFromFile(ViSession vi, const ViChar*, ViUInt32, ViUInt32* retCnt) {
  if (retCnt) *retCnt = 0;
  return Unsupported(vi);
}

HVZVISA_API ViStatus viAssertTrigger(ViSession vi, ViUInt16 protocol) {
  return Guarded([&] { return Library().AssertTrigger(vi, protocol); });
}

HVZVISA_API ViStatus viReadSTB(ViSession vi, ViUInt16* status) {
  return Guarded([&] { return Library().ReadSTB(vi, status); });
}

HVZVISA_API ViStatus viClear(ViSession vi) {
  return Guarded([&] { return Library().Clear(vi); });
}

HVZVISA_API ViStatus viSetBuf(ViSession vi, ViUInt16 mask, ViUInt32 size) {
  return Guarded([&] {
    if (KindOf(vi) != ObjectKind::Instrument) return VI_ERROR_INV_OBJECT;
    constexpr ViUInt16 kFormatted = VI_READ_BUF | VI_WRITE_BUF;
    constexpr ViUInt16 kLowLevel = VI_IO_IN_BUF | VI_IO_OUT_BUF;
    if (mask == 0 || (mask & ~(kFormatted | kLowLevel))) return VI_ERROR_INV_MASK;
    if (size == 0) return VI_ERROR_INV_PARAMETER;
    // A formatted write goes out whole and a formatted read takes one whole
    // message, so neither needs a buffer size; the kernel sizes the others.
    return (mask & kLowLevel) ? VI_WARN_NSUP_BUF : VI_SUCCESS;
  });
}

HVZVISA_API ViStatus viFlush(ViSession vi, ViUInt16 mask) {
  return Guarded([&] { return Library().Flush(vi, mask); });
}

HVZVISA_API ViStatus viBufWrite(ViSession vi, const ViByte* buf, ViUInt32 cnt, ViUInt32* retCnt) {
  return Guarded([&] { return Library().Write(vi, buf, cnt, retCnt); });
}

HVZVISA_API ViStatus viBufRead(ViSession vi, ViByte* buf, ViUInt32 cnt, ViUInt32* retCnt) {
  return Guarded([&] { return Library().Read(vi, buf, cnt, retCnt); });
}

HVZVISA_API ViStatus viVPrintf(ViSession vi, const ViChar* writeFmt, va_list params) {
  return Guarded([&] { return FormattedWrite(Library(), vi, writeFmt, params); });
}

HVZVISA_API ViStatus viPrintf(ViSession vi, const ViChar* writeFmt, ...) {
  va_list params;
  va_start(params, writeFmt);
  const ViStatus status = viVPrintf(vi, writeFmt, params);
  va_end(params);
  return status;
}

HVZVISA_API ViStatus viVSPrintf(ViSession vi, ViByte* buf, const ViChar* writeFmt, va_list params) {
  return Guarded([&] { return FormattedWriteToBuffer(Library(), vi, buf, writeFmt, params); });
}

HVZVISA_API ViStatus viSPrintf(ViSession vi, ViByte* buf, const ViChar* writeFmt, ...) {
  va_list params;
  va_start(params, writeFmt);
  const ViStatus status = viVSPrintf(vi, buf, writeFmt, params);
  va_end(params);
  return status;
}

HVZVISA_API ViStatus viVScanf(ViSession vi, const ViChar* readFmt, va_list params) {
  return Guarded([&] { return FormattedRead(Library(), vi, readFmt, params); });
}

HVZVISA_API ViStatus viScanf(ViSession vi, const ViChar* readFmt, ...) {
  va_list params;
  va_start(params, readFmt);
  const ViStatus status = viVScanf(vi, readFmt, params);
  va_end(params);
  return status;
}

HVZVISA_API ViStatus viVSScanf(ViSession vi, const ViByte* buf, const ViChar* readFmt, va_list params) {
  return Guarded([&] { return FormattedReadFromBuffer(Library(), vi, buf, readFmt, params); });
}

HVZVISA_API ViStatus viSScanf(ViSession vi, const ViByte* buf, const ViChar* readFmt, ...) {
  va_list params;
  va_start(params, readFmt);
  const ViStatus status = viVSScanf(vi, buf, readFmt, params);
  va_end(params);
  return status;
}

HVZVISA_API ViStatus viVQueryf(ViSession vi, const ViChar* writeFmt, const ViChar* readFmt, va_list params) {
  return Guarded([&] { return FormattedQuery(Library(), vi, writeFmt, readFmt, params); });
}

HVZVISA_API ViStatus viQueryf(ViSession vi, const ViChar* writeFmt, const ViChar* readFmt, ...) {
  va_list params;
  va_start(params, readFmt);
  const ViStatus status = viVQueryf(vi, writeFmt, readFmt, params);
  va_end(params);
  return status;
}

// Buses this library does not serve.
HVZVISA_API ViStatus viGpibControlREN(ViSession vi, ViUInt16) { return Unsupported(vi); }
HVZVISA_API ViStatus viGpibControlATN(ViSession vi, ViUInt16) { return Unsupported(vi); }
HVZVISA_API ViStatus viGpibSendIFC(ViSession vi) { return Unsupported(vi); }
HVZVISA_API ViStatus viGpibCommand(ViSession vi, const ViByte*, ViUInt32, ViUInt32* retCnt) {
  if (retCnt) *retCnt = 0;
  return Unsupported(vi);
}
HVZVISA_API ViStatus viGpibPassControl(ViSession vi, ViUInt16, ViUInt16) { return Unsupported(vi); }
HVZVISA_API ViStatus viVxiCommandQuery(ViSession vi, ViUInt16, ViUInt32, ViUInt32*) { return Unsupported(vi); }
HVZVISA_API ViStatus viAssertUtilSignal(ViSession vi, ViUInt16) { return Unsupported(vi); }
HVZVISA_API ViStatus viAssertIntrSignal(ViSession vi, ViInt16, ViUInt32) { return Unsupported(vi); }
HVZVISA_API ViStatus viMapTrigger(ViSession vi, ViInt16, ViInt16, ViUInt16) { return Unsupported(vi); }
HVZVISA_API ViStatus viUnmapTrigger(ViSession vi, ViInt16, ViInt16) { return Unsupported(vi); }
HVZVISA_API ViStatus viUsbControlOut(ViSession vi, ViInt16, ViInt16, ViUInt16, ViUInt16, ViUInt16, const ViByte*) {
  return Unsupported(vi);
}
HVZVISA_API ViStatus viUsbControlIn(ViSession vi, ViInt16, ViInt16, ViUInt16, ViUInt16, ViUInt16, ViByte*,
                                    ViUInt16* retCnt) {
  if (retCnt) *retCnt = 0;
  return Unsupported(vi);
}
HVZVISA_API ViStatus viIn8(ViSession vi, ViUInt16, ViBusAddress, ViUInt8*) { return Unsupported(vi); }
HVZVISA_API ViStatus viOut8(ViSession vi, ViUInt16, ViBusAddress, ViUInt8) { return Unsupported(vi); }
HVZVISA_API ViStatus viIn16(ViSession vi, ViUInt16, ViBusAddress, ViUInt16*) { return Unsupported(vi); }
HVZVISA_API ViStatus viOut16(ViSession vi, ViUInt16, ViBusAddress, ViUInt16) { return Unsupported(vi); }
HVZVISA_API ViStatus viIn32(ViSession vi, ViUInt16, ViBusAddress, ViUInt32*) { return Unsupported(vi); }
HVZVISA_API ViStatus viOut32(ViSession vi, ViUInt16, ViBusAddress, ViUInt32) { return Unsupported(vi); }
HVZVISA_API ViStatus viIn64(ViSession vi, ViUInt16, ViBusAddress, ViUInt64*) { return Unsupported(vi); }
HVZVISA_API ViStatus viOut64(ViSession vi, ViUInt16, ViBusAddress, ViUInt64) { return Unsupported(vi); }
HVZVISA_API ViStatus viMoveIn8(ViSession vi, ViUInt16, ViBusAddress, ViBusSize, ViUInt8*) { return Unsupported(vi); }
HVZVISA_API ViStatus viMoveOut8(ViSession vi, ViUInt16, ViBusAddress, ViBusSize, ViUInt8*) {
  return Unsupported(vi);
}
HVZVISA_API ViStatus viMoveIn16(ViSession vi, ViUInt16, ViBusAddress, ViBusSize, ViUInt16*) {
  return Unsupported(vi);
}
HVZVISA_API ViStatus viMoveOut16(ViSession vi, ViUInt16, ViBusAddress, ViBusSize, ViUInt16*) {
  return Unsupported(vi);
}
HVZVISA_API ViStatus viMoveIn32(ViSession vi, ViUInt16, ViBusAddress, ViBusSize, ViUInt32*) {
  return Unsupported(vi);
}
HVZVISA_API ViStatus viMoveOut32(ViSession vi, ViUInt16, ViBusAddress, ViBusSize, ViUInt32*) {
  return Unsupported(vi);
}
HVZVISA_API ViStatus viMoveIn64(ViSession vi, ViUInt16, ViBusAddress, ViBusSize, ViUInt64*) {
  return Unsupported(vi);
}
HVZVISA_API ViStatus viMoveOut64(ViSession vi, ViUInt16, ViBusAddress, ViBusSize, ViUInt64*) {
  return Unsupported(vi);
}
HVZVISA_API ViStatus viMove(ViSession vi, ViUInt16, ViBusAddress, ViUInt16, ViUInt16, ViBusAddress, ViUInt16,
                            ViBusSize) {
  return Unsupported(vi);
}
HVZVISA_API ViStatus viMoveAsync(ViSession vi, ViUInt16, ViBusAddress, ViUInt16, ViUInt16, ViBusAddress, ViUInt16,
                                 ViBusSize, ViJobId* jobId) {
  if (jobId) *jobId = 0;
  return Unsupported(vi);
}
HVZVISA_API ViStatus viMapAddress(ViSession vi, ViUInt16, ViBusAddress, ViBusSize, ViBoolean, void*,
                                  void** address) {
  if (address) *address = nullptr;
  return Unsupported(vi);
}
HVZVISA_API ViStatus viUnmapAddress(ViSession vi) { return Unsupported(vi); }
HVZVISA_API ViStatus viMemAlloc(ViSession vi, ViBusSize, ViBusAddress* offset) {
  if (offset) *offset = 0;
  return Unsupported(vi);
}
HVZVISA_API ViStatus viMemFree(ViSession vi, ViBusAddress) { return Unsupported(vi); }
