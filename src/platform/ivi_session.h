#pragma once

// Our stand-in for the IVI shared components' C sessions: handles that are
// never reused while the process lives, one pointer-sized data slot per
// session, a session lock that its holder may take again, and the last error
// of each session. Session 0 stands for the calling thread wherever an error
// is stored or read. A handle that is not a live session gives
// HVZELTA_ERROR_INVALID_SESSION_HANDLE ("Invalid session handle.").

#include "hvzelta.h"

namespace hvzelta {

ViStatus IviSession_New(ViSession* session);
// Wakes every thread waiting for the session's lock; they get the
// invalid-session status.
ViStatus IviSession_Dispose(ViSession session);

ViStatus IviSession_SetDataPtr(ViSession session, void* data);
ViStatus IviSession_GetDataPtr(ViSession session, void** data);
// Lock, GetDataPtr and Unlock in turn, with one lookup: waits until no other
// thread holds the session's lock and, holding it, calls use(data, context).
// `use` must not throw.
ViStatus IviSession_UseDataPtr(ViSession session, void (*use)(void* data, void* context), void* context);

// With `callerHasLock` given, Lock does nothing while it is already true and
// sets it true, and Unlock does nothing while it is false and sets it false.
// Each Lock needs its own Unlock; an Unlock by a thread that does not hold the
// lock changes nothing.
ViStatus IviSession_Lock(ViSession session, ViBoolean* callerHasLock);
ViStatus IviSession_Unlock(ViSession session, ViBoolean* callerHasLock);

// `description` may be null (no text).
ViStatus IviSession_SetError(ViSession session, ViStatus code, const char* description);
// Hands out the stored code and description (copied by CopyStringOut) and
// clears them once the whole description has been handed out. No error
// stored reads as code 0 and no text.
ViStatus IviSession_GetError(ViSession session, ViInt32 bufferSize, ViStatus* code, ViChar* description);
ViStatus IviSession_ClearError(ViSession session);

}  // namespace hvzelta
