#include "io/visa_enumerations.h"

#include <algorithm>
#include <array>

namespace hvzelta {

using namespace visa;

namespace {

// The framework value is the index into each table.
constexpr std::array<ViUInt16, 12> kAddressSpaces{
    VI_A16_SPACE,          VI_A24_SPACE,          VI_A32_SPACE,          VI_A64_SPACE,
    VI_PXI_CFG_SPACE,      VI_PXI_BAR0_SPACE,     VI_PXI_BAR0_SPACE + 1, VI_PXI_BAR0_SPACE + 2,
    VI_PXI_BAR0_SPACE + 3, VI_PXI_BAR0_SPACE + 4, VI_PXI_BAR0_SPACE + 5, VI_PXI_ALLOC_SPACE,
};
constexpr std::array<ViUInt16, 3> kDataWidths{VI_WIDTH_8, VI_WIDTH_16, VI_WIDTH_32};
constexpr std::array<ViUInt16, 4> kMechanisms{VI_QUEUE, VI_HNDLR, VI_SUSPEND_HNDLR, VI_ALL_MECH};

constexpr std::array kEventTypes{
    VI_EVENT_IO_COMPLETION,   VI_EVENT_TRIG,
    VI_EVENT_SERVICE_REQ,     VI_EVENT_CLEAR,
    VI_EVENT_EXCEPTION,       VI_EVENT_GPIB_CIC,
    VI_EVENT_GPIB_TALK,       VI_EVENT_GPIB_LISTEN,
    VI_EVENT_VXI_VME_SYSFAIL, VI_EVENT_VXI_VME_SYSRESET,
    VI_EVENT_VXI_SIGP,        VI_EVENT_VXI_VME_INTR,
    VI_EVENT_PXI_INTR,        VI_EVENT_TCPIP_CONNECT,
    VI_EVENT_USB_INTR,        VI_ALL_ENABLED_EVENTS,
};
constexpr std::array<ViUInt16, 6> kTriggerProtocols{VI_TRIG_PROT_DEFAULT, VI_TRIG_PROT_ON,      VI_TRIG_PROT_OFF,
                                                    VI_TRIG_PROT_SYNC,    VI_TRIG_PROT_RESERVE, VI_TRIG_PROT_UNRESERVE};

template <std::size_t N>
std::optional<ViUInt16> ByIndex(const std::array<ViUInt16, N>& table, std::int32_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= N) return std::nullopt;
  return table[static_cast<std::size_t>(index)];
}

template <class T, std::size_t N>
bool Published(const std::array<T, N>& table, T value) {
  return std::find(table.begin(), table.end(), value) != table.end();
}

}  // namespace

std::optional<ViUInt16> ToVisa(VisaAddressSpace space) {
  return ByIndex(kAddressSpaces, static_cast<std::int32_t>(space));
}
std::optional<ViUInt16> ToVisa(VisaDataWidth width) { return ByIndex(kDataWidths, static_cast<std::int32_t>(width)); }
std::optional<ViUInt16> ToVisa(VisaEventMechanism mechanism) {
  return ByIndex(kMechanisms, static_cast<std::int32_t>(mechanism));
}

std::optional<ViEventType> EventTypeToVisa(VisaEventType type) {
  if (!Published(kEventTypes, type)) return std::nullopt;
  return type;
}

std::optional<ViUInt16> TriggerProtocolToVisa(VisaTriggerProtocol protocol) {
  if (protocol < 0 || protocol > 0xFFFF || !Published(kTriggerProtocols, static_cast<ViUInt16>(protocol))) {
    return std::nullopt;
  }
  return static_cast<ViUInt16>(protocol);
}

}  // namespace hvzelta
