#include "capi/c_session.h"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "acpwr/halvorn_zelta.h"
#include "capi/c_messages.h"
#include "platform/ivi_session.h"
#include "platform/object_registry.h"

namespace hvzelta::capi {

namespace {

// True once this library has prepared the thread.
thread_local bool t_threadPrepared = false;

// The data slot holds the session's owning reference to its C state; callers
// copy the reference while they hold the session lock, and the session is
// unregistered only while its lock is held, so no copy races the release.
using StateSlot = std::shared_ptr<CSession>;

// The calling thread's C call: how deep C calls are nested on the thread
// (a C function may call another) and the sessions the call counted itself
// in on. The list keeps its capacity, so a call allocates nothing.
struct ThreadCall {
  int depth = 0;
  std::vector<std::pair<ViSession, std::shared_ptr<CSession>>> entered;

  std::shared_ptr<CSession> Find(ViSession vi) const {
    for (const auto& [handle, session] : entered)
      if (handle == vi) return session;
    return nullptr;
  }
};
thread_local ThreadCall t_call;

struct Lookup {
  std::shared_ptr<CSession>* session;
  bool enter;
};

}  // namespace

HRESULT EnsureThreadCom() {
  if (t_threadPrepared) return S_OK;
  if (const HRESULT hr = InitializeThread(); Failed(hr)) return hr;
  t_threadPrepared = true;
  return S_OK;
}

ViStatus CSession::Driver(ViSession vi, ComPtr<IUnknown>& driver) {
  std::unique_lock lock(mutex_);
  if (!driver_ && !ended_ && Failed(GetRegisteredObject(cookie_, driver_.Out()))) driver_.Reset();
  driver = driver_;
  lock.unlock();
  if (!driver) {
    return SetSessionError(vi, HVZELTA_ERROR_CANNOT_RECOVER,
                           "Could not retrieve pointer to IVI-COM driver from global interface table.");
  }
  return VI_SUCCESS;
}

void CSession::Leave() {
  // The waiter raises `awaited_` before it looks at `calls_`, and a leaving
  // call looks at `awaited_` after it lowered `calls_`: one of the two always
  // sees the other.
  if (calls_.fetch_sub(1) == 1 && awaited_.load()) {
    { std::lock_guard lock(mutex_); }
    idle_.notify_all();
  }
}

void CSession::AwaitCallsInFlight() {
  std::unique_lock lock(mutex_);
  awaited_.store(true);
  idle_.wait(lock, [&] { return calls_.load() == 0; });
  awaited_.store(false);
}

void CSession::AbortTransfers() {
  closing_.store(true);
  ComPtr<IUnknown> driver;
  {
    std::lock_guard lock(mutex_);
    driver = driver_;
  }
  if (!driver && Failed(GetRegisteredObject(cookie_, driver.Out()))) return;
  ComPtr<IHalvornZelta> root;
  if (Failed(driver.As(root)) || !root) return;
  // The I/O session is replaced only by Initialize and Close, and neither
  // runs while the session is being closed.
  if (IIoSession* io = static_cast<HalvornZelta*>(root.Get())->Io()) io->Abort();
}

void CSession::End() {
  selections_.Clear();
  ComPtr<IUnknown> driver;
  std::lock_guard lock(mutex_);
  ended_ = true;
  driver = std::move(driver_);
}

CallScope::CallScope() : outermost_(t_call.depth++ == 0) {}

CallScope::~CallScope() { Finish(VI_SUCCESS); }

ViStatus CallScope::Finish(ViStatus status) {
  if (finished_) return status;
  finished_ = true;
  --t_call.depth;
  if (!outermost_) return status;
  bool closedUnderUs = false;
  for (auto& [handle, session] : t_call.entered) {
    closedUnderUs = closedUnderUs || session->Closing();
    session->Leave();
  }
  t_call.entered.clear();
  return status < 0 && closedUnderUs ? HVZELTA_ERROR_INVALID_SESSION_HANDLE : status;
}

ViStatus SessionFromHandle(ViSession vi, std::shared_ptr<CSession>& session) {
  if (Failed(EnsureThreadCom())) return SetSessionError(vi, HVZELTA_ERROR_CANNOT_RECOVER, "Could not initialize COM.");
  // A call that uses the session already keeps it, and must not wait for
  // the session lock: a thread that holds it may be waiting for this call.
  if (t_call.depth > 0) {
    if ((session = t_call.Find(vi))) return VI_SUCCESS;
  }
  Lookup lookup{&session, t_call.depth > 0};
  const ViStatus status = IviSession_UseDataPtr(
      vi,
      [](void* data, void* context) {
        auto& found = *static_cast<Lookup*>(context);
        if (!data) return;
        *found.session = *static_cast<StateSlot*>(data);
        if (found.enter && *found.session) (*found.session)->Enter();
      },
      &lookup);
  if (status == VI_SUCCESS && lookup.enter && session) {
    try {
      t_call.entered.emplace_back(vi, session);
    } catch (const std::bad_alloc&) {
      session->Leave();
      throw;
    }
  }
  return status;
}

ViStatus DriverFromSession(ViSession vi, ComPtr<IUnknown>& driver) {
  std::shared_ptr<CSession> session;
  if (const ViStatus status = SessionFromHandle(vi, session)) return status;
  if (!session) {
    return SetSessionError(vi, HVZELTA_ERROR_CANNOT_RECOVER,
                           "Could not retrieve pointer to IVI-COM driver from global interface table.");
  }
  return session->Driver(vi, driver);
}

ViStatus RegisterSession(IUnknown* driver, ViSession* newVi) {
  if (const ViStatus status = IviSession_New(newVi)) return status;
  std::uint32_t cookie = 0;
  if (Failed(RegisterObject(driver, cookie))) {
    return SetSessionError(*newVi, HVZELTA_ERROR_CANNOT_RECOVER,
                           "Could not register IVI-COM driver pointer in global interface table.");
  }
  std::unique_ptr<StateSlot> slot;
  try {
    slot = std::make_unique<StateSlot>(std::make_shared<CSession>(cookie));
  } catch (const std::bad_alloc&) {
    RevokeObject(cookie);
    return SetSessionError(*newVi, HVZELTA_ERROR_OUT_OF_MEMORY, CMessageText(HVZELTA_ERROR_OUT_OF_MEMORY));
  }
  if (const ViStatus status = IviSession_SetDataPtr(*newVi, slot.get())) return status;
  slot.release();  // the session owns the slot now; UnregisterSession deletes it
  return VI_SUCCESS;
}

namespace {

// The session's state while the caller holds the session lock.
std::shared_ptr<CSession> LockedSession(ViSession vi) {
  void* data = nullptr;
  if (IviSession_GetDataPtr(vi, &data) != VI_SUCCESS || !data) return nullptr;
  return *static_cast<StateSlot*>(data);
}

}  // namespace

ViStatus BeginClose(ViSession vi, ComPtr<IUnknown>& driver) {
  if (Failed(EnsureThreadCom())) return SetSessionError(vi, HVZELTA_ERROR_CANNOT_RECOVER, "Could not initialize COM.");
  // Held until the session is disposed: new calls wait for it and then find
  // the session gone.
  if (const ViStatus status = IviSession_Lock(vi, nullptr)) return status;
  const std::shared_ptr<CSession> session = LockedSession(vi);
  if (session && session->HasCallsInFlight()) {
    session->AbortTransfers();
    session->AwaitCallsInFlight();
  }
  const ViStatus status =
      session ? session->Driver(vi, driver)
              : SetSessionError(vi, HVZELTA_ERROR_CANNOT_RECOVER,
                                "Could not retrieve pointer to IVI-COM driver from global interface table.");
  if (status) IviSession_Unlock(vi, nullptr);
  return status;
}

ViStatus UnregisterSession(ViSession vi) {
  // The lock, taken again here, keeps every other thread out of the data
  // slot from here until the session is disposed (which wakes the threads
  // waiting for it).
  if (const ViStatus status = IviSession_Lock(vi, nullptr)) return status;
  void* data = nullptr;
  if (const ViStatus status = IviSession_GetDataPtr(vi, &data)) return status;
  std::unique_ptr<StateSlot> slot(static_cast<StateSlot*>(data));
  ViStatus revoked = VI_SUCCESS;
  if (!slot || !*slot || Failed(RevokeObject((*slot)->Cookie()))) {
    revoked = SetSessionError(vi, HVZELTA_ERROR_CANNOT_RECOVER,
                              "Could not remove IVI-COM driver pointer from global interface table.");
  }
  const ViStatus disposed = IviSession_Dispose(vi);
  if (slot && *slot) (*slot)->End();
  return revoked ? revoked : disposed;
}

ViStatus LockSession(ViSession vi, ViBoolean* callerHasLock) {
  if (const ViStatus status = IviSession_Lock(vi, callerHasLock)) return status;
  if (const std::shared_ptr<CSession> session = LockedSession(vi)) session->AwaitCallsInFlight();
  return VI_SUCCESS;
}

}  // namespace hvzelta::capi
