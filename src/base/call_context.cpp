#include "base/call_context.h"

namespace hvzelta {

namespace {

thread_local CallContextScope* t_innermost = nullptr;

std::string_view PrefixOf(MemberKind kind) {
  switch (kind) {
    case MemberKind::Getter:
      return "get_";
    case MemberKind::Putter:
      return "put_";
    case MemberKind::Method:
      break;
  }
  return "";
}

}  // namespace

MemberDescriptor::MemberDescriptor(const IID& interfaceId, std::string_view interfaceName, MemberKind kind,
                                   std::string_view name, InitCheck initCheck)
    : interfaceId_(interfaceId),
      interfaceName_(interfaceName),
      memberName_(std::string(PrefixOf(kind)) + std::string(name)),
      contextName_(std::string(interfaceName) + "." + std::string(name)),
      initCheck_(initCheck) {}

CallContextScope::CallContextScope(const void* driver, const MemberDescriptor& member) noexcept
    : driver_(driver), member_(&member), outer_(t_innermost) {
  t_innermost = this;
}

CallContextScope::~CallContextScope() { t_innermost = outer_; }

const MemberDescriptor* CallContextScope::Innermost(const void* driver) noexcept {
  for (const CallContextScope* scope = t_innermost; scope; scope = scope->outer_) {
    if (scope->driver_ == driver) return scope->member_;
  }
  return nullptr;
}

}  // namespace hvzelta
