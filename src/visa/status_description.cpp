#include "visa/status_description.h"

#include <cstdio>

namespace hvzelta::visa {
namespace {

struct StatusText {
  ViStatus status;
  const char* name;
  const char* sentence;
};

constexpr StatusText kStatusTexts[] = {
    {VI_SUCCESS, "VI_SUCCESS", "The operation completed successfully."},
    {VI_SUCCESS_TERM_CHAR, "VI_SUCCESS_TERM_CHAR", "The read stopped at the termination character."},
    {VI_SUCCESS_MAX_CNT, "VI_SUCCESS_MAX_CNT", "The read stopped because the requested number of bytes arrived."},
    {VI_SUCCESS_NESTED_SHARED, "VI_SUCCESS_NESTED_SHARED",
     "The operation completed; the session still holds a nested shared lock."},
    {VI_SUCCESS_NESTED_EXCLUSIVE, "VI_SUCCESS_NESTED_EXCLUSIVE",
     "The operation completed; the session still holds a nested exclusive lock."},
    {VI_WARN_NSUP_ATTR_STATE, "VI_WARN_NSUP_ATTR_STATE", "The attribute value is not supported; it was ignored."},
    {VI_SUCCESS_EVENT_DIS, "VI_SUCCESS_EVENT_DIS", "The event was already disabled."},
    {VI_SUCCESS_QUEUE_EMPTY, "VI_SUCCESS_QUEUE_EMPTY", "No event was waiting in the queue."},
    {VI_WARN_NSUP_BUF, "VI_WARN_NSUP_BUF", "The buffer size was kept: this resource does not size that buffer."},
    {VI_WARN_UNKNOWN_STATUS, "VI_WARN_UNKNOWN_STATUS", "The status code is not known."},
    {VI_ERROR_SYSTEM_ERROR, "VI_ERROR_SYSTEM_ERROR", "The VISA library could not do its work (system error)."},
    {VI_ERROR_INV_OBJECT, "VI_ERROR_INV_OBJECT", "The session or object reference is not valid."},
    {VI_ERROR_RSRC_LOCKED, "VI_ERROR_RSRC_LOCKED", "The resource is locked by another session."},
    {VI_ERROR_INV_EXPR, "VI_ERROR_INV_EXPR", "The search expression is not valid."},
    {VI_ERROR_RSRC_NFOUND, "VI_ERROR_RSRC_NFOUND", "The resource could not be found or reached."},
    {VI_ERROR_INV_RSRC_NAME, "VI_ERROR_INV_RSRC_NAME", "The resource name is not valid."},
    {VI_ERROR_INV_ACC_MODE, "VI_ERROR_INV_ACC_MODE", "The access mode is not valid."},
    {VI_ERROR_TMO, "VI_ERROR_TMO", "The operation timed out before it completed."},
    {VI_ERROR_CLOSING_FAILED, "VI_ERROR_CLOSING_FAILED", "The session could not be closed."},
    {VI_ERROR_NSUP_ATTR, "VI_ERROR_NSUP_ATTR", "The attribute is not supported by this resource."},
    {VI_ERROR_NSUP_ATTR_STATE, "VI_ERROR_NSUP_ATTR_STATE", "The attribute value is not supported by this resource."},
    {VI_ERROR_ATTR_READONLY, "VI_ERROR_ATTR_READONLY", "The attribute is read-only."},
    {VI_ERROR_INV_LOCK_TYPE, "VI_ERROR_INV_LOCK_TYPE", "The lock type is not valid."},
    {VI_ERROR_INV_ACCESS_KEY, "VI_ERROR_INV_ACCESS_KEY", "The access key does not match the shared lock."},
    {VI_ERROR_ABORT, "VI_ERROR_ABORT", "The operation was aborted."},
    {VI_ERROR_INV_SETUP, "VI_ERROR_INV_SETUP", "The attribute settings are not consistent."},
    {VI_ERROR_ALLOC, "VI_ERROR_ALLOC", "Not enough memory or system resources for the operation."},
    {VI_ERROR_INV_MASK, "VI_ERROR_INV_MASK", "The mask names no valid operation."},
    {VI_ERROR_IO, "VI_ERROR_IO", "An error occurred during the transfer."},
    {VI_ERROR_INV_FMT, "VI_ERROR_INV_FMT", "The format string is not valid."},
    {VI_ERROR_NSUP_FMT, "VI_ERROR_NSUP_FMT", "The format string uses a directive this library does not support."},
    {VI_ERROR_FILE_ACCESS, "VI_ERROR_FILE_ACCESS", "The file could not be opened."},
    {VI_ERROR_FILE_IO, "VI_ERROR_FILE_IO", "The file could not be read or written."},
    {VI_ERROR_NSUP_OPER, "VI_ERROR_NSUP_OPER", "The operation is not supported by this resource."},
    {VI_ERROR_ASRL_PARITY, "VI_ERROR_ASRL_PARITY", "A parity error occurred on the serial line."},
    {VI_ERROR_ASRL_FRAMING, "VI_ERROR_ASRL_FRAMING", "A framing error occurred on the serial line."},
    {VI_ERROR_ASRL_OVERRUN, "VI_ERROR_ASRL_OVERRUN", "Characters were lost on the serial line (overrun)."},
    {VI_ERROR_USER_BUF, "VI_ERROR_USER_BUF", "The buffer passed is not valid."},
    {VI_ERROR_RSRC_BUSY, "VI_ERROR_RSRC_BUSY", "The resource is busy."},
    {VI_ERROR_INV_PARAMETER, "VI_ERROR_INV_PARAMETER", "A parameter is not valid."},
    {VI_ERROR_INV_PROT, "VI_ERROR_INV_PROT", "The protocol is not valid."},
    {VI_ERROR_NIMPL_OPER, "VI_ERROR_NIMPL_OPER", "The operation is not implemented."},
    {VI_ERROR_SESN_NLOCKED, "VI_ERROR_SESN_NLOCKED", "The session holds no lock on the resource."},
    {VI_ERROR_LIBRARY_NFOUND, "VI_ERROR_LIBRARY_NFOUND", "A required library could not be loaded."},
    {VI_ERROR_CONN_LOST, "VI_ERROR_CONN_LOST", "The connection to the device was lost."},
    {VI_ERROR_NPERMISSION, "VI_ERROR_NPERMISSION", "Access to the resource was denied."},
};

}  // namespace

bool DescribeStatus(ViStatus status, std::string& description) {
  for (const auto& entry : kStatusTexts) {
    if (entry.status == status) {
      description = std::string(entry.name) + ": " + entry.sentence;
      return true;
    }
  }
  char text[64];
  std::snprintf(text, sizeof text, "Unknown VISA status 0x%08X.", static_cast<unsigned>(status));
  description = text;
  return false;
}

}  // namespace hvzelta::visa
