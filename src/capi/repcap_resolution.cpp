#include "capi/repcap_resolution.h"

#include <string_view>

#include "capi/c_messages.h"
#include "capi/c_session.h"
#include "hvzelta/com/bstr.h"
#include "platform/ivi_session.h"

namespace hvzelta::capi {

namespace {

// The collection interface each kind of object is found through.
template <class Object>
struct CollectionOf;
template <>
struct CollectionOf<IHalvornZeltaOutput> {
  using Type = IHalvornZeltaOutputs;
};
template <>
struct CollectionOf<IIviACPwrOutputPhase> {
  using Type = IIviACPwrOutputPhases;
};

Bstr NameAsBstr(const SelectorName& name) {
  Bstr text;
  const auto size = static_cast<std::uint32_t>(name.Size());
  text.Reset(SysAllocStringLen(nullptr, size));
  if (text.Get()) name.SpellInto(text.Get());
  return text;
}

// Calls `found` with each selected object in selector order, fetching the
// driver object afresh for every path.
template <class Object, class Found>
ViStatus ForEachSelected(ViSession vi, const char* channelName, bool rangesAllowed, std::pmr::memory_resource* memory,
                         Found&& found) {
  ChannelSelector selector(memory);
  const SelectorError parsed =
      selector.Parse(channelName ? std::string_view(channelName) : std::string_view(), rangesAllowed);
  if (parsed != SelectorError::None) return ReportSelectorError(vi, parsed);
  for (std::size_t path = 0; path < selector.PathCount(); ++path) {
    ComPtr<typename CollectionOf<Object>::Type> collection;
    if (const ViStatus status = GetInterface(vi, collection)) return status;
    SelectorName name;
    if (const SelectorError error = selector.Name(path, 0, name); error != SelectorError::None) {
      return ReportSelectorError(vi, error);
    }
    const Bstr text = NameAsBstr(name);
    if (!text.Get()) return SetSessionError(vi, HVZELTA_ERROR_OUT_OF_MEMORY, CMessageText(HVZELTA_ERROR_OUT_OF_MEMORY));
    ComPtr<Object> object;
    if (const ViStatus status = ConvertDriverStatus(vi, collection->get_Item(text.Get(), object.Out()))) {
      return status;
    }
    if (!object) return static_cast<ViStatus>(_VI_ERROR);
    if (const ViStatus status = found(std::move(object))) return status;
  }
  return VI_SUCCESS;
}

}  // namespace

ViStatus ReportSelectorError(ViSession vi, SelectorError error) {
  ViStatus code = HVZELTA_ERROR_BADLY_FORMED_SELECTOR;
  const char* text = "The repeated capability selector is badly-formed.";
  if (error == SelectorError::InvalidRange) {
    code = HVZELTA_ERROR_INVALID_RANGE_IN_SELECTOR;
    text = "Invalid range specified in repeated capability selector.";
  } else if (error == SelectorError::InvalidLevels) {
    code = HVZELTA_ERROR_INVALID_NUMBER_OF_LEVELS_IN_SELECTOR;
    text = "Invalid or inconsistent number of levels specified in repeated capability selector.";
  }
  const ViStatus stored = IviSession_SetError(vi, code, text);
  return stored ? stored : code;
}

ViStatus ResolveOutputs(ViSession vi, const char* channelName, bool rangesAllowed,
                        ObjectList<IHalvornZeltaOutput>& outputs) {
  return ForEachSelected<IHalvornZeltaOutput>(vi, channelName, rangesAllowed, outputs.get_allocator().resource(),
                                              [&](ComPtr<IHalvornZeltaOutput> output) {
                                                outputs.push_back(std::move(output));
                                                return VI_SUCCESS;
                                              });
}

ViStatus ResolvePhases(ViSession vi, const char* channelName, bool rangesAllowed,
                       ObjectList<IIviACPwrOutputPhase>& phases) {
  return ForEachSelected<IIviACPwrOutputPhase>(vi, channelName, rangesAllowed, phases.get_allocator().resource(),
                                               [&](ComPtr<IIviACPwrOutputPhase> phase) {
                                                 phases.push_back(std::move(phase));
                                                 return VI_SUCCESS;
                                               });
}

template <class Part>
ViStatus ResolvePhaseParts(ViSession vi, const char* channelName, bool rangesAllowed, ObjectList<Part>& parts) {
  return ForEachSelected<IIviACPwrOutputPhase>(vi, channelName, rangesAllowed, parts.get_allocator().resource(),
                                               [&](const ComPtr<IIviACPwrOutputPhase>& phase) {
                                                 ComPtr<Part> part;
                                                 const ViStatus status = ConvertDriverStatus(vi, phase.As(part));
                                                 if (status == VI_SUCCESS) parts.push_back(std::move(part));
                                                 return status;
                                               });
}

template ViStatus ResolvePhaseParts(ViSession, const char*, bool, ObjectList<IIviACPwrCurrentProtection>&);
template ViStatus ResolvePhaseParts(ViSession, const char*, bool, ObjectList<IIviACPwrVoltageProtection>&);
template ViStatus ResolvePhaseParts(ViSession, const char*, bool, ObjectList<IIviACPwrImpedance>&);
template ViStatus ResolvePhaseParts(ViSession, const char*, bool, ObjectList<IIviACPwrDCGeneration>&);

}  // namespace hvzelta::capi
