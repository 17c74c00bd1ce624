#pragma once

// The VISA library of our own: resource strings of the published grammar,
// sessions over the transports of this folder, and VISA locks between the
// sessions of the process.

#include <memory>
#include <mutex>
#include <unordered_map>

#include "visa/visa_library.h"

namespace hvzelta::visa {

class BuiltinVisa final : public IVisaLibrary {
 public:
  BuiltinVisa();
  ~BuiltinVisa() override;

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

 private:
  struct Session;
  std::shared_ptr<Session> Find(ViObject vi) const;
  Session* FindForThisThread(ViObject vi) const;
  // Runs `operation` on an instrument session under its lock, after the
  // check that no other session's VISA lock keeps it out.
  template <typename Operation>
  ViStatus WithInstrument(ViSession vi, bool needsAccess, Operation&& operation);
  ViStatus CloseSession(const std::shared_ptr<Session>& session);

  mutable std::mutex tableMutex_;
  std::unordered_map<ViObject, std::shared_ptr<Session>> sessions_;
};

// The process's one built-in library.
std::shared_ptr<IVisaLibrary> BuiltinVisaLibrary();

}  // namespace hvzelta::visa
