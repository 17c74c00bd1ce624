#include "capi/c_session.h"

#include <cstdint>

#include "platform/ivi_session.h"
#include "platform/object_registry.h"

namespace hvzelta::capi {

namespace {

// True once this library has prepared the thread.
thread_local bool t_threadPrepared = false;

void* CookieAsData(std::uint32_t cookie) { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(cookie)); }

std::uint32_t DataAsCookie(void* data) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(data)); }

ViStatus LookUpDriver(ViSession vi, ComPtr<IUnknown>& driver) {
  if (Failed(EnsureThreadCom())) return SetSessionError(vi, HVZELTA_ERROR_CANNOT_RECOVER, "Could not initialize COM.");
  void* data = nullptr;
  if (const ViStatus status = IviSession_GetDataPtr(vi, &data)) return status;
  if (Failed(GetRegisteredObject(DataAsCookie(data), driver.Out()))) {
    return SetSessionError(vi, HVZELTA_ERROR_CANNOT_RECOVER,
                           "Could not retrieve pointer to IVI-COM driver from global interface table.");
  }
  return VI_SUCCESS;
}

}  // namespace

HRESULT EnsureThreadCom() {
  if (t_threadPrepared) return S_OK;
  if (const HRESULT hr = InitializeThread(); Failed(hr)) return hr;
  t_threadPrepared = true;
  return S_OK;
}

ViStatus DriverFromSession(ViSession vi, ComPtr<IUnknown>& driver) {
  // The lock's own status is not needed: an invalid handle fails the lookup.
  if (vi != VI_NULL) IviSession_Lock(vi, nullptr);
  const ViStatus status = LookUpDriver(vi, driver);
  if (vi != VI_NULL) IviSession_Unlock(vi, nullptr);
  return status;
}

ViStatus RegisterSession(IUnknown* driver, ViSession* newVi) {
  if (const ViStatus status = IviSession_New(newVi)) return status;
  std::uint32_t cookie = 0;
  if (Failed(RegisterObject(driver, cookie))) {
    return SetSessionError(*newVi, HVZELTA_ERROR_CANNOT_RECOVER,
                           "Could not register IVI-COM driver pointer in global interface table.");
  }
  return IviSession_SetDataPtr(*newVi, CookieAsData(cookie));
}

ViStatus UnregisterSession(ViSession vi) {
  void* data = nullptr;
  if (const ViStatus status = IviSession_GetDataPtr(vi, &data)) return status;
  ViStatus revoked = VI_SUCCESS;
  if (Failed(RevokeObject(DataAsCookie(data)))) {
    revoked = SetSessionError(vi, HVZELTA_ERROR_CANNOT_RECOVER,
                              "Could not remove IVI-COM driver pointer from global interface table.");
  }
  const ViStatus disposed = IviSession_Dispose(vi);
  return revoked ? revoked : disposed;
}

}  // namespace hvzelta::capi
