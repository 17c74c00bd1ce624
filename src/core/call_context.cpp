#include "core/call_context.h"

#include <vector>

namespace hvzelta {

namespace {

struct Frame {
  const void* driver;
  const MemberDescriptor* member;
};

thread_local std::vector<Frame> t_frames;

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

CallContextScope::CallContextScope(const void* driver, const MemberDescriptor& member) {
  t_frames.push_back({driver, &member});
}

CallContextScope::~CallContextScope() { t_frames.pop_back(); }

const MemberDescriptor* CallContextScope::Innermost(const void* driver) {
  for (auto it = t_frames.rbegin(); it != t_frames.rend(); ++it) {
    if (it->driver == driver) return it->member;
  }
  return nullptr;
}

}  // namespace hvzelta
