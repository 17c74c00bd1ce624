// The instrument's stored setups: recall and store by number.

#include <string>

#include "acpwr/halvorn_zelta.h"
#include "acpwr/member_exchange.h"

namespace hvzelta {

namespace {

MemberDescriptor MemoryMethod(std::string_view name) {
  return {IHalvornZeltaMemory::kIid, "IHalvornZeltaMemory", MemberKind::Method, name};
}

const MemberDescriptor kRecall = MemoryMethod("Recall");
const MemberDescriptor kStore = MemoryMethod("Store");

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
