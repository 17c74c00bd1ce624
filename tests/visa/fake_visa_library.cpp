// A VISA shared library for the loader's tests: one scripted instrument,
// "FAKE::INSTR", that answers "*IDN?" and remembers what it was told, and
// queues a service request for each "*SRE" while that event is enabled.
// Built a second time without viFlush to show a missing function.

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "hvzvisa/visa.h"

// Every function is declared by the project's published header, so a
// signature that drifts from it does not build.
#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr ViSession kManager = 100;
constexpr ViSession kInstrument = 101;
constexpr ViEvent kEventContext = 102;

std::mutex mutex;
std::string pendingReply;
ViUInt32 timeoutMs = 2000;
bool serviceRequestsEnabled = false;
int serviceRequests = 0;

}  // namespace

FAKE_EXPORT ViStatus viOpenDefaultRM(ViSession* rm) {
  *rm = kManager;
  return VI_SUCCESS;
}

FAKE_EXPORT ViStatus viOpen(ViSession rm, const ViChar* name, ViAccessMode, ViUInt32, ViSession* vi) {
  if (rm != kManager) return VI_ERROR_INV_OBJECT;
  if (std::strcmp(name, "FAKE::INSTR") != 0) return VI_ERROR_RSRC_NFOUND;
  *vi = kInstrument;
  return VI_SUCCESS;
}

FAKE_EXPORT ViStatus viClose(ViObject vi) {
  return vi == kManager || vi == kInstrument || vi == kEventContext ? VI_SUCCESS : VI_ERROR_INV_OBJECT;
}

FAKE_EXPORT ViStatus viWrite(ViSession vi, const ViByte* buffer, ViUInt32 count, ViUInt32* retCount) {
  if (vi != kInstrument) return VI_ERROR_INV_OBJECT;
  std::lock_guard lock(mutex);
  std::string command(reinterpret_cast<const char*>(buffer), count);
  pendingReply = command == "*IDN?\n" ? "FAKE,ZTA100,0,1.0\n" : "";
  if (command == "*SRE\n" && serviceRequestsEnabled) ++serviceRequests;
  if (retCount) *retCount = count;
  return VI_SUCCESS;
}

FAKE_EXPORT ViStatus viRead(ViSession vi, ViByte* buffer, ViUInt32 count, ViUInt32* retCount) {
  if (vi != kInstrument) return VI_ERROR_INV_OBJECT;
  std::lock_guard lock(mutex);
  if (pendingReply.empty()) return VI_ERROR_TMO;
  ViUInt32 size = std::min<ViUInt32>(count, static_cast<ViUInt32>(pendingReply.size()));
  std::memcpy(buffer, pendingReply.data(), size);
  pendingReply.erase(0, size);
  if (retCount) *retCount = size;
  return pendingReply.empty() ? VI_SUCCESS : VI_SUCCESS_MAX_CNT;
}

FAKE_EXPORT ViStatus viReadSTB(ViSession, ViUInt16* status) {
  *status = 0x10;
  return VI_SUCCESS;
}

FAKE_EXPORT ViStatus viClear(ViSession) { return VI_SUCCESS; }
FAKE_EXPORT ViStatus viAssertTrigger(ViSession, ViUInt16) { return VI_ERROR_NSUP_OPER; }
#ifndef FAKE_VISA_WITHOUT_FLUSH
FAKE_EXPORT ViStatus viFlush(ViSession, ViUInt16) { return VI_SUCCESS; }
#endif
FAKE_EXPORT ViStatus viLock(ViSession, ViAccessMode, ViUInt32, const ViChar*, ViChar*) { return VI_SUCCESS; }
FAKE_EXPORT ViStatus viUnlock(ViSession) { return VI_SUCCESS; }

FAKE_EXPORT ViStatus viGetAttribute(ViObject, ViAttr attribute, void* value) {
  if (attribute != VI_ATTR_TMO_VALUE) return VI_ERROR_NSUP_ATTR;
  std::memcpy(value, &timeoutMs, sizeof timeoutMs);
  return VI_SUCCESS;
}

FAKE_EXPORT ViStatus viSetAttribute(ViObject, ViAttr attribute, ViAttrState value) {
  if (attribute != VI_ATTR_TMO_VALUE) return VI_ERROR_NSUP_ATTR;
  timeoutMs = static_cast<ViUInt32>(value);
  return VI_SUCCESS;
}

FAKE_EXPORT ViStatus viStatusDesc(ViObject, ViStatus status, ViChar* description) {
  std::snprintf(description, VI_FIND_BUFLEN, "fake status %d", status);
  return VI_SUCCESS;
}

FAKE_EXPORT ViStatus viParseRsrc(ViSession, const ViChar*, ViUInt16* type, ViUInt16* number) {
  *type = VI_INTF_GPIB;
  *number = 0;
  return VI_SUCCESS;
}

FAKE_EXPORT ViStatus viEnableEvent(ViSession vi, ViEventType type, ViUInt16 mechanism, ViEventFilter) {
  if (vi != kInstrument) return VI_ERROR_INV_OBJECT;
  if (type != VI_EVENT_SERVICE_REQ || mechanism != VI_QUEUE) return VI_ERROR_INV_PARAMETER;
  std::lock_guard lock(mutex);
  serviceRequestsEnabled = true;
  return VI_SUCCESS;
}

FAKE_EXPORT ViStatus viDisableEvent(ViSession, ViEventType, ViUInt16) {
  std::lock_guard lock(mutex);
  serviceRequestsEnabled = false;
  return VI_SUCCESS;
}

FAKE_EXPORT ViStatus viDiscardEvents(ViSession, ViEventType, ViUInt16) {
  std::lock_guard lock(mutex);
  serviceRequests = 0;
  return VI_SUCCESS;
}

FAKE_EXPORT ViStatus viWaitOnEvent(ViSession, ViEventType, ViUInt32, ViEventType* outType, ViEvent* outContext) {
  std::lock_guard lock(mutex);
  if (serviceRequests == 0) return VI_ERROR_TMO;
  --serviceRequests;
  *outType = VI_EVENT_SERVICE_REQ;
  *outContext = kEventContext;
  return VI_SUCCESS;
}
