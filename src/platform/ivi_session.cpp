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

struct SessionRecord {
  std::atomic<void*> data{nullptr};
  // Set once the table has dropped the record; threads that kept the record
  // from an earlier lookup see the session gone through this.
  std::atomic<bool> removed{false};

  // Guards everything below; held only for short steps, never while a
  // caller's session lock is awaited.
  std::mutex mutex;
  std::condition_variable released;
  std::thread::id owner;
  unsigned depth = 0;
  bool disposed = false;
  ErrorSlot error;
};

// Lookups take the shared lock only when the calling thread's last session
// was another one: a thread that keeps using one session reads its own copy
// of the record and the record's removed flag, and writes no word that other
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
    std::shared_ptr<SessionRecord> record;
    {
      std::unique_lock lock(mutex_);
      const auto it = sessions_.find(session);
      if (it == sessions_.end()) return nullptr;
      record = std::move(it->second);
      sessions_.erase(it);
    }
    record->removed.store(true, std::memory_order_release);
    return record;
  }

  std::shared_ptr<SessionRecord> Find(ViSession session) const {
    SessionRecord* record = Live(session);
    return record ? t_last.record : nullptr;
  }

  // Runs `work` on the live session's record; the calling thread's reference
  // keeps the record while `work` runs.
  template <class Work>
  ViStatus With(ViSession session, Work&& work) const {
    SessionRecord* record = Live(session);
    if (!record) return HVZELTA_ERROR_INVALID_SESSION_HANDLE;
    return work(*record);
  }

 private:
  // The thread's last session found. Handles are never reused, so a handle
  // match together with the record's removed flag proves the session live.
  struct LastFound {
    ViSession session = VI_NULL;
    std::shared_ptr<SessionRecord> record;
  };
  static thread_local LastFound t_last;

  SessionRecord* Live(ViSession session) const {
    LastFound& last = t_last;
    if (session != VI_NULL && last.session == session) {
      if (!last.record->removed.load(std::memory_order_acquire)) return last.record.get();
      return nullptr;  // a removed record never returns to the table
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
  {
    std::lock_guard lock(record->mutex);
    record->disposed = true;
  }
  record->released.notify_all();
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

ViStatus IviSession_Lock(ViSession session, ViBoolean* callerHasLock) {
  const std::shared_ptr<SessionRecord> record = Table().Find(session);
  if (!record) return HVZELTA_ERROR_INVALID_SESSION_HANDLE;
  if (callerHasLock && *callerHasLock) return VI_SUCCESS;
  const std::thread::id self = std::this_thread::get_id();
  std::unique_lock lock(record->mutex);
  if (record->depth == 0 || record->owner != self) {
    record->released.wait(lock, [&] { return record->depth == 0 || record->disposed; });
    if (record->disposed) return HVZELTA_ERROR_INVALID_SESSION_HANDLE;
    record->owner = self;
  }
  ++record->depth;
  if (callerHasLock) *callerHasLock = VI_TRUE;
  return VI_SUCCESS;
}

ViStatus IviSession_Unlock(ViSession session, ViBoolean* callerHasLock) {
  return Table().With(session, [&](SessionRecord& record) {
    if (callerHasLock && !*callerHasLock) return VI_SUCCESS;
    bool free = false;
    {
      std::lock_guard lock(record.mutex);
      if (record.depth == 0 || record.owner != std::this_thread::get_id()) return VI_SUCCESS;
      free = --record.depth == 0;
      if (free) record.owner = std::thread::id();
    }
    if (free) record.released.notify_one();
    if (callerHasLock) *callerHasLock = VI_FALSE;
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
