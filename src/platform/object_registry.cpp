#include "platform/object_registry.h"

#include <mutex>
#include <new>
#include <shared_mutex>
#include <unordered_map>

namespace hvzelta {

namespace {

class Registry {
 public:
  HRESULT Register(IUnknown* object, std::uint32_t& cookie) {
    std::unique_lock lock(mutex_);
    if (next_ == 0) return E_OUTOFMEMORY;  // every cookie has been used once
    cookie = next_++;
    objects_.emplace(cookie, object);
    object->AddRef();
    return S_OK;
  }

  // The reference is taken under the lock, so that a concurrent Revoke cannot
  // drop the last one in between.
  HRESULT Get(std::uint32_t cookie, IUnknown** object) const {
    std::shared_lock lock(mutex_);
    const auto it = objects_.find(cookie);
    if (it == objects_.end()) return E_INVALIDARG;
    it->second->AddRef();
    *object = it->second;
    return S_OK;
  }

  IUnknown* Remove(std::uint32_t cookie) {
    std::unique_lock lock(mutex_);
    const auto it = objects_.find(cookie);
    if (it == objects_.end()) return nullptr;
    IUnknown* object = it->second;
    objects_.erase(it);
    return object;
  }

 private:
  mutable std::shared_mutex mutex_;
  std::unordered_map<std::uint32_t, IUnknown*> objects_;
  std::uint32_t next_ = 1;
};

// Never destroyed: threads may still reach objects while the process exits.
Registry& TheRegistry() {
  static auto* registry = new Registry();
  return *registry;
}

}  // namespace

HRESULT RegisterObject(IUnknown* object, std::uint32_t& cookie) {
  if (!object) return E_INVALIDARG;
  try {
    return TheRegistry().Register(object, cookie);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT GetRegisteredObject(std::uint32_t cookie, IUnknown** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  return TheRegistry().Get(cookie, object);
}

HRESULT RevokeObject(std::uint32_t cookie) {
  IUnknown* object = TheRegistry().Remove(cookie);
  if (!object) return E_INVALIDARG;
  // Released outside the lock: the last release closes the driver.
  object->Release();
  return S_OK;
}

}  // namespace hvzelta
