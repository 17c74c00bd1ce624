#pragma once

// A C session is an IVI session handle whose data slot holds the C state of
// its driver object: the registry cookie of the driver and what its channel
// names selected. These helpers bind the two together and find the driver
// object (and the interface a function needs) from a handle.
//
// Every C call counts itself in on the sessions it uses, under the session
// lock, and out when it returns, so that close and LockSession know which
// calls are still running: close ends their transfers and waits for them,
// LockSession waits for them, and neither lets a new call start meanwhile.

#include <atomic>
#include <condition_variable>
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

  // A call counts itself in while it holds the session lock, so that a
  // thread holding that lock sees every call that started before it.
  void Enter() { calls_.fetch_add(1); }
  void Leave();
  bool HasCallsInFlight() const { return calls_.load() > 0; }
  // Returns once no call is in flight; the caller holds the session lock,
  // so no new one starts.
  void AwaitCallsInFlight();

  // Marks the session as closing and makes the transfers in progress on it
  // (and every later one) fail at once, so that the calls in flight return.
  void AbortTransfers();
  bool Closing() const { return closing_.load(); }

  // Lets go of the driver and the selections.
  void End();

 private:
  const std::uint32_t cookie_;
  std::mutex mutex_;
  ComPtr<IUnknown> driver_;
  bool ended_ = false;
  SelectionCache selections_;

  std::atomic<int> calls_{0};
  std::atomic<bool> awaited_{false};
  std::atomic<bool> closing_{false};
  std::condition_variable idle_;
};

// The sessions that the calling thread's C call has counted itself in on.
// The outermost C call of a thread holds one; when it finishes, the call
// counts itself out of them all. A failure of a call whose session was
// closed under it by another thread becomes the invalid-session status.
class CallScope {
 public:
  CallScope();
  ~CallScope();
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;

  ViStatus Finish(ViStatus status);

 private:
  bool outermost_;
  bool finished_ = false;
};

// The session's C state. The session lock is held for the lookup only, never
// during the driver's operation; a call that already uses the session finds
// it again without the lock. An invalid handle gives the session component's
// status unchanged.
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

// Takes the session lock for good and ends the calls in flight on other
// threads (their transfers fail at once); hands out the driver to close. On
// success the caller must call UnregisterSession.
ViStatus BeginClose(ViSession vi, ComPtr<IUnknown>& driver);
// Revokes the session's cookie and disposes of the session.
ViStatus UnregisterSession(ViSession vi);

// The session lock for the application: returns once the calls that were
// running on the session when it was taken have returned.
ViStatus LockSession(ViSession vi, ViBoolean* callerHasLock);

}  // namespace hvzelta::capi
