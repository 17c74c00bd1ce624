#include "capi/attribute_map.h"

#include <algorithm>

#include "capi/c_messages.h"
#include "capi/session_errors.h"

namespace hvzelta::capi {

const AttributeEntry* CIviCAttributeManager::Find(ViAttr id) const {
  const auto it = std::lower_bound(table_.begin(), table_.end(), id,
                                   [](const AttributeEntry& entry, ViAttr key) { return entry.id < key; });
  return it != table_.end() && it->id == id ? &*it : nullptr;
}

ViStatus CIviCAttributeManager::Read(ViSession vi, const char* channelName, ViAttr id, AttributeType type, void* value,
                                     ViInt32 bufferSize) const {
  const AttributeEntry* entry = Find(id);
  if (!entry) return ReportAttributeError(vi, HVZELTA_ERROR_INVALID_ATTRIBUTE);
  if (entry->type != type) return ReportAttributeError(vi, HVZELTA_ERROR_TYPES_DO_NOT_MATCH);
  if (!entry->reader) return ReportAttributeError(vi, HVZELTA_ERROR_ATTR_NOT_READABLE);
  return entry->reader(vi, channelName, value, bufferSize);
}

ViStatus CIviCAttributeManager::Write(ViSession vi, const char* channelName, ViAttr id, AttributeType type,
                                      const void* value) const {
  const AttributeEntry* entry = Find(id);
  if (!entry) return ReportAttributeError(vi, HVZELTA_ERROR_INVALID_ATTRIBUTE);
  if (entry->type != type) return ReportAttributeError(vi, HVZELTA_ERROR_TYPES_DO_NOT_MATCH);
  if (!entry->writer) return ReportAttributeError(vi, HVZELTA_ERROR_ATTR_NOT_WRITABLE);
  return entry->writer(vi, channelName, value);
}

ViStatus CIviCAttributeMap::ReportAttributeError(ViSession vi, ViStatus code) const {
  return SetSessionError(vi, code, CMessageText(code));
}

const CIviCAttributeMap& TheAttributeMap() {
  static const CIviCAttributeMap map(AttributeTable());
  return map;
}

}  // namespace hvzelta::capi
