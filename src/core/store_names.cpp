#include "core/store_names.h"

#include <cstdint>
#include <string>
#include <vector>

#include "platform/text.h"

namespace hvzelta {

HRESULT ExpandVirtualNames(const StoreEntry& session, FunctionRef<void(std::string_view, std::string_view)> add) {
  std::vector<StoreEntry> names;
  if (HRESULT hr = session.Entries("VirtualNames", names); Failed(hr)) return hr;
  NameBudget budget;
  for (const StoreEntry& entry : names) {
    std::string name;
    std::string mapTo;
    std::vector<StoreEntry> ranges;
    if (HRESULT hr = entry.Text("Name", name); Failed(hr)) return hr;
    if (HRESULT hr = entry.Text("MapTo", mapTo); Failed(hr)) return hr;
    if (HRESULT hr = entry.Entries("VirtualRanges", ranges); Failed(hr)) return hr;
    name = std::string(TrimWhiteSpace(name));
    mapTo = std::string(TrimWhiteSpace(mapTo));
    if (ranges.empty()) {
      if (!budget.Take(name.size() + mapTo.size())) return entry.Fail(E_IVICONFIG_DESERIALIZE_FAILED, kTooManyNames);
      add(name, mapTo);
    }
    for (const StoreEntry& range : ranges) {
      std::int32_t minimum = 0;
      std::int32_t maximum = 0;
      std::int32_t start = 0;
      if (HRESULT hr = range.Integer("Min", minimum); Failed(hr)) return hr;
      if (HRESULT hr = range.Integer("Max", maximum); Failed(hr)) return hr;
      if (HRESULT hr = range.Integer("StartingPhysicalIndex", start); Failed(hr)) return hr;
      if (minimum > maximum) {
        return range.Fail(E_IVICONFIG_DESERIALIZE_FAILED,
                          "<Min> " + std::to_string(minimum) + " is greater than <Max> " + std::to_string(maximum));
      }
      for (std::int64_t i = minimum; i <= maximum; ++i) {
        const std::string virtualName = name + std::to_string(i);
        const std::string physicalName = mapTo + std::to_string(start + i - minimum);
        if (!budget.Take(virtualName.size() + physicalName.size())) {
          return range.Fail(E_IVICONFIG_DESERIALIZE_FAILED, kTooManyNames);
        }
        add(virtualName, physicalName);
      }
    }
  }
  return S_OK;
}

}  // namespace hvzelta
