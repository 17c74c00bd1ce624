// The AC power class interfaces of the root that the instrument has no
// commands for: arbitrary waveforms and external synchronisation.

#include "acpwr/halvorn_zelta.h"
#include "acpwr/member_helpers.h"
#include "acpwr/property_row.h"

namespace hvzelta {

namespace {

constexpr std::string_view kArbName = "IIviACPwrArbWaveform";
constexpr std::string_view kSyncName = "IIviACPwrExternalSync";
using Arb = IIviACPwrArbWaveform;
using Sync = IIviACPwrExternalSync;

const InterfaceMembers kArb{Arb::kIid, kArbName};
PropertyRow<std::int32_t> ArbCount(std::string_view name) {
  return kArb.NotSupported<std::int32_t>(name, Simulation::Zero);
}

const MemberDescriptor kClear = kArb.Method("Clear");
const MemberDescriptor kQueryCatalog = kArb.Method("QueryCatalog");
const MemberDescriptor kWrite = kArb.Method("Write");
const auto kNumWaveformsMax = ArbCount("NumWaveformsMax");
const auto kNumOptimalDataPoints = ArbCount("NumOptimalDataPoints");
const auto kFixedWaveformCount = ArbCount("FixedWaveformCount");
const auto kUserWaveformCount = ArbCount("UserWaveformCount");
const auto kAvailableWaveformCount = ArbCount("AvailableWaveformCount");

const InterfaceMembers kSync{Sync::kIid, kSyncName};
const MemberDescriptor kConfigure = kSync.Method("Configure");
const auto kSyncEnabled = kSync.NotSupported<VARIANT_BOOL>("Enabled", Simulation::Store);
const auto kPhaseOffset = kSync.NotSupported<double>("PhaseOffset", Simulation::Store);
const auto kLocked = kSync.NotSupported<VARIANT_BOOL>("Locked", Simulation::Zero);

}  // namespace

HRESULT ArbWaveformFacet::Clear(BSTR WaveformName) {
  return UnsupportedMethod(Owner(), kClear, {In("WaveformName", WaveformName)}, "IIviACPwrArbWaveform_Clear");
}
HRESULT ArbWaveformFacet::QueryCatalog(IviACPwrWaveformCatalogEnum, BSTR* Catalog) {
  return UnsupportedMethod(Owner(), kQueryCatalog, {Out("Catalog", Catalog)}, "IIviACPwrArbWaveform_QueryCatalog");
}
HRESULT ArbWaveformFacet::Write(BSTR WaveformName, SAFEARRAY** WaveformData) {
  SAFEARRAY* const data = WaveformData ? *WaveformData : nullptr;
  return UnsupportedMethod(Owner(), kWrite, {In("WaveformName", WaveformName), In("WaveformData", data)},
                           "IIviACPwrArbWaveform_Write");
}
HRESULT ArbWaveformFacet::get_NumWaveformsMax(std::int32_t* val) { return GetProperty(Owner(), kNumWaveformsMax, val); }
HRESULT ArbWaveformFacet::get_NumOptimalDataPoints(std::int32_t* val) {
  return GetProperty(Owner(), kNumOptimalDataPoints, val);
}
HRESULT ArbWaveformFacet::get_FixedWaveformCount(std::int32_t* val) {
  return GetProperty(Owner(), kFixedWaveformCount, val);
}
HRESULT ArbWaveformFacet::get_UserWaveformCount(std::int32_t* val) {
  return GetProperty(Owner(), kUserWaveformCount, val);
}
HRESULT ArbWaveformFacet::get_AvailableWaveformCount(std::int32_t* val) {
  return GetProperty(Owner(), kAvailableWaveformCount, val);
}

HRESULT ExternalSyncFacet::Configure(VARIANT_BOOL Enabled, double PhaseOffset) {
  return UnsupportedMethod(Owner(), kConfigure, {In("Enabled", Enabled), In("PhaseOffset", PhaseOffset)},
                           "IIviACPwrExternalSync_Configure");
}
HVZELTA_PROPERTY_MEMBERS(ExternalSyncFacet, Enabled, VARIANT_BOOL, kSyncEnabled, Owner())
HVZELTA_PROPERTY_MEMBERS(ExternalSyncFacet, PhaseOffset, double, kPhaseOffset, Owner())
HRESULT ExternalSyncFacet::get_Locked(VARIANT_BOOL* val) { return GetProperty(Owner(), kLocked, val); }

}  // namespace hvzelta
