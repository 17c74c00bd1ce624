// The instrument's stored setups: recall and store by number.

#include <string>

#include "acpwr/halvorn_zelta.h"
#include "acpwr/member_exchange.h"
#include "acpwr/property_row.h"

namespace hvzelta {

namespace {

const InterfaceMembers kMemory{IHalvornZeltaMemory::kIid, "IHalvornZeltaMemory"};

const MemberDescriptor kRecall = kMemory.Method("Recall");
const MemberDescriptor kStore = kMemory.Method("Store");

HRESULT MemoryCommand(HalvornZelta& root, const MemberDescriptor& member, std::string_view format,
                      std::int32_t memory) {
  return root.RunFrame(member, {In("MemNo", memory)}, [&] {
    auto packed = PackFormatArgs(memory);
    FormatArgs args(packed);
    std::string command;
    if (HRESULT hr = FormatCommand(root, format, args, command); Failed(hr)) return hr;
    return DefaultWrite(root, command);
  });
}

}  // namespace

HRESULT MemoryFacet::Recall(std::int32_t MemNo) { return MemoryCommand(Owner(), kRecall, "*RCL %d", MemNo); }
HRESULT MemoryFacet::Store(std::int32_t MemNo) { return MemoryCommand(Owner(), kStore, "*SAV %d", MemNo); }

}  // namespace hvzelta
