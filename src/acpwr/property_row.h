#pragma once

#include <string_view>

#include "acpwr/member_exchange.h"
#include "base/call_context.h"
#include "base/error_reporter.h"
#include "core/driver.h"
#include "fmtio/format_args.h"

namespace hvzelta {

// Whether the instrument has the property at all; class-compliant properties
// it lacks answer "not supported" (and may still keep a simulated value).
enum class Support { Instrument, NotSupported };

// What a property does while the driver simulates.
enum class Simulation {
  None,   // it talks to the instrument anyway
  Store,  // the setter keeps its value under the context name; the getter returns it
  Zero,   // the getter yields the empty value; the setter does nothing
};

// A property of the instrument model as data: its two members, the command
// its setter formats, the query its getter sends with the format it reads
// the reply with, its simulation branch, and the hooks that replace the
// default exchanges where the plain command is not enough.
template <class T>
struct PropertyRow {
  using GetHook = HRESULT (*)(CNode& node, T* value);
  using PutHook = HRESULT (*)(CNode& node, T value, std::string_view command);

  PropertyRow(const IID& iid, std::string_view interfaceName, std::string_view propertyName, std::string_view writeText,
              std::string_view queryText, std::string_view responseText, Simulation simulationKind,
              GetHook getter = nullptr, PutHook putter = nullptr, Support supportKind = Support::Instrument)
      : get(iid, interfaceName, MemberKind::Getter, propertyName),
        put(iid, interfaceName, MemberKind::Putter, propertyName),
        name(propertyName),
        writeFormat(writeText),
        queryCommand(queryText),
        responseFormat(responseText),
        simulation(simulationKind),
        getHook(getter),
        putHook(putter),
        support(supportKind) {}

  // A class-compliant property the instrument lacks.
  static PropertyRow NotSupported(const IID& iid, std::string_view interfaceName, std::string_view name,
                                  Simulation simulation) {
    return PropertyRow(iid, interfaceName, name, {}, {}, {}, simulation, nullptr, nullptr, Support::NotSupported);
  }

  MemberDescriptor get;
  MemberDescriptor put;
  std::string_view name;
  std::string_view writeFormat;
  std::string_view queryCommand;
  std::string_view responseFormat;
  Simulation simulation;
  GetHook getHook;
  PutHook putHook;
  Support support;
};

// The members of one interface, which is named once: its methods' descriptors
// and its properties' rows.
struct InterfaceMembers {
  const IID& iid;
  std::string_view interfaceName;

  MemberDescriptor Member(MemberKind kind, std::string_view name, InitCheck check = InitCheck::Required) const {
    return {iid, interfaceName, kind, name, check};
  }
  MemberDescriptor Method(std::string_view name, InitCheck check = InitCheck::Required) const {
    return Member(MemberKind::Method, name, check);
  }

  template <class T>
  PropertyRow<T> Row(std::string_view name, std::string_view write, std::string_view query, std::string_view response,
                     Simulation simulation, typename PropertyRow<T>::GetHook getHook = nullptr,
                     typename PropertyRow<T>::PutHook putHook = nullptr) const {
    return {iid, interfaceName, name, write, query, response, simulation, getHook, putHook};
  }

  template <class T>
  PropertyRow<T> NotSupported(std::string_view name, Simulation simulation) const {
    return PropertyRow<T>::NotSupported(iid, interfaceName, name, simulation);
  }
};

// The property's value through the method frame: simulated, hooked, or the
// default query of its command read with its response format.
template <class T>
HRESULT GetProperty(CNode& node, const PropertyRow<T>& row, T* val) {
  return node.RunFrame(row.get, {Out("val", val)}, [&]() -> HRESULT {
    if (row.simulation != Simulation::None && node.Settings().simulate) {
      if (row.simulation == Simulation::Store) *val = node.Attributes().Entry<T>(row.get.ContextName()).Load();
      return S_OK;
    }
    if (row.support == Support::NotSupported) return node.Reporter().ReportPropertyNotSupported(row.name);
    if (row.getHook) return row.getHook(node, val);
    auto packed = PackFormatArgs(val);
    FormatArgs out(packed);
    return DefaultQuery(node, row.queryCommand, row.responseFormat, out);
  });
}

// Sets the property through the method frame: simulated, or its command
// formatted with the value and sent by the hook or the default write.
template <class T>
HRESULT PutProperty(CNode& node, const PropertyRow<T>& row, T val) {
  return node.RunFrame(row.put, {In("val", val)}, [&]() -> HRESULT {
    if (row.simulation != Simulation::None && node.Settings().simulate) {
      if (row.simulation == Simulation::Store) node.Attributes().Entry<T>(row.put.ContextName()).Store(val);
      return S_OK;
    }
    if (row.support == Support::NotSupported) return node.Reporter().ReportPropertyNotSupported(row.name);
    std::string command;
    if (!row.writeFormat.empty()) {
      auto packed = PackFormatArgs(val);
      FormatArgs args(packed);
      if (HRESULT hr = FormatCommand(node, row.writeFormat, args, command); Failed(hr)) return hr;
    }
    if (row.putHook) return row.putHook(node, val, command);
    return DefaultWrite(node, command);
  });
}

}  // namespace hvzelta

// The getter and setter of a property whose members run its row on `node`.
#define HVZELTA_PROPERTY_MEMBERS(Class, Name, Type, row, node)                                  \
  HRESULT Class::get_##Name(Type* val) { return ::hvzelta::GetProperty<Type>(node, row, val); } \
  HRESULT Class::put_##Name(Type val) { return ::hvzelta::PutProperty<Type>(node, row, val); }
