#include "capi/c_session.h"

#include <new>

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

void CSession::End() {
  selections_.Clear();
  ComPtr<IUnknown> driver;
  std::lock_guard lock(mutex_);
  ended_ = true;
  driver = std::move(driver_);
}

ViStatus SessionFromHandle(ViSession vi, std::shared_ptr<CSession>& session) {
  if (Failed(EnsureThreadCom())) return SetSessionError(vi, HVZELTA_ERROR_CANNOT_RECOVER, "Could not initialize COM.");
  return IviSession_UseDataPtr(
      vi,
      [](void* data, void* out) {
        if (data) *static_cast<std::shared_ptr<CSession>*>(out) = *static_cast<StateSlot*>(data);
      },
      &session);
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

ViStatus UnregisterSession(ViSession vi) {
  // Holding the lock keeps every other thread out of the data slot from here
  // until the session is disposed (which wakes the threads waiting for it).
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

}  // namespace hvzelta::capi
