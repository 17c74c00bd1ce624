#include "trace/trace_listener_registry.h"

#include <map>
#include <mutex>
#include <string>

namespace hvzelta {

namespace {

struct Registry {
  std::mutex mutex;
  std::map<std::string, TraceListenerFactory> factories;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

}  // namespace

void RegisterTraceListener(const std::string& name, TraceListenerFactory factory) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  if (factory) registry.factories[name] = factory;
}

void UnregisterTraceListener(const std::string& name) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  registry.factories.erase(name);
}

std::vector<std::unique_ptr<ITraceListener>> MakeTraceListeners() {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  std::vector<std::unique_ptr<ITraceListener>> listeners;
  for (const auto& [name, factory] : registry.factories) {
    try {
      if (auto listener = factory()) listeners.push_back(std::move(listener));
    } catch (...) {
      // A listener that cannot be made is skipped, as one that is not there.
    }
  }
  return listeners;
}

}  // namespace hvzelta
