#pragma once

// VISA locks between the sessions of this process, per device: an exclusive
// lock lets only its session reach the device; a shared lock lets every
// session holding it (with the same key) reach it. Locks nest; a session's
// locks go when it closes. Waiting for a lock is bounded by its timeout.

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>

#include "visa/visa_types.h"

namespace hvzelta::visa {

class LockRegistry {
 public:
  static LockRegistry& Instance();

  // `sharedKey` is the requested key of a shared lock; an empty one gets a
  // new key, returned in `grantedKey`. `first` tells that the session did not
  // hold a lock of this type before.
  ViStatus Lock(const std::string& device, ViSession session, ViAccessMode type, ViUInt32 timeoutMs,
                const std::string& sharedKey, std::string& grantedKey, bool& first);
  // `released` is the type released; `last` tells the session no longer
  // holds a lock of that type.
  ViStatus Unlock(const std::string& device, ViSession session, ViAccessMode& released, bool& last);
  void ReleaseAll(const std::string& device, ViSession session);

  // VI_SUCCESS when `session` may use the device now, else VI_ERROR_RSRC_LOCKED.
  ViStatus CheckAccess(const std::string& device, ViSession session) const;
  ViAccessMode State(const std::string& device) const;

 private:
  struct DeviceLocks {
    ViSession exclusiveOwner = VI_NULL;
    unsigned exclusiveDepth = 0;
    std::string sharedKey;
    std::map<ViSession, unsigned> sharedDepth;
  };
  bool MayLock(const DeviceLocks& locks, ViSession session, ViAccessMode type, const std::string& key) const;
  void Forget(const std::string& device);

  mutable std::mutex mutex_;
  std::condition_variable released_;
  std::map<std::string, DeviceLocks> devices_;
  // Whether devices_ has an entry at all, readable without the mutex: nearly
  // every I/O call checks access, and nearly always nothing is locked.
  std::atomic<bool> anyEntry_{false};
  unsigned long long nextKey_ = 1;
};

}  // namespace hvzelta::visa
