#pragma once

// An installed VISA shared library, loaded at run time with dlopen: each
// operation forwards to the library's own vi* function, so GPIB and vendor
// transports are reached the way that library reaches them.

#include <memory>
#include <string>

#include "visa/visa_library.h"

namespace hvzelta::visa {

class InstalledVisa final : public IVisaLibrary {
 public:
  // Loads the library at `path` (a file name is looked up the way the
  // dynamic loader does) and resolves every function the interface needs.
  // On failure the status is VI_ERROR_LIBRARY_NFOUND and `error` names the
  // path and what was missing.
  static ViStatus Load(const std::string& path, std::shared_ptr<IVisaLibrary>& library, std::string& error);
  ~InstalledVisa() override;

  ViStatus OpenDefaultRM(ViSession* rm) override;
  ViStatus Open(ViSession rm, const ViChar* name, ViAccessMode mode, ViUInt32 openTimeout, ViSession* vi) override;
  ViStatus Close(ViObject vi) override;
  ViStatus Read(ViSession vi, ViByte* buffer, ViUInt32 count, ViUInt32* retCount) override;
  ViStatus Write(ViSession vi, const ViByte* buffer, ViUInt32 count, ViUInt32* retCount) override;
  ViStatus ReadSTB(ViSession vi, ViUInt16* status) override;
  ViStatus Clear(ViSession vi) override;
  ViStatus AssertTrigger(ViSession vi, ViUInt16 protocol) override;
  ViStatus Flush(ViSession vi, ViUInt16 mask) override;
  ViStatus Lock(ViSession vi, ViAccessMode lockType, ViUInt32 timeout, const ViChar* requestedKey,
                ViChar* accessKey) override;
  ViStatus Unlock(ViSession vi) override;
  ViStatus GetAttribute(ViObject vi, ViAttr attribute, void* value) override;
  ViStatus SetAttribute(ViObject vi, ViAttr attribute, ViAttrState value) override;
  ViStatus StatusDesc(ViObject vi, ViStatus status, ViChar* description) override;
  ViStatus ParseRsrc(ViSession rm, const ViChar* name, ViUInt16* interfaceType,
                     ViUInt16* interfaceNumber) override;
  ViStatus EnableEvent(ViSession vi, ViEventType type, ViUInt16 mechanism) override;
  ViStatus DisableEvent(ViSession vi, ViEventType type, ViUInt16 mechanism) override;
  ViStatus DiscardEvents(ViSession vi, ViEventType type, ViUInt16 mechanism) override;
  ViStatus WaitOnEvent(ViSession vi, ViEventType type, ViUInt32 timeout, ViEventType* outType,
                       ViEvent* outContext) override;

  // The functions resolved from the library, in the order of kFunctionNames.
  enum Function {
    kOpenDefaultRM,
    kOpen,
    kClose,
    kRead,
    kWrite,
    kReadSTB,
    kClear,
    kAssertTrigger,
    kFlush,
    kLock,
    kUnlock,
    kGetAttribute,
    kSetAttribute,
    kStatusDesc,
    kParseRsrc,
    kRequiredFunctionCount,
    // Resolved when the library has them.
    kEnableEvent = kRequiredFunctionCount,
    kDisableEvent,
    kDiscardEvents,
    kWaitOnEvent,
    kFunctionCount
  };

 private:
  InstalledVisa() = default;
  // VI_ERROR_NSUP_OPER for a function the library does not have.
  template <typename Signature, typename... Args>
  ViStatus Call(Function function, Args... args);

  void* handle_ = nullptr;
  void* functions_[kFunctionCount] = {};
};

}  // namespace hvzelta::visa
