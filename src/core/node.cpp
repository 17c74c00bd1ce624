#include "core/node.h"

#include <new>

#include "core/driver.h"
#include "hvzelta/com/error_info.h"
#include "trace/method_trace.h"

namespace hvzelta {

IErrorReporter& CNode::Reporter() const { return root_.Reporter(); }
IIoSession* CNode::Io() const { return root_.Io(); }
const OperationSettings& CNode::Settings() const { return root_.Settings(); }
bool CNode::IsInitialized() const { return root_.IsInitialized(); }
const std::string& CNode::InstrumentModel() const { return root_.InstrumentModel(); }
bool CNode::IsModelSupported() const { return root_.IsModelSupported(); }

void CNode::InvalidateAttributeTree() {
  {
    std::lock_guard lock(lock_);
    attributes_.InvalidateAll();
  }
  ForEachChild([](CNode& child) { child.InvalidateAttributeTree(); });
}

HRESULT CNode::RunFrame(const MemberDescriptor& member, std::initializer_list<MemberParam> params,
                        FunctionRef<HRESULT()> work) noexcept {
  std::unique_lock lock(lock_, std::defer_lock);
  try {
    lock.lock();
  } catch (...) {
    // The lock itself failed (the system refused the mutex): nothing ran yet.
    return E_UNEXPECTED;
  }
  CallContextScope context(&root_, member);
  try {
    if (member.RequiresInitialized() && !root_.IsInitialized()) return Reporter().Report(Message::NotInitialized);
    ClearErrorInfo();
    for (const MemberParam& param : params) {
      if (param.IsMissingPointer()) return Reporter().ReportNullPointer(member.MemberName(), param.Name());
    }
    for (const MemberParam& param : params) param.Zero();
    CMethodTrace trace(&root_.Tracer(), member, params);
    const HRESULT hr = work();
    trace.Finish(hr);
    return hr;
  } catch (const std::bad_alloc&) {
    return Reporter().Report(Message::OutOfMemory);
  } catch (...) {
    return Reporter().Report(Message::CannotRecover, "An unexpected internal failure ended the operation.");
  }
}

}  // namespace hvzelta
