#pragma once

// The VISA operations the I/O session uses, one virtual per published VISA
// function with the same parameters, so that an installed VISA library is
// reached by plain forwarding and the built-in library answers exactly as one
// would. Every operation returns a VISA status and never throws.
//
// Handles: a resource manager session comes from OpenDefaultRM, instrument
// sessions from Open; closing a resource manager session closes the sessions
// opened through it. An unknown or closed handle gives VI_ERROR_INV_OBJECT.
//
// Reads say why they stopped: VI_SUCCESS when the device ended its message
// (END), VI_SUCCESS_TERM_CHAR when the termination character arrived (with
// VI_ATTR_TERMCHAR_EN on), VI_SUCCESS_MAX_CNT when `count` bytes arrived
// first. On failure `*retCount` still tells how many bytes were stored.
// Writes send END with the last byte when VI_ATTR_SEND_END_EN is on.
//
// Implementations are safe to call from several threads: operations on one
// session run one at a time, operations on different sessions in parallel.

#include "visa/visa_types.h"

namespace hvzelta::visa {

class IVisaLibrary {
 public:
  virtual ~IVisaLibrary() = default;

  virtual ViStatus OpenDefaultRM(ViSession* rm) = 0;
  // `mode` is VI_NO_LOCK or VI_EXCLUSIVE_LOCK (optionally with
  // VI_LOAD_CONFIG); `openTimeout` bounds name resolution, connection set-up
  // and the lock, in milliseconds.
  virtual ViStatus Open(ViSession rm, const ViChar* name, ViAccessMode mode, ViUInt32 openTimeout,
                        ViSession* vi) = 0;
  virtual ViStatus Close(ViObject vi) = 0;

  virtual ViStatus Read(ViSession vi, ViByte* buffer, ViUInt32 count, ViUInt32* retCount) = 0;
  virtual ViStatus Write(ViSession vi, const ViByte* buffer, ViUInt32 count, ViUInt32* retCount) = 0;
  virtual ViStatus ReadSTB(ViSession vi, ViUInt16* status) = 0;
  virtual ViStatus Clear(ViSession vi) = 0;
  virtual ViStatus AssertTrigger(ViSession vi, ViUInt16 protocol) = 0;
  virtual ViStatus Flush(ViSession vi, ViUInt16 mask) = 0;

  // `accessKey` receives the key of a shared lock (VI_FIND_BUFLEN bytes);
  // it may be null for an exclusive lock.
  virtual ViStatus Lock(ViSession vi, ViAccessMode lockType, ViUInt32 timeout, const ViChar* requestedKey,
                        ViChar* accessKey) = 0;
  virtual ViStatus Unlock(ViSession vi) = 0;

  // `value` points to storage of the attribute's own width; text attributes
  // need VI_FIND_BUFLEN bytes.
  virtual ViStatus GetAttribute(ViObject vi, ViAttr attribute, void* value) = 0;
  virtual ViStatus SetAttribute(ViObject vi, ViAttr attribute, ViAttrState value) = 0;

  // `description` receives VI_FIND_BUFLEN bytes at most.
  virtual ViStatus StatusDesc(ViObject vi, ViStatus status, ViChar* description) = 0;
  virtual ViStatus ParseRsrc(ViSession rm, const ViChar* name, ViUInt16* interfaceType,
                             ViUInt16* interfaceNumber) = 0;

  // Events, for a library that has them; the others answer that the
  // operation is not supported. A context WaitOnEvent hands out is closed
  // with Close.
  virtual ViStatus EnableEvent(ViSession /*vi*/, ViEventType /*type*/, ViUInt16 /*mechanism*/) {
    return VI_ERROR_NSUP_OPER;
  }
  virtual ViStatus DisableEvent(ViSession /*vi*/, ViEventType /*type*/, ViUInt16 /*mechanism*/) {
    return VI_ERROR_NSUP_OPER;
  }
  virtual ViStatus DiscardEvents(ViSession /*vi*/, ViEventType /*type*/, ViUInt16 /*mechanism*/) {
    return VI_ERROR_NSUP_OPER;
  }
  virtual ViStatus WaitOnEvent(ViSession /*vi*/, ViEventType /*type*/, ViUInt32 /*timeout*/, ViEventType* /*outType*/,
                               ViEvent* /*outContext*/) {
    return VI_ERROR_NSUP_OPER;
  }
};

}  // namespace hvzelta::visa
