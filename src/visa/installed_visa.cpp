#include "visa/installed_visa.h"

#include <dlfcn.h>

#include <cstring>

namespace hvzelta::visa {
namespace {

constexpr const char* kFunctionNames[InstalledVisa::kFunctionCount] = {
    "viOpenDefaultRM", "viOpen",         "viClose",         "viRead",        "viWrite",
    "viReadSTB",       "viClear",        "viAssertTrigger", "viFlush",       "viLock",
    "viUnlock",        "viGetAttribute", "viSetAttribute",  "viStatusDesc",  "viParseRsrc",
    "viEnableEvent",   "viDisableEvent", "viDiscardEvents", "viWaitOnEvent",
};

// The library's functions have C linkage and the published signatures.
extern "C" {
using OpenDefaultRMFn = ViStatus (*)(ViSession*);
using OpenFn = ViStatus (*)(ViSession, const ViChar*, ViAccessMode, ViUInt32, ViSession*);
using CloseFn = ViStatus (*)(ViObject);
using ReadFn = ViStatus (*)(ViSession, ViByte*, ViUInt32, ViUInt32*);
using WriteFn = ViStatus (*)(ViSession, const ViByte*, ViUInt32, ViUInt32*);
using ReadSTBFn = ViStatus (*)(ViSession, ViUInt16*);
using ClearFn = ViStatus (*)(ViSession);
using AssertTriggerFn = ViStatus (*)(ViSession, ViUInt16);
using FlushFn = ViStatus (*)(ViSession, ViUInt16);
using LockFn = ViStatus (*)(ViSession, ViAccessMode, ViUInt32, const ViChar*, ViChar*);
using UnlockFn = ViStatus (*)(ViSession);
using GetAttributeFn = ViStatus (*)(ViObject, ViAttr, void*);
using SetAttributeFn = ViStatus (*)(ViObject, ViAttr, ViAttrState);
using StatusDescFn = ViStatus (*)(ViObject, ViStatus, ViChar*);
using ParseRsrcFn = ViStatus (*)(ViSession, const ViChar*, ViUInt16*, ViUInt16*);
// viEnableEvent takes a filter context that VISA reserves (always VI_NULL).
using EnableEventFn = ViStatus (*)(ViSession, ViEventType, ViUInt16, ViEventFilter);
using EventMechanismFn = ViStatus (*)(ViSession, ViEventType, ViUInt16);
using WaitOnEventFn = ViStatus (*)(ViSession, ViEventType, ViUInt32, ViEventType*, ViEvent*);
}

}  // namespace

ViStatus InstalledVisa::Load(const std::string& path, std::shared_ptr<IVisaLibrary>& library, std::string& error) {
  std::shared_ptr<InstalledVisa> loaded(new InstalledVisa);
  loaded->handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!loaded->handle_) {
    const char* reason = ::dlerror();
    error = "The VISA library '" + path + "' could not be loaded: " + (reason ? reason : "unknown reason") + ".";
    return VI_ERROR_LIBRARY_NFOUND;
  }
  std::string missing;
  for (int i = 0; i < kFunctionCount; ++i) {
    loaded->functions_[i] = ::dlsym(loaded->handle_, kFunctionNames[i]);
    if (!loaded->functions_[i] && i < kRequiredFunctionCount) {
      missing += (missing.empty() ? "" : ", ") + std::string(kFunctionNames[i]);
    }
  }
  if (!missing.empty()) {
    error = "The VISA library '" + path + "' lacks the function(s) " + missing + ".";
    return VI_ERROR_LIBRARY_NFOUND;
  }
  library = std::move(loaded);
  return VI_SUCCESS;
}

InstalledVisa::~InstalledVisa() {
  if (handle_) ::dlclose(handle_);
}

template <typename Signature, typename... Args>
ViStatus InstalledVisa::Call(Function function, Args... args) {
  if (!functions_[function]) return VI_ERROR_NSUP_OPER;
  Signature target;
  static_assert(sizeof target == sizeof functions_[function]);
  std::memcpy(&target, &functions_[function], sizeof target);
  return target(args...);
}

ViStatus InstalledVisa::OpenDefaultRM(ViSession* rm) { return Call<OpenDefaultRMFn>(kOpenDefaultRM, rm); }
ViStatus InstalledVisa::Open(ViSession rm, const ViChar* name, ViAccessMode mode, ViUInt32 openTimeout,
                             ViSession* vi) {
  return Call<OpenFn>(kOpen, rm, name, mode, openTimeout, vi);
}
ViStatus InstalledVisa::Close(ViObject vi) { return Call<CloseFn>(kClose, vi); }
ViStatus InstalledVisa::Read(ViSession vi, ViByte* buffer, ViUInt32 count, ViUInt32* retCount) {
  return Call<ReadFn>(kRead, vi, buffer, count, retCount);
}
ViStatus InstalledVisa::Write(ViSession vi, const ViByte* buffer, ViUInt32 count, ViUInt32* retCount) {
  return Call<WriteFn>(kWrite, vi, buffer, count, retCount);
}
ViStatus InstalledVisa::ReadSTB(ViSession vi, ViUInt16* status) { return Call<ReadSTBFn>(kReadSTB, vi, status); }
ViStatus InstalledVisa::Clear(ViSession vi) { return Call<ClearFn>(kClear, vi); }
ViStatus InstalledVisa::AssertTrigger(ViSession vi, ViUInt16 protocol) {
  return Call<AssertTriggerFn>(kAssertTrigger, vi, protocol);
}
ViStatus InstalledVisa::Flush(ViSession vi, ViUInt16 mask) { return Call<FlushFn>(kFlush, vi, mask); }
ViStatus InstalledVisa::Lock(ViSession vi, ViAccessMode lockType, ViUInt32 timeout, const ViChar* requestedKey,
                             ViChar* accessKey) {
  return Call<LockFn>(kLock, vi, lockType, timeout, requestedKey, accessKey);
}
ViStatus InstalledVisa::Unlock(ViSession vi) { return Call<UnlockFn>(kUnlock, vi); }
ViStatus InstalledVisa::GetAttribute(ViObject vi, ViAttr attribute, void* value) {
  return Call<GetAttributeFn>(kGetAttribute, vi, attribute, value);
}
ViStatus InstalledVisa::SetAttribute(ViObject vi, ViAttr attribute, ViAttrState value) {
  return Call<SetAttributeFn>(kSetAttribute, vi, attribute, value);
}
ViStatus InstalledVisa::StatusDesc(ViObject vi, ViStatus status, ViChar* description) {
  return Call<StatusDescFn>(kStatusDesc, vi, status, description);
}
ViStatus InstalledVisa::ParseRsrc(ViSession rm, const ViChar* name, ViUInt16* interfaceType,
                                  ViUInt16* interfaceNumber) {
  return Call<ParseRsrcFn>(kParseRsrc, rm, name, interfaceType, interfaceNumber);
}
ViStatus InstalledVisa::EnableEvent(ViSession vi, ViEventType type, ViUInt16 mechanism) {
  return Call<EnableEventFn>(kEnableEvent, vi, type, mechanism, ViEventFilter{VI_NULL});
}
ViStatus InstalledVisa::DisableEvent(ViSession vi, ViEventType type, ViUInt16 mechanism) {
  return Call<EventMechanismFn>(kDisableEvent, vi, type, mechanism);
}
ViStatus InstalledVisa::DiscardEvents(ViSession vi, ViEventType type, ViUInt16 mechanism) {
  return Call<EventMechanismFn>(kDiscardEvents, vi, type, mechanism);
}
ViStatus InstalledVisa::WaitOnEvent(ViSession vi, ViEventType type, ViUInt32 timeout, ViEventType* outType,
                                    ViEvent* outContext) {
  return Call<WaitOnEventFn>(kWaitOnEvent, vi, type, timeout, outType, outContext);
}

}  // namespace hvzelta::visa
