#pragma once

// The C attributes: each identifier names one property of the object
// interface; the attribute functions check the identifier, the type and the
// access, then read or write the property on what the channel name selects.

#include <span>

#include "hvzelta.h"

namespace hvzelta::capi {

enum class AttributeType : ViInt32 { Int32 = 1, Real64 = 3, Boolean = 4, Session = 5, String = 6 };

// `value` points to the caller's value of the entry's type (for a string: to
// the caller's ViConstString when writing, to the buffer when reading).
using AttributeReader = ViStatus (*)(ViSession vi, const char* channelName, void* value, ViInt32 bufferSize);
using AttributeWriter = ViStatus (*)(ViSession vi, const char* channelName, const void* value);

struct AttributeEntry {
  ViAttr id;
  AttributeType type;
  AttributeReader reader;  // null for a write-only attribute
  AttributeWriter writer;  // null for a read-only attribute
};

// Looks identifiers up in a table sorted by identifier and runs the dispatch;
// its failures go through ReportAttributeError.
class CIviCAttributeManager {
 public:
  explicit CIviCAttributeManager(std::span<const AttributeEntry> table) : table_(table) {}
  virtual ~CIviCAttributeManager() = default;

  const AttributeEntry* Find(ViAttr id) const;
  ViStatus Read(ViSession vi, const char* channelName, ViAttr id, AttributeType type, void* value,
                ViInt32 bufferSize) const;
  ViStatus Write(ViSession vi, const char* channelName, ViAttr id, AttributeType type, const void* value) const;

 protected:
  virtual ViStatus ReportAttributeError(ViSession vi, ViStatus code) const = 0;

 private:
  std::span<const AttributeEntry> table_;
};

// Reports with the C message texts, placeholders as they stand.
class CIviCAttributeMap final : public CIviCAttributeManager {
 public:
  using CIviCAttributeManager::CIviCAttributeManager;

 protected:
  ViStatus ReportAttributeError(ViSession vi, ViStatus code) const override;
};

// The driver's 78 attributes, sorted by identifier.
std::span<const AttributeEntry> AttributeTable();
// The process-wide map over AttributeTable().
const CIviCAttributeMap& TheAttributeMap();

}  // namespace hvzelta::capi
