#pragma once

// The process-wide registry of object references that C sessions hold. A
// cookie stands for one registered reference until it is revoked; any thread
// gets a reference of its own back from the cookie. Cookies are never reused
// while the process lives.

#include <cstdint>

#include "hvzelta/com/types.h"
#include "hvzelta/com/unknown.h"

namespace hvzelta {

// Takes a reference to `object` for the registry. E_INVALIDARG for a null
// object.
HRESULT RegisterObject(IUnknown* object, std::uint32_t& cookie);
// A new reference to the object registered under `cookie`, for the caller to
// release. E_INVALIDARG for a cookie that is not registered.
HRESULT GetRegisteredObject(std::uint32_t cookie, IUnknown** object);
// Drops the registry's reference (which may destroy the object).
// E_INVALIDARG for a cookie that is not registered.
HRESULT RevokeObject(std::uint32_t cookie);

// Prepares the calling thread for the component runtime. There is nothing to
// prepare on Linux; it succeeds on every call.
inline HRESULT InitializeThread() { return S_OK; }

}  // namespace hvzelta
