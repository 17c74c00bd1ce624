#include "visa/lock_registry.h"

#include <chrono>

namespace hvzelta::visa {

LockRegistry& LockRegistry::Instance() {
  static LockRegistry registry;
  return registry;
}

bool LockRegistry::MayLock(const DeviceLocks& locks, ViSession session, ViAccessMode type,
                           const std::string& key) const {
  if (locks.exclusiveOwner != VI_NULL && locks.exclusiveOwner != session) return false;
  if (type == VI_EXCLUSIVE_LOCK) {
    for (const auto& [holder, depth] : locks.sharedDepth)
      if (holder != session) return false;
    return true;
  }
  return locks.sharedDepth.empty() || locks.sharedKey == key;
}

ViStatus LockRegistry::Lock(const std::string& device, ViSession session, ViAccessMode type, ViUInt32 timeoutMs,
                            const std::string& sharedKey, std::string& grantedKey, bool& first) {
  if (type != VI_EXCLUSIVE_LOCK && type != VI_SHARED_LOCK) return VI_ERROR_INV_LOCK_TYPE;
  std::unique_lock lock(mutex_);
  DeviceLocks& locks = devices_[device];
  anyEntry_.store(true, std::memory_order_release);
  first = false;

  if (type == VI_EXCLUSIVE_LOCK && locks.exclusiveOwner == session) {
    ++locks.exclusiveDepth;
    return VI_SUCCESS_NESTED_EXCLUSIVE;
  }
  std::string key = sharedKey;
  if (type == VI_SHARED_LOCK) {
    if (auto held = locks.sharedDepth.find(session); held != locks.sharedDepth.end()) {
      if (!key.empty() && key != locks.sharedKey) return VI_ERROR_INV_ACCESS_KEY;
      ++held->second;
      grantedKey = locks.sharedKey;
      return VI_SUCCESS_NESTED_SHARED;
    }
    if (key.empty()) key = "hvzelta-shared-lock-" + std::to_string(nextKey_++);
  }

  auto granted = [&] { return MayLock(devices_[device], session, type, key); };
  if (!granted()) {
    if (timeoutMs == VI_TMO_IMMEDIATE) {
      Forget(device);
      return VI_ERROR_RSRC_LOCKED;
    }
    if (timeoutMs == VI_TMO_INFINITE) {
      released_.wait(lock, granted);
    } else if (!released_.wait_for(lock, std::chrono::milliseconds(timeoutMs), granted)) {
      Forget(device);
      return VI_ERROR_TMO;
    }
  }
  // The entry may have been forgotten while this call waited.
  DeviceLocks& now = devices_[device];
  anyEntry_.store(true, std::memory_order_release);
  first = true;
  if (type == VI_EXCLUSIVE_LOCK) {
    now.exclusiveOwner = session;
    now.exclusiveDepth = 1;
    return VI_SUCCESS;
  }
  now.sharedKey = key;
  now.sharedDepth[session] = 1;
  grantedKey = key;
  return VI_SUCCESS;
}

ViStatus LockRegistry::Unlock(const std::string& device, ViSession session, ViAccessMode& released, bool& last) {
  std::lock_guard lock(mutex_);
  last = false;
  auto found = devices_.find(device);
  if (found == devices_.end()) return VI_ERROR_SESN_NLOCKED;
  DeviceLocks& locks = found->second;
  auto shared = locks.sharedDepth.find(session);
  ViStatus status = VI_SUCCESS;
  if (locks.exclusiveOwner == session) {
    released = VI_EXCLUSIVE_LOCK;
    if (--locks.exclusiveDepth == 0) {
      locks.exclusiveOwner = VI_NULL;
      last = true;
    }
  } else if (shared != locks.sharedDepth.end()) {
    released = VI_SHARED_LOCK;
    if (--shared->second == 0) {
      locks.sharedDepth.erase(shared);
      shared = locks.sharedDepth.end();
      last = true;
    }
  } else {
    return VI_ERROR_SESN_NLOCKED;
  }
  if (locks.exclusiveOwner == session)
    status = VI_SUCCESS_NESTED_EXCLUSIVE;
  else if (locks.sharedDepth.count(session))
    status = VI_SUCCESS_NESTED_SHARED;
  Forget(device);
  released_.notify_all();
  return status;
}

void LockRegistry::ReleaseAll(const std::string& device, ViSession session) {
  std::lock_guard lock(mutex_);
  auto found = devices_.find(device);
  if (found == devices_.end()) return;
  if (found->second.exclusiveOwner == session) {
    found->second.exclusiveOwner = VI_NULL;
    found->second.exclusiveDepth = 0;
  }
  found->second.sharedDepth.erase(session);
  Forget(device);
  released_.notify_all();
}

void LockRegistry::Forget(const std::string& device) {
  auto found = devices_.find(device);
  if (found == devices_.end()) return;
  DeviceLocks& locks = found->second;
  if (locks.sharedDepth.empty()) locks.sharedKey.clear();
  if (locks.exclusiveOwner == VI_NULL && locks.sharedDepth.empty()) devices_.erase(found);
  anyEntry_.store(!devices_.empty(), std::memory_order_release);
}

ViStatus LockRegistry::CheckAccess(const std::string& device, ViSession session) const {
  // A lock granted while this runs orders after the caller's operation, as it
  // would had the caller come a moment earlier.
  if (!anyEntry_.load(std::memory_order_acquire)) return VI_SUCCESS;
  std::lock_guard lock(mutex_);
  auto found = devices_.find(device);
  if (found == devices_.end()) return VI_SUCCESS;
  const DeviceLocks& locks = found->second;
  if (locks.exclusiveOwner != VI_NULL) return locks.exclusiveOwner == session ? VI_SUCCESS : VI_ERROR_RSRC_LOCKED;
  if (!locks.sharedDepth.empty() && !locks.sharedDepth.count(session)) return VI_ERROR_RSRC_LOCKED;
  return VI_SUCCESS;
}

ViAccessMode LockRegistry::State(const std::string& device) const {
  std::lock_guard lock(mutex_);
  auto found = devices_.find(device);
  if (found == devices_.end()) return VI_NO_LOCK;
  return found->second.exclusiveOwner != VI_NULL ? VI_EXCLUSIVE_LOCK : VI_SHARED_LOCK;
}

}  // namespace hvzelta::visa
