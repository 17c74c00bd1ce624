#include "core/rep_cap.h"

#include "core/driver.h"
#include "platform/text.h"

namespace hvzelta {

HRESULT RepCapCollection::Find(const CDriver& root, std::string_view name, CRepCap*& found) const {
  found = nullptr;
  name = TrimWhiteSpace(name);
  if (name.empty() && instances_.size() == 1) {
    found = instances_.front();
    return S_OK;
  }
  const std::string physical = root.ResolveName(name);
  for (CRepCap* instance : instances_) {
    if (EqualsIgnoringCase(instance->PhysicalName(), physical)) {
      found = instance;
      return S_OK;
    }
  }
  return root.Reporter().Report(Message::UnknownPhysicalIdentifier);
}

HRESULT RepCapCollection::NameAt(const CDriver& root, const MemberDescriptor& member, std::int32_t index,
                                 std::string& name) const {
  if (index < 1 || index > Count()) return root.Reporter().ReportInvalidInteger(member.MemberName(), "Index", index);
  name = root.ReportedNameOf(repCapName_, instances_[static_cast<std::size_t>(index - 1)]->PhysicalName());
  return S_OK;
}

}  // namespace hvzelta
