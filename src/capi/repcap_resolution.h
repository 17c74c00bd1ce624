#pragma once

// From a channel-name argument to the objects it selects: the outputs, the
// output phases, or a part (protection, impedance, DC generation) of each
// selected phase. Every name of the selector is resolved before the caller
// acts on any object.

#include <array>
#include <cstddef>
#include <memory_resource>
#include <vector>

#include "capi/channel_selector.h"
#include "hvzelta.h"
#include "hvzelta/halvorn_zelta_interfaces.h"
#include "hvzelta/ivi_acpwr.h"

namespace hvzelta::capi {

// Stack storage for one call's selector and object list; larger selections
// spill to the heap.
class SelectionArena {
 public:
  SelectionArena() = default;
  SelectionArena(const SelectionArena&) = delete;
  SelectionArena& operator=(const SelectionArena&) = delete;
  std::pmr::memory_resource* Resource() { return &resource_; }

 private:
  alignas(std::max_align_t) std::array<std::byte, 512> buffer_;
  std::pmr::monotonic_buffer_resource resource_{buffer_.data(), buffer_.size()};
};

template <class Interface>
using ObjectList = std::pmr::vector<ComPtr<Interface>>;

// Stores a selector failure in the session with its text and returns its
// status (or the storing's own failure, such as an invalid session).
ViStatus ReportSelectorError(ViSession vi, SelectorError error);

// `channelName` may be null (the empty name). Readers pass rangesAllowed =
// false. The list's memory resource serves the selector too.
ViStatus ResolveOutputs(ViSession vi, const char* channelName, bool rangesAllowed,
                        ObjectList<IHalvornZeltaOutput>& outputs);
ViStatus ResolvePhases(ViSession vi, const char* channelName, bool rangesAllowed,
                       ObjectList<IIviACPwrOutputPhase>& phases);
// Part is IIviACPwrCurrentProtection, IIviACPwrVoltageProtection,
// IIviACPwrImpedance or IIviACPwrDCGeneration.
template <class Part>
ViStatus ResolvePhaseParts(ViSession vi, const char* channelName, bool rangesAllowed, ObjectList<Part>& parts);

}  // namespace hvzelta::capi
