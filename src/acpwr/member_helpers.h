#pragma once

#include <initializer_list>
#include <string_view>

#include "base/call_context.h"
#include "base/error_reporter.h"
#include "core/node.h"

namespace hvzelta {

// A class-compliant method the instrument lacks: it traces its arguments and
// checks its out-pointers like any member, then reports "not supported"
// naming `reportedName`, also while simulating.
inline HRESULT UnsupportedMethod(CNode& node, const MemberDescriptor& member, std::initializer_list<MemberParam> params,
                                 std::string_view reportedName) {
  return node.RunFrame(member, params, [&] { return node.Reporter().ReportMethodNotSupported(reportedName); });
}

// A getter that hands out another interface of an existing object; it needs
// no initialized driver and fails only on a null pointer.
template <class Interface>
HRESULT GetSubObject(CNode& node, const MemberDescriptor& member, Interface** val, Interface* object) {
  return node.RunFrame(member, {Out("val", val)}, [&] {
    *val = object;
    object->AddRef();
    return S_OK;
  });
}

}  // namespace hvzelta
