#pragma once

// A C session is an IVI session handle whose data slot holds the registry
// cookie of its driver object. These helpers bind the two together and find
// the driver object (and the interface a function needs) from a handle.

#include "capi/session_errors.h"
#include "hvzelta.h"
#include "hvzelta/com/unknown.h"

namespace hvzelta::capi {

// Prepares the calling thread on its first call into the C interface.
HRESULT EnsureThreadCom();

// The session's driver object. The session lock is held for the lookup only,
// never during the driver's operation. An invalid handle gives the session
// component's status unchanged.
ViStatus DriverFromSession(ViSession vi, ComPtr<IUnknown>& driver);

// The session's driver object as `Interface`; null on any failure.
template <class Interface>
ViStatus GetInterface(ViSession vi, ComPtr<Interface>& object) {
  ComPtr<IUnknown> driver;
  if (const ViStatus status = DriverFromSession(vi, driver)) return status;
  return ConvertDriverStatus(vi, driver.As(object));
}

// A new session for an initialized driver object, registered under a cookie.
ViStatus RegisterSession(IUnknown* driver, ViSession* newVi);
// Revokes the session's cookie and disposes of the session.
ViStatus UnregisterSession(ViSession vi);

}  // namespace hvzelta::capi
