#pragma once

// The frame every C function runs in, written once: output pointers checked
// first, the objects found (the driver's interface, or what the channel name
// selects), the operation called on the first object (readers) or on each in
// order (writers, stopping at the first non-zero status), its result
// converted, and outputs stored only when the status is not negative. C
// values travel to and from the object interface through Converter.

#include <new>
#include <type_traits>
#include <utility>

#include "capi/c_messages.h"
#include "capi/c_session.h"
#include "capi/repcap_resolution.h"
#include "capi/session_errors.h"
#include "hvzelta.h"
#include "hvzelta/com/bstr.h"
#include "hvzelta/halvorn_zelta.h"
#include "platform/string_copy_out.h"
#include "platform/text.h"

namespace hvzelta::capi {

// Runs a C function's body, counted in on the sessions it uses (see
// CallScope); nothing escapes it as an exception.
template <class Body>
ViStatus Guarded(ViSession vi, Body&& body) noexcept {
  CallScope scope;
  try {
    return scope.Finish(body());
  } catch (const std::bad_alloc&) {
    return scope.Finish(SetSessionError(vi, HVZELTA_ERROR_OUT_OF_MEMORY, CMessageText(HVZELTA_ERROR_OUT_OF_MEMORY)));
  } catch (...) {
    return scope.Finish(SetSessionError(vi, HVZELTA_ERROR_CANNOT_RECOVER, CMessageText(HVZELTA_ERROR_CANNOT_RECOVER)));
  }
}

// ---- Values ---------------------------------------------------------------

template <class Raw, class Enable = void>
struct Converter;

template <>
struct Converter<double> {
  using C = ViReal64;
  static double ToRaw(ViReal64 value) { return value; }
  static ViReal64 ToC(double value) { return value; }
};

// Any non-zero C boolean is true; true reads back as 1.
template <>
struct Converter<VARIANT_BOOL> {
  using C = ViBoolean;
  static VARIANT_BOOL ToRaw(ViBoolean value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }
  static ViBoolean ToC(VARIANT_BOOL value) { return value ? VI_TRUE : VI_FALSE; }
};

template <>
struct Converter<std::int32_t> {
  using C = ViInt32;
  static std::int32_t ToRaw(ViInt32 value) { return value; }
  static ViInt32 ToC(std::int32_t value) { return value; }
};

// Enumerations travel as their numeric values.
template <class Enum>
struct Converter<Enum, std::enable_if_t<std::is_enum_v<Enum>>> {
  using C = ViInt32;
  static Enum ToRaw(ViInt32 value) { return static_cast<Enum>(value); }
  static ViInt32 ToC(Enum value) { return static_cast<ViInt32>(value); }
};

template <class Raw>
using CTypeOf = typename Converter<Raw>::C;

// A null text is the empty text.
inline Bstr TextToBstr(const char* text) { return Bstr(Utf8ToWide(text ? text : "")); }

// ---- Objects --------------------------------------------------------------

// What a function acts on: an interface of the driver object (the channel
// name is ignored), the selected outputs, the selected output phases, or a
// part of each selected phase.
template <class I>
struct Root {
  using Interface = I;
};
struct Outputs {
  using Interface = IHalvornZeltaOutput;
};
struct Phases {
  using Interface = IIviACPwrOutputPhase;
};
template <class Part>
struct PhaseParts {
  using Interface = Part;
};

// The identity of the session's driver; with session 0, that of a new driver
// object that is never initialized.
struct IdentityOfAnySession {
  using Interface = IIviDriverIdentity;
};

template <class Target>
using InterfaceOf = typename Target::Interface;

template <class T>
struct IsRoot : std::false_type {};
template <class I>
struct IsRoot<Root<I>> : std::true_type {};
template <class T>
struct IsPhaseParts : std::false_type {};
template <class I>
struct IsPhaseParts<PhaseParts<I>> : std::true_type {};

template <class Target>
ViStatus Select(ViSession vi, const char* channelName, bool rangesAllowed, ObjectList<InterfaceOf<Target>>& objects) {
  if constexpr (IsRoot<Target>::value) {
    ComPtr<InterfaceOf<Target>> object;
    if (const ViStatus status = GetInterface(vi, object)) return status;
    objects.push_back(std::move(object));
    return VI_SUCCESS;
  } else if constexpr (std::is_same_v<Target, IdentityOfAnySession>) {
    if (vi != VI_NULL) return Select<Root<IIviDriverIdentity>>(vi, channelName, rangesAllowed, objects);
    ComPtr<IIviDriverIdentity> identity;
    if (Failed(EnsureThreadCom()) ||
        Failed(CreateHalvornZelta(IIviDriverIdentity::kIid, reinterpret_cast<void**>(identity.Out()))) || !identity) {
      return static_cast<ViStatus>(_VI_ERROR);
    }
    objects.push_back(std::move(identity));
    return VI_SUCCESS;
  } else if constexpr (std::is_same_v<Target, Outputs>) {
    return ResolveOutputs(vi, channelName, rangesAllowed, objects);
  } else if constexpr (std::is_same_v<Target, Phases>) {
    return ResolvePhases(vi, channelName, rangesAllowed, objects);
  } else {
    static_assert(IsPhaseParts<Target>::value);
    return ResolvePhaseParts(vi, channelName, rangesAllowed, objects);
  }
}

// Calls `call(object)` on the first object that `channelName` selects, after
// every name of it has been resolved; ranges are refused.
template <class Target, class Call>
ViStatus OnFirst(ViSession vi, const char* channelName, Call&& call) {
  SelectionArena arena;
  ObjectList<InterfaceOf<Target>> objects(arena.Resource());
  if (const ViStatus status = Select<Target>(vi, channelName, false, objects)) return status;
  if (objects.empty()) return ReportSelectorError(vi, SelectorError::BadlyFormed);
  return ConvertDriverStatus(vi, call(*objects.front().Get()));
}

// Calls `call(object)` on each selected object in order until a status is
// not 0; the objects before a failing one keep what was done to them.
template <class Target, class Call>
ViStatus OnEach(ViSession vi, const char* channelName, Call&& call) {
  SelectionArena arena;
  ObjectList<InterfaceOf<Target>> objects(arena.Resource());
  if (const ViStatus status = Select<Target>(vi, channelName, true, objects)) return status;
  for (const auto& object : objects) {
    if (const ViStatus status = ConvertDriverStatus(vi, call(*object.Get()))) return status;
  }
  return VI_SUCCESS;
}

// ---- Properties -----------------------------------------------------------

// The object-interface value type of a property's getter (get_X(T*)) and
// setter (put_X(T)).
template <class Member>
struct PropertyMember;
template <class Class, class Raw>
struct PropertyMember<HRESULT (Class::*)(Raw)> {
  using Argument = Raw;
};

template <class Getter>
using GetterValue = std::remove_pointer_t<typename PropertyMember<Getter>::Argument>;
template <class Setter>
using SetterValue = typename PropertyMember<Setter>::Argument;

template <class Target, class Getter>
ViStatus GetProperty(ViSession vi, const char* channelName, CTypeOf<GetterValue<Getter>>* value, const char* parameter,
                     Getter getter) {
  if (!value) return ReportNullParameter(vi, parameter);
  GetterValue<Getter> raw{};
  const ViStatus status = OnFirst<Target>(vi, channelName, [&](auto& object) { return (object.*getter)(&raw); });
  if (status >= 0) *value = Converter<GetterValue<Getter>>::ToC(raw);
  return status;
}

template <class Target, class Setter>
ViStatus SetProperty(ViSession vi, const char* channelName, CTypeOf<SetterValue<Setter>> value, Setter setter) {
  const auto raw = Converter<SetterValue<Setter>>::ToRaw(value);
  return OnEach<Target>(vi, channelName, [&](auto& object) { return (object.*setter)(raw); });
}

// Text read with `call(object, BSTR*)` from the first selected object and
// copied into the caller's buffer; a non-zero status of the call wins over
// the copy's.
template <class Target, class Call>
ViStatus GetText(ViSession vi, const char* channelName, ViInt32 bufferSize, ViChar* buffer, Call&& call) {
  Bstr text;
  const ViStatus status = OnFirst<Target>(vi, channelName, [&](auto& object) { return call(object, text.Out()); });
  if (status < 0) return status;
  const ViStatus copied = CopyStringOut(WideToUtf8(text.View()), buffer, bufferSize);
  return status != VI_SUCCESS ? status : copied;
}

template <class Target, class Getter>
ViStatus GetTextProperty(ViSession vi, const char* channelName, ViInt32 bufferSize, ViChar* buffer, Getter getter) {
  return GetText<Target>(vi, channelName, bufferSize, buffer,
                         [&](auto& object, BSTR* text) { return (object.*getter)(text); });
}

template <class Target, class Setter>
ViStatus SetTextProperty(ViSession vi, const char* channelName, const char* value, Setter setter) {
  const Bstr text = TextToBstr(value);
  return OnEach<Target>(vi, channelName, [&](auto& object) { return (object.*setter)(text.Get()); });
}

// ---- Function shapes ------------------------------------------------------

template <class Target, class Call>
ViStatus ConfigureEach(ViSession vi, ViConstString channelName, Call&& call) {
  return Guarded(vi, [&] { return OnEach<Target>(vi, channelName, call); });
}

// A query with its outputs checked first, in parameter order, answered by the
// first selected object.
template <class Target, class Call>
ViStatus QueryFirst(ViSession vi, ViConstString channelName, std::initializer_list<NamedOutput> outputs, Call&& call) {
  return Guarded(vi, [&] {
    if (const ViStatus status = CheckOutputs(vi, outputs)) return status;
    return OnFirst<Target>(vi, channelName, call);
  });
}

// A property read from the first selected object; `parameter` names the
// value's pointer.
template <class Target, class Getter>
ViStatus QueryValue(ViSession vi, ViConstString channelName, CTypeOf<GetterValue<Getter>>* value, const char* parameter,
                    Getter getter) {
  return Guarded(vi, [&] { return GetProperty<Target>(vi, channelName, value, parameter, getter); });
}

template <class Target, class Setter>
ViStatus ConfigureValue(ViSession vi, ViConstString channelName, CTypeOf<SetterValue<Setter>> value, Setter setter) {
  return Guarded(vi, [&] { return SetProperty<Target>(vi, channelName, value, setter); });
}

// Two numbers that come back together, such as the limits of a range.
template <class Target, class Call>
ViStatus QueryPair(ViSession vi, ViConstString channelName, const char* firstName, ViReal64* first,
                   const char* secondName, ViReal64* second, Call&& call) {
  double a = 0;
  double b = 0;
  const ViStatus status = QueryFirst<Target>(vi, channelName, {{firstName, first}, {secondName, second}},
                                             [&](auto& object) { return call(object, &a, &b); });
  if (status >= 0) {
    *first = a;
    *second = b;
  }
  return status;
}

// An operation of the driver object's interface `I`, channel-free.
template <class I, class Call>
ViStatus CallDriver(ViSession vi, Call&& call) {
  return OnFirst<Root<I>>(vi, nullptr, std::forward<Call>(call));
}

}  // namespace hvzelta::capi
