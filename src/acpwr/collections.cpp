// The root's collections of repeated capabilities: the driver's outputs and
// output phases, and the AC power class's output phases with the class
// members that belong to the whole source.

#include "acpwr/halvorn_zelta.h"
#include "acpwr/member_exchange.h"
#include "acpwr/member_helpers.h"
#include "acpwr/property_row.h"
#include "platform/text.h"

namespace hvzelta {

namespace {

// Members shared by the three collections; the descriptors name the caller's
// interface so that errors and traces do too.
struct CollectionMembers {
  MemberDescriptor count;
  MemberDescriptor item;
  MemberDescriptor name;
};

template <class Interface>
CollectionMembers MembersOf(std::string_view interfaceName) {
  return {{Interface::kIid, interfaceName, MemberKind::Getter, "Count"},
          {Interface::kIid, interfaceName, MemberKind::Getter, "Item"},
          {Interface::kIid, interfaceName, MemberKind::Getter, "Name"}};
}

const CollectionMembers kOutputs = MembersOf<IHalvornZeltaOutputs>("IHalvornZeltaOutputs");
const CollectionMembers kOutputPhases = MembersOf<IHalvornZeltaOutputPhases>("IHalvornZeltaOutputPhases");
const CollectionMembers kClassOutputPhases = MembersOf<IIviACPwrOutputPhases>("IIviACPwrOutputPhases");

HRESULT Count(HalvornZelta& root, const MemberDescriptor& member, const RepCapCollection& collection,
              std::int32_t* val) {
  return root.RunFrame(member, {Out("val", val)}, [&] {
    *val = collection.Count();
    return S_OK;
  });
}

HRESULT Name(HalvornZelta& root, const MemberDescriptor& member, const RepCapCollection& collection, std::int32_t index,
             BSTR* val) {
  return root.RunFrame(member, {In("Index", index)}, [&] {
    // A missing pointer is a plain invalid pointer here, with no description.
    if (!val) return E_POINTER;
    *val = nullptr;
    std::string name;
    if (HRESULT hr = collection.NameAt(root, member, index, name); Failed(hr)) return hr;
    const std::wstring wide = Utf8ToWide(name);
    *val = SysAllocStringLen(wide.data(), static_cast<std::uint32_t>(wide.size()));
    return *val ? S_OK : root.Reporter().Report(Message::OutOfMemory);
  });
}

// The instance `name` selects, handed out as `Interface`.
template <class Interface>
HRESULT Item(HalvornZelta& root, const MemberDescriptor& member, const RepCapCollection& collection, BSTR name,
             Interface** val) {
  return root.RunFrame(member, {In("Name", name), Out("val", val)}, [&] {
    CRepCap* instance = nullptr;
    if (HRESULT hr = collection.Find(root, WideToUtf8(BstrView(name)), instance); Failed(hr)) return hr;
    return instance->QueryInterface(Interface::kIid, reinterpret_cast<void**>(val));
  });
}

using ClassPhases = IIviACPwrOutputPhases;

// The instrument's frequency range is fixed at 40 Hz to 500 Hz.
constexpr double kFrequencyMin = 40.0;
constexpr double kFrequencyMax = 500.0;

const InterfaceMembers kClassPhases{ClassPhases::kIid, "IIviACPwrOutputPhases"};

const auto kFrequency = kClassPhases.Row<double>("Frequency", "FREQ %0.15lg", "FREQ?", "%lf", Simulation::Store);
const auto kFrequencyRange = kClassPhases.Row<double>(
    "FrequencyRange", "", "", "", Simulation::Store,
    +[](CNode&, double* val) {
      *val = kFrequencyMax;
      return S_OK;
    },
    +[](CNode&, double val, std::string_view) {
      return val >= kFrequencyMin && val <= kFrequencyMax ? S_OK : E_INVALIDARG;
    });
// One range, one phase.
HRESULT One(CNode&, std::int32_t* val) {
  *val = 1;
  return S_OK;
}
const auto kNumFrequencyRanges =
    kClassPhases.Row<std::int32_t>("NumFrequencyRanges", "", "", "", Simulation::Zero, &One);
const auto kNumPhases = kClassPhases.Row<std::int32_t>("NumPhases", "", "", "", Simulation::Zero, &One);
const auto kFrequencyRampBusy = kClassPhases.NotSupported<VARIANT_BOOL>("FrequencyRampBusy", Simulation::Zero);

const MemberDescriptor kQueryFrequencyRangeCapabilities = kClassPhases.Method("QueryFrequencyRangeCapabilities");
const MemberDescriptor kRampFrequency = kClassPhases.Method("RampFrequency");
const MemberDescriptor kAbortFrequencyRamp = kClassPhases.Method("AbortFrequencyRamp");
const MemberDescriptor kInitiateMeasurement = kClassPhases.Method("InitiateMeasurement");
const MemberDescriptor kGetExternalSync = kClassPhases.Member(MemberKind::Getter, "ExternalSync", InitCheck::Exempt);

}  // namespace

HRESULT OutputsFacet::get_Count(std::int32_t* val) {
  return Count(Owner(), kOutputs.count, Owner().OutputCollection(), val);
}
HRESULT OutputsFacet::get_Name(std::int32_t Index, BSTR* val) {
  return Name(Owner(), kOutputs.name, Owner().OutputCollection(), Index, val);
}
HRESULT OutputsFacet::get_Item(BSTR Name, IHalvornZeltaOutput** val) {
  return Item(Owner(), kOutputs.item, Owner().OutputCollection(), Name, val);
}

HRESULT OutputPhasesFacet::get_Count(std::int32_t* val) {
  return Count(Owner(), kOutputPhases.count, Owner().OutputPhaseCollection(), val);
}
HRESULT OutputPhasesFacet::get_Item(BSTR Name, IHalvornZeltaOutputPhase** val) {
  return Item(Owner(), kOutputPhases.item, Owner().OutputPhaseCollection(), Name, val);
}
HRESULT OutputPhasesFacet::get_Name(std::int32_t Index, BSTR* val) {
  return Name(Owner(), kOutputPhases.name, Owner().OutputPhaseCollection(), Index, val);
}

HRESULT ClassOutputPhasesFacet::get_Count(std::int32_t* val) {
  return Count(Owner(), kClassOutputPhases.count, Owner().OutputPhaseCollection(), val);
}
HRESULT ClassOutputPhasesFacet::get_Item(BSTR Name, IIviACPwrOutputPhase** val) {
  return Item(Owner(), kClassOutputPhases.item, Owner().OutputPhaseCollection(), Name, val);
}
HRESULT ClassOutputPhasesFacet::get_Name(std::int32_t Index, BSTR* val) {
  return Name(Owner(), kClassOutputPhases.name, Owner().OutputPhaseCollection(), Index, val);
}

HVZELTA_PROPERTY_MEMBERS(ClassOutputPhasesFacet, Frequency, double, kFrequency, Owner())
HVZELTA_PROPERTY_MEMBERS(ClassOutputPhasesFacet, FrequencyRange, double, kFrequencyRange, Owner())

HRESULT ClassOutputPhasesFacet::get_NumFrequencyRanges(std::int32_t* val) {
  return GetProperty(Owner(), kNumFrequencyRanges, val);
}
HRESULT ClassOutputPhasesFacet::get_NumPhases(std::int32_t* val) { return GetProperty(Owner(), kNumPhases, val); }
HRESULT ClassOutputPhasesFacet::get_FrequencyRampBusy(VARIANT_BOOL* val) {
  return GetProperty(Owner(), kFrequencyRampBusy, val);
}

HRESULT ClassOutputPhasesFacet::QueryFrequencyRangeCapabilities(std::int32_t Range, double* MinFrequency,
                                                                double* MaxFrequency) {
  CNode& root = Owner();
  return root.RunFrame(kQueryFrequencyRangeCapabilities,
                       {In("Range", Range), Out("MinFrequency", MinFrequency), Out("MaxFrequency", MaxFrequency)}, [&] {
                         if (Range != 1) return E_INVALIDARG;
                         const HRESULT hr = QueryReal(root, "FREQ? Min", *MinFrequency);
                         return Failed(hr) ? hr : QueryReal(root, "FREQ? Max", *MaxFrequency);
                       });
}

HRESULT ClassOutputPhasesFacet::RampFrequency(double StartFrequency, double EndFrequency, double Duration) {
  return UnsupportedMethod(
      Owner(), kRampFrequency,
      {In("StartFrequency", StartFrequency), In("EndFrequency", EndFrequency), In("Duration", Duration)},
      "IIviACPwrOutputPhases_RampFrequency");
}
HRESULT ClassOutputPhasesFacet::AbortFrequencyRamp() {
  return UnsupportedMethod(Owner(), kAbortFrequencyRamp, {}, "IIviACPwrOutputPhases_AbortFrequencyRamp");
}
HRESULT ClassOutputPhasesFacet::InitiateMeasurement(IviACPwrMeasurementGroupEnum Group) {
  return UnsupportedMethod(Owner(), kInitiateMeasurement, {In("Group", Group)},
                           "IIviACPwrOutputPhases_InitiateMeasurement");
}
HRESULT ClassOutputPhasesFacet::get_ExternalSync(IIviACPwrExternalSync** val) {
  return GetSubObject<IIviACPwrExternalSync>(Owner(), kGetExternalSync, val, &Owner().ExternalSync());
}

}  // namespace hvzelta
