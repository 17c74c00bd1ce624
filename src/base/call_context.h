#pragma once

#include <string>
#include <string_view>

#include "hvzelta/com/types.h"

namespace hvzelta {

enum class MemberKind { Getter, Putter, Method };

// Whether the method frame refuses the member while the driver is not
// initialized. Only the driver's identity constants, Initialize, the
// initialized flag and the sub-object getters are exempt.
enum class InitCheck { Required, Exempt };

// What the frame, the error reports and the enumeration converters need to
// know about one member of the object interface. Descriptors are built once,
// as static data, and live for the whole process.
class MemberDescriptor {
 public:
  MemberDescriptor(const IID& interfaceId, std::string_view interfaceName, MemberKind kind, std::string_view name,
                   InitCheck initCheck = InitCheck::Required);

  const IID& InterfaceId() const { return interfaceId_; }
  std::string_view InterfaceName() const { return interfaceName_; }
  // "get_VoltageLevel", "put_VoltageLevel" or "Fetch".
  const std::string& MemberName() const { return memberName_; }
  // "IHalvornZeltaOutput.VoltageLevel": the key of enumeration converters and
  // of the simulated-value store.
  const std::string& ContextName() const { return contextName_; }
  bool RequiresInitialized() const { return initCheck_ == InitCheck::Required; }

 private:
  IID interfaceId_;
  std::string_view interfaceName_;
  std::string memberName_;
  std::string contextName_;
  InitCheck initCheck_;
};

// Who is running: the error reporter asks it for the interface to name in the
// error information, the enumeration converters for the member's context.
class ICallContextProvider {
 public:
  // The interface of the innermost member running on the calling thread;
  // GUID_NULL when none is.
  virtual IID GetCallContext() const = 0;
  // The innermost member running on the calling thread, or null.
  virtual const MemberDescriptor* CurrentMember() const = 0;

 protected:
  ~ICallContextProvider() = default;
};

// Pushes a member on the calling thread's call-context stack for one driver and
// pops it on scope exit. The stack is per thread, so that calls made at the
// same time on different objects of one driver each see their own member, and
// it is a chain of these scope objects, so that pushing never allocates.
class CallContextScope {
 public:
  CallContextScope(const void* driver, const MemberDescriptor& member) noexcept;
  ~CallContextScope();
  CallContextScope(const CallContextScope&) = delete;
  CallContextScope& operator=(const CallContextScope&) = delete;

  // The innermost member the calling thread runs for `driver`, or null.
  static const MemberDescriptor* Innermost(const void* driver) noexcept;

 private:
  const void* driver_;
  const MemberDescriptor* member_;
  CallContextScope* outer_;
};

}  // namespace hvzelta
