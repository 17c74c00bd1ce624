#include "platform/ivi_session.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <shared_mutex>
#include <string>
#include <thread>
#include <unordered_map>

#include "platform/string_copy_out.h"

namespace hvzelta {

namespace {

struct ErrorSlot {
  ViStatus code = VI_SUCCESS;
  std::string text;

  ViStatus Take(ViInt32 bufferSize, ViStatus* out, ViChar* description) {
    *out = code;
    const ViStatus status = CopyStringOut(text, description, bufferSize);
    // A caller whose buffer was too small asks again with the size it got.
    if (status == VI_SUCCESS) {
      code = VI_SUCCESS;
      text.clear();
    }
    return status;
  }
};

// The session lock is a word that holds its owner: taking a free lock and
// giving it back is one atomic step each, with no mutex and no wake-up call
// unless another thread waits for it. Waiters sleep on `released` under
// `mutex`; they count themselves in `waiters` before their last try, and a
// releasing owner looks at `waiters` after freeing the word, so one of the
// two always sees the other.
struct SessionRecord {
  std::atomic<void*> data{nullptr};
  // Set as the table drops the record; threads that kept the record from an
  // earlier lookup see the session gone through this.
  std::atomic<bool> disposed{false};

  std::atomic<std::thread::id> owner{};
  unsigned depth = 0;  // touched by the owner only
  std::atomic<unsigned> waiters{0};
  std::mutex mutex;  // for the waiters' sleep and for `error`
  std::condition_variable released;
  ErrorSlot error;

  ViStatus Acquire() {
    const std::thread::id self = std::this_thread::get_id();
    if (owner.load(std::memory_order_relaxed) != self) {
      if (disposed.load(std::memory_order_acquire)) return HVZELTA_ERROR_INVALID_SESSION_HANDLE;
      if (!TryTake(self) && !WaitAndTake(self)) return HVZELTA_ERROR_INVALID_SESSION_HANDLE;
    }
    ++depth;
    return VI_SUCCESS;
  }

  // False when the caller does not hold the lock.
  bool Release() {
    if (owner.load(std::memory_order_relaxed) != std::this_thread::get_id()) return false;
    if (--depth > 0) return true;
    owner.store(std::thread::id());
    if (waiters.load() > 0) {
      { std::lock_guard lock(mutex); }
      released.notify_one();
    }
    return true;
  }

  void Dispose() {
    disposed.store(true, std::memory_order_release);
    { std::lock_guard lock(mutex); }
    released.notify_all();
  }

 private:
  bool TryTake(std::thread::id self) {
    std::thread::id free;
    return owner.compare_exchange_strong(free, self);
  }

  // False once the session is disposed.
  bool WaitAndTake(std::thread::id self) {
    std::unique_lock lock(mutex);
    waiters.fetch_add(1);
    bool taken = false;
    released.wait(lock, [&] { return disposed.load(std::memory_order_acquire) || (taken = TryTake(self)); });
    waiters.fetch_sub(1);
    return taken;
  }
};

// Lookups take the shared lock only when the calling thread's last session
// was another one: a thread that keeps using one session reads its own copy
// of the record and the record's disposed flag, and writes no word that other
// threads' lookups write, so threads on sessions of their own do not meet.
// Operations that may block (waiting for a session lock) keep their own
// reference to the record and wait outside the table's lock, so that Dispose
// never waits for a blocked thread.
class SessionTable {
 public:
  ViStatus Add(ViSession& session) {
    auto record = std::make_shared<SessionRecord>();
    std::unique_lock lock(mutex_);
    if (next_ == 0) return HVZELTA_ERROR_CANNOT_RECOVER;  // every handle has been used once
    session = next_++;
    sessions_.emplace(session, std::move(record));
    return VI_SUCCESS;
  }

  std::shared_ptr<SessionRecord> Remove(ViSession session) {
    std::unique_lock lock(mutex_);
    const auto it = sessions_.find(session);
    if (it == sessions_.end()) return nullptr;
    auto record = std::move(it->second);
    sessions_.erase(it);
    return record;
  }

  std::shared_ptr<SessionRecord> Find(ViSession session) const {
    SessionRecord* record = Live(session);
    return record ? t_last.record : nullptr;
  }

  // Runs `work` on the live session's record; the calling thread's reference
  // keeps the record while `work` runs, even while it waits for the lock.
  template <class Work>
  ViStatus With(ViSession session, Work&& work) const {
    SessionRecord* record = Live(session);
    if (!record) return HVZELTA_ERROR_INVALID_SESSION_HANDLE;
    return work(*record);
  }

 private:
  // The thread's last session found. Handles are never reused, so a handle
  // match together with the record's disposed flag proves the session live.
  struct LastFound {
    ViSession session = VI_NULL;
    std::shared_ptr<SessionRecord> record;
  };
  static thread_local LastFound t_last;

  SessionRecord* Live(ViSession session) const {
    LastFound& last = t_last;
    if (session != VI_NULL && last.session == session) {
      if (!last.record->disposed.load(std::memory_order_acquire)) return last.record.get();
      return nullptr;  // a disposed record never returns to the table
    }
    std::shared_lock lock(mutex_);
    const auto it = sessions_.find(session);
    if (it == sessions_.end()) return nullptr;
    last.session = session;
    last.record = it->second;
    return last.record.get();
  }

  mutable std::shared_mutex mutex_;
  std::unordered_map<ViSession, std::shared_ptr<SessionRecord>> sessions_;
  ViSession next_ = 1;
};

thread_local SessionTable::LastFound SessionTable::t_last;

// Never destroyed: threads may still use sessions while the process exits.
SessionTable& Table() {
  static auto* table = new SessionTable();
  return *table;
}

thread_local ErrorSlot t_threadError;

}  // namespace

ViStatus IviSession_New(ViSession* session) {
  if (!session) return HVZELTA_ERROR_NULL_POINTER;
  *session = VI_NULL;
  try {
    return Table().Add(*session);
  } catch (const std::bad_alloc&) {
    return HVZELTA_ERROR_OUT_OF_MEMORY;
  }
}

ViStatus IviSession_Dispose(ViSession session) {
  const std::shared_ptr<SessionRecord> record = Table().Remove(session);
  if (!record) return HVZELTA_ERROR_INVALID_SESSION_HANDLE;
  record->Dispose();
  return VI_SUCCESS;
}

ViStatus IviSession_SetDataPtr(ViSession session, void* data) {
  return Table().With(session, [&](SessionRecord& record) {
    record.data.store(data, std::memory_order_release);
    return VI_SUCCESS;
  });
}

ViStatus IviSession_GetDataPtr(ViSession session, void** data) {
  if (!data) return HVZELTA_ERROR_NULL_POINTER;
  *data = nullptr;
  return Table().With(session, [&](SessionRecord& record) {
    *data = record.data.load(std::memory_order_acquire);
    return VI_SUCCESS;
  });
}

ViStatus IviSession_UseDataPtr(ViSession session, void (*use)(void* data, void* context), void* context) {
  return Table().With(session, [&](SessionRecord& record) {
    if (const ViStatus status = record.Acquire()) return status;
    use(record.data.load(std::memory_order_acquire), context);
    record.Release();
    return VI_SUCCESS;
  });
}

ViStatus IviSession_Lock(ViSession session, ViBoolean* callerHasLock) {
  // Our own reference: a waiting thread must not depend on the table.
  const std::shared_ptr<SessionRecord> record = Table().Find(session);
  if (!record) return HVZELTA_ERROR_INVALID_SESSION_HANDLE;
  if (callerHasLock && *callerHasLock) return VI_SUCCESS;
  if (const ViStatus status = record->Acquire()) return status;
  if (callerHasLock) *callerHasLock = VI_TRUE;
  return VI_SUCCESS;
}

ViStatus IviSession_Unlock(ViSession session, ViBoolean* callerHasLock) {
  return Table().With(session, [&](SessionRecord& record) {
    if (callerHasLock && !*callerHasLock) return VI_SUCCESS;
    if (record.Release() && callerHasLock) *callerHasLock = VI_FALSE;
    return VI_SUCCESS;
  });
}

ViStatus IviSession_SetError(ViSession session, ViStatus code, const char* description) {
  const auto store = [&](ErrorSlot& slot) {
    slot.code = code;
    try {
      slot.text.assign(description ? description : "");
    } catch (const std::bad_alloc&) {
      slot.text.clear();
      return HVZELTA_ERROR_OUT_OF_MEMORY;
    }
    return VI_SUCCESS;
  };
  if (session == VI_NULL) return store(t_threadError);
  return Table().With(session, [&](SessionRecord& record) {
    std::lock_guard lock(record.mutex);
    return store(record.error);
  });
}

ViStatus IviSession_GetError(ViSession session, ViInt32 bufferSize, ViStatus* code, ViChar* description) {
  if (!code) return HVZELTA_ERROR_NULL_POINTER;
  if (session == VI_NULL) return t_threadError.Take(bufferSize, code, description);
  return Table().With(session, [&](SessionRecord& record) {
    std::lock_guard lock(record.mutex);
    return record.error.Take(bufferSize, code, description);
  });
}

ViStatus IviSession_ClearError(ViSession session) {
  const auto clear = [](ErrorSlot& slot) {
    slot = ErrorSlot();
    return VI_SUCCESS;
  };
  if (session == VI_NULL) return clear(t_threadError);
  return Table().With(session, [&](SessionRecord& record) {
    std::lock_guard lock(record.mutex);
    return clear(record.error);
  });
}

}  // namespace hvzelta
