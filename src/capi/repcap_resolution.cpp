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

// Appends each selected object to `objects` in selector order, fetching the
// driver object afresh for every path.
template <class Object>
ViStatus ResolveEach(ViSession vi, std::string_view text, bool rangesAllowed, ObjectList<Object>& objects) {
  ChannelSelector selector(objects.get_allocator().resource());
  const SelectorError parsed = selector.Parse(text, rangesAllowed);
  if (parsed != SelectorError::None) return ReportSelectorError(vi, parsed);
  for (std::size_t path = 0; path < selector.PathCount(); ++path) {
    ComPtr<typename CollectionOf<Object>::Type> collection;
    if (const ViStatus status = GetInterface(vi, collection)) return status;
    SelectorName name;
    if (const SelectorError error = selector.Name(path, 0, name); error != SelectorError::None) {
      return ReportSelectorError(vi, error);
    }
    const Bstr nameText = NameAsBstr(name);
    if (!nameText.Get()) {
      return SetSessionError(vi, HVZELTA_ERROR_OUT_OF_MEMORY, CMessageText(HVZELTA_ERROR_OUT_OF_MEMORY));
    }
    ComPtr<Object> object;
    if (const ViStatus status = ConvertDriverStatus(vi, collection->get_Item(nameText.Get(), object.Out()))) {
      return status;
    }
    if (!object) return static_cast<ViStatus>(_VI_ERROR);
    objects.push_back(std::move(object));
  }
  return VI_SUCCESS;
}

// ResolveEach through the session's selection cache. A hit stands for a
// resolution that succeeded before on the same live session, so it gives
// what resolving again would; anything unusual (an invalid handle, a failing
// name) takes the full path and reports as it always did.
template <class Object>
ViStatus ResolveSelected(ViSession vi, const char* channelName, bool rangesAllowed, ObjectList<Object>& objects) {
  const std::string_view text = channelName ? std::string_view(channelName) : std::string_view();
  std::shared_ptr<CSession> session;
  if (SessionFromHandle(vi, session) != VI_SUCCESS || !session) {
    return ResolveEach(vi, text, rangesAllowed, objects);
  }
  if (session->Selections().Find<Object>(text, rangesAllowed, objects)) return VI_SUCCESS;
  const ViStatus status = ResolveEach(vi, text, rangesAllowed, objects);
  if (status == VI_SUCCESS) session->Selections().Keep<Object>(text, rangesAllowed, objects);
  return status;
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
  return ResolveSelected(vi, channelName, rangesAllowed, outputs);
}

ViStatus ResolvePhases(ViSession vi, const char* channelName, bool rangesAllowed,
                       ObjectList<IIviACPwrOutputPhase>& phases) {
  return ResolveSelected(vi, channelName, rangesAllowed, phases);
}

template <class Part>
ViStatus ResolvePhaseParts(ViSession vi, const char* channelName, bool rangesAllowed, ObjectList<Part>& parts) {
  ObjectList<IIviACPwrOutputPhase> phases(parts.get_allocator().resource());
  if (const ViStatus status = ResolveSelected(vi, channelName, rangesAllowed, phases)) return status;
  for (const auto& phase : phases) {
    ComPtr<Part> part;
    if (const ViStatus status = ConvertDriverStatus(vi, phase.As(part))) return status;
    parts.push_back(std::move(part));
  }
  return VI_SUCCESS;
}

template ViStatus ResolvePhaseParts(ViSession, const char*, bool, ObjectList<IIviACPwrCurrentProtection>&);
template ViStatus ResolvePhaseParts(ViSession, const char*, bool, ObjectList<IIviACPwrVoltageProtection>&);
template ViStatus ResolvePhaseParts(ViSession, const char*, bool, ObjectList<IIviACPwrImpedance>&);
template ViStatus ResolvePhaseParts(ViSession, const char*, bool, ObjectList<IIviACPwrDCGeneration>&);

}  // namespace hvzelta::capi
