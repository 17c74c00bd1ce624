#pragma once

// A C session is an IVI session handle whose data slot holds the C state of
// its driver object: the registry cookie of the driver and what its channel
// names selected. These helpers bind the two together and find the driver
// object (and the interface a function needs) from a handle.

#include <cstdint>
#include <memory>
#include <mutex>

#include "capi/selection_cache.h"
#include "capi/session_errors.h"
#include "hvzelta.h"
#include "hvzelta/com/unknown.h"

namespace hvzelta::capi {

// Prepares the calling thread on its first call into the C interface.
HRESULT EnsureThreadCom();

// What the C interface keeps for one session while it is open.
class CSession {
 public:
  explicit CSession(std::uint32_t cookie) : cookie_(cookie) {}

  std::uint32_t Cookie() const { return cookie_; }
  // The driver object, fetched from the registry on the session's first use
  // and kept until the session ends; the registry's failure is reported in
  // the session.
  ViStatus Driver(ViSession vi, ComPtr<IUnknown>& driver);
  SelectionCache& Selections() { return selections_; }
  // Lets go of the driver and the selections.
  void End();

 private:
  const std::uint32_t cookie_;
  std::mutex mutex_;
  ComPtr<IUnknown> driver_;
  bool ended_ = false;
  SelectionCache selections_;
};

// The session's C state. The session lock is held for the lookup only, never
// during the driver's operation. An invalid handle gives the session
// component's status unchanged.
ViStatus SessionFromHandle(ViSession vi, std::shared_ptr<CSession>& session);

// The session's driver object, found as SessionFromHandle finds the session.
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
