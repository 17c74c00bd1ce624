#pragma once

// One way of reaching a device (raw socket, HiSLIP, VXI-11, serial line,
// USB-TMC). The built-in library owns one transport per open session, calls
// it one operation at a time under the session's lock, and hands it the
// session's I/O settings with every call. A transport adds its own
// attributes to the session's table and puts changes to them into effect.

#include <string_view>

#include "visa/attribute_store.h"
#include "visa/visa_types.h"

namespace hvzelta::visa {

struct IoSettings {
  ViUInt32 timeoutMs = 2000;
  ViByte termChar = '\n';
  bool termCharEnabled = false;
  bool sendEnd = true;
};

class ITransport {
 public:
  virtual ~ITransport() = default;

  virtual void DefineAttributes(AttributeStore& store) = 0;
  // Puts a transport attribute the caller changed into effect; on failure
  // the session restores the previous value.
  virtual ViStatus ApplyAttribute(ViAttr /*id*/, const AttributeStore& /*store*/) { return VI_SUCCESS; }
  // Brings an attribute that follows the device (line states, bytes
  // waiting) up to date before it is read.
  virtual void RefreshAttribute(ViAttr /*id*/, AttributeStore& /*store*/) {}

  // See IVisaLibrary::Read and Write for the statuses.
  virtual ViStatus Read(ViByte* buffer, ViUInt32 count, const IoSettings& io, ViUInt32& received) = 0;
  virtual ViStatus Write(const ViByte* buffer, ViUInt32 count, const IoSettings& io, ViUInt32& written) = 0;
  virtual ViStatus ReadStatusByte(const IoSettings& /*io*/, ViUInt16& /*status*/) { return VI_ERROR_NSUP_OPER; }
  virtual ViStatus Clear(const IoSettings& io) = 0;
  virtual ViStatus Trigger(const IoSettings& /*io*/) { return VI_ERROR_NSUP_OPER; }
  // Forgets input received but not yet read.
  virtual void DiscardInput() = 0;

  // The device's own lock, for transports whose devices arbitrate between
  // clients (the session's lock between sessions of this process is taken
  // first). An empty key asks for an exclusive lock.
  virtual ViStatus LockDevice(std::string_view /*sharedKey*/, ViUInt32 /*timeoutMs*/) { return VI_SUCCESS; }
  virtual ViStatus UnlockDevice(ViAccessMode /*released*/, const IoSettings& /*io*/) { return VI_SUCCESS; }

  // Called from another thread while an operation of this transport may be
  // running: that operation and every later one end at once (the
  // connection is lost). It must not wait for the running operation.
  virtual void Abort() {}

  // Ends the connection politely (within the session timeout); the
  // destructor releases whatever is left.
  virtual ViStatus Close(const IoSettings& /*io*/) { return VI_SUCCESS; }
};

}  // namespace hvzelta::visa
