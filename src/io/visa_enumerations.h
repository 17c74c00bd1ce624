#pragma once

// The framework's enumerations of VISA register access, events and
// triggers, and their VISA values. A value outside an enumeration maps to
// nothing, and the session reports it with the enumeration's
// "Unsupported VISA ..." text.

#include <cstdint>
#include <optional>

#include "visa/visa_types.h"

namespace hvzelta {

enum class VisaAddressSpace : std::int32_t {
  A16 = 0,
  A24 = 1,
  A32 = 2,
  A64 = 3,
  PxiConfiguration = 4,
  PxiBar0 = 5,  // to PxiBar5 = 10
  PxiAllocated = 11,
};

// 64-bit data (3) belongs to the enumeration, but VISA register access
// through the session has no 64-bit width.
enum class VisaDataWidth : std::int32_t { Width8 = 0, Width16 = 1, Width32 = 2, Width64 = 3 };

enum class VisaEventMechanism : std::int32_t { Queue = 0, Handler = 1, SuspendHandler = 2, All = 3 };

// Event types and trigger protocols carry the published VISA numbers
// themselves (visa::VI_EVENT_..., visa::VI_TRIG_PROT_...).
using VisaEventType = std::uint32_t;
using VisaTriggerProtocol = std::int32_t;

std::optional<visa::ViUInt16> ToVisa(VisaAddressSpace space);
std::optional<visa::ViUInt16> ToVisa(VisaDataWidth width);
std::optional<visa::ViUInt16> ToVisa(VisaEventMechanism mechanism);
std::optional<visa::ViEventType> EventTypeToVisa(VisaEventType type);
std::optional<visa::ViUInt16> TriggerProtocolToVisa(VisaTriggerProtocol protocol);

}  // namespace hvzelta
