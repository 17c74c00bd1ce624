#pragma once

#include <initializer_list>
#include <mutex>
#include <string>

#include "base/call_context.h"
#include "base/member_param.h"
#include "core/attribute_store.h"
#include "core/function_ref.h"
#include "hvzelta/com/types.h"

namespace hvzelta {

class CDriver;
class IErrorReporter;
class IIoSession;
struct OperationSettings;

// Every object of the driver's tree: the root driver and each repeated
// capability. A node reaches the root's session, reporter and settings, and
// runs each of its members in the method frame under its own lock.
class CNode {
 public:
  explicit CNode(CDriver& root) : root_(root) {}
  virtual ~CNode() = default;
  CNode(const CNode&) = delete;
  CNode& operator=(const CNode&) = delete;

  CDriver& Root() const { return root_; }
  IErrorReporter& Reporter() const;
  // The root's I/O session; null while none is open (always in simulation).
  IIoSession* Io() const;
  const OperationSettings& Settings() const;
  bool IsInitialized() const;
  const std::string& InstrumentModel() const;
  bool IsModelSupported() const;

  // The method frame. Takes this object's lock, makes `member` the calling
  // thread's call context, refuses the call while the driver is not
  // initialized (unless the member is exempt), clears the thread's error
  // information, checks and empties the out-pointers in the order given, then
  // runs `work` inside the call's trace record. Nothing escapes as an
  // exception: running out of memory and any other failure become statuses
  // with their messages.
  HRESULT RunFrame(const MemberDescriptor& member, std::initializer_list<MemberParam> params,
                   FunctionRef<HRESULT()> work) noexcept;

  // The simulated values of this object; used under the object's lock.
  AttributeStore& Attributes() { return attributes_; }
  // Invalidates the simulated values of this object and of every object below
  // it, each under its own object's lock.
  void InvalidateAttributeTree();
  // The objects directly below this one, in table order.
  virtual void ForEachChild(FunctionRef<void(CNode&)> visit) { (void)visit; }

 private:
  CDriver& root_;
  std::recursive_mutex lock_;
  AttributeStore attributes_;
};

}  // namespace hvzelta
